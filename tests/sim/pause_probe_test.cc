// The stops the support guide's "where is the caller now" table is made of:
// the PC's state at each pause and what closing the window there leads to.

#include "support_kit/pause_probe.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace netrevive::support_kit {
namespace {

struct StopCase {
  std::vector<std::string> args;
  int run;
  int pause;
  const char* state_part;
  const char* after_close_part;
  bool last;
};

TEST(PauseProbeTest, StateAndAftermathAtEachStop) {
  const StopCase cases[] = {
      // Before DUN is uninstalled the Winsock2 key is already gone: closing
      // the window there leaves a PC a new run cannot repair.
      {{"--preset", "98se"},
       1,
       1,
       "Winsock2 key GONE; DUN installed",
       "nothing comes back; started again: winsock2-gone",
       false},
      // "DO NOT TERMINATE": the reinstall is scheduled only after this key.
      {{"--preset", "98se"},
       1,
       2,
       "DUN NOT INSTALLED",
       "nothing comes back; started again: winsock2-gone",
       true},
      // The reinstall run: closed at its first pause, the marker is there but
      // nothing starts the program; started again, it stops at code 2.
      {{"--preset", "98se"},
       2,
       1,
       "reinstall authorised",
       "nothing comes back; started again: winsock2-gone",
       false},
      {{"--preset", "98se"},
       2,
       3,
       "Winsock2 key there; DUN installed",
       "nothing comes back; the repair is done",
       true},
      // A refusal changes nothing: starting again is safe.
      {{"--preset", "95"}, 1, 1, "nothing changed", "started again: refused-95", true},
      {{"--preset", "upgrade-dunsetup"},
       1,
       1,
       "upgrade still there",
       "started again: winsock2-gone",
       true},
  };
  for (const StopCase& c : cases) {
    std::vector<Stop> stops;
    std::string error;
    ASSERT_TRUE(ProbeStops(c.args, &stops, &error)) << error;
    const Stop* found = nullptr;
    for (const Stop& stop : stops) {
      if (stop.run == c.run && stop.pause == c.pause) found = &stop;
    }
    const std::string where =
        c.args[1] + " run " + std::to_string(c.run) + " stop " + std::to_string(c.pause);
    ASSERT_NE(found, nullptr) << where;
    EXPECT_NE(found->state.find(c.state_part), std::string::npos) << where << ": " << found->state;
    EXPECT_NE(found->after_close.find(c.after_close_part), std::string::npos)
        << where << ": " << found->after_close;
    EXPECT_EQ(found->last, c.last) << where;
  }
}

}  // namespace
}  // namespace netrevive::support_kit
