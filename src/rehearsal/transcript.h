#ifndef NETREVIVE_SIMULATOR_TRANSCRIPT_H_
#define NETREVIVE_SIMULATOR_TRANSCRIPT_H_

// The dialogue of a simulation as a transcript: what the caller sees in
// each run, framed by how the run was started and how it ended. The real
// program under Wine is written down the same way, so that a transcript of
// the simulator and one of netrevive.exe can be compared byte for byte:
//   <start: COMMAND LINE>            the user starts the program
//   <RunOnce "NAME": COMMAND LINE>   Windows starts it from RunOnce
//   the program's output, with <key> where it waited for a key
//   <exit N>                         right after the run's last byte
//   <restart requested>              a helper of the run (RnaReboot) asked for a restart
//   <session ended>                  the run ended the session (ExitWindowsEx)
//   <RunOnce empty>                  a new session found nothing to run
// The Check the simulator has the caller run at the end of a path that does
// not end with it is left out: it is the rehearsal's verdict, not a run of
// the path (the real program's transcripts have no such run).

#include <string>
#include <vector>

#include "rehearsal/session_events.h"

namespace netrevive::rehearsal {

inline constexpr const char kKeyMark[] = "<key>";

std::string Transcript(const std::vector<SimEvent>& events);

}  // namespace netrevive::rehearsal

#endif  // NETREVIVE_SIMULATOR_TRANSCRIPT_H_
