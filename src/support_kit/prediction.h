#ifndef NETREVIVE_SUPPORT_KIT_PREDICTION_H_
#define NETREVIVE_SUPPORT_KIT_PREDICTION_H_

// A prediction of what the repair will do on a caller's own PC, from a run
// of the simulator on the machine made of the caller's registry export
// (rehearsal/machine_export.h).

#include <string>
#include <vector>

#include "rehearsal/session_player.h"

namespace netrevive::support_kit {

// The predicted path, one line each: every run's ending, the restarts, and
// the advice for the first run that does not end as the repair goes on.
std::vector<std::string> PredictionLines(const rehearsal::SessionReport& report);

}  // namespace netrevive::support_kit

#endif  // NETREVIVE_SUPPORT_KIT_PREDICTION_H_
