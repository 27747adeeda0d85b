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
      // Before DUN is uninstalled the Winsock2 key is already gone: closed
      // there, nothing comes back, and a new start carries the repair on.
      {{"--preset", "98se"},
       1,
       1,
       "Winsock2 key GONE; DUN installed",
       "nothing comes back; start C:\\NETREVIVE\\NETREVIVE.EXE again: restart-for-reinstall, "
       "then repaired",
       false},
      // "DO NOT TERMINATE": the entry and the marker are written before it.
      {{"--preset", "98se"}, 1, 2, "DUN NOT INSTALLED", "it comes back by itself: repaired", true},
      // The reinstall run: closed at its first pause, the marker is there but
      // nothing starts the program; started again, it installs DUN at once.
      {{"--preset", "98se"},
       2,
       1,
       "reinstall authorised",
       "nothing comes back; start C:\\NETREVIVE\\NETREVIVE.EXE again: repaired",
       false},
      {{"--preset", "98se"},
       2,
       3,
       "Winsock2 key there; DUN installed",
       "it comes back by itself: check-repaired",
       true},
      // A refusal changes nothing: starting again is safe.
      {{"--preset", "95"}, 1, 1, "nothing changed", "again: refused-95", true},
      {{"--preset", "upgrade-dunsetup"},
       1,
       1,
       "upgrade still there",
       "again: session-ended-for-upgrade",
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

// Wherever an uninterrupted repair waits for a key, a window closed there or
// a power cut ends in a repaired PC: Windows brings the program back, or the
// caller starts it once more.
TEST(PauseProbeTest, EveryStopOfARepairEndsRepairedAfterAClose) {
  for (const char* preset : {"98se", "no-dun", "no-winsock2", "upgrade-dunsetup",
                             "upgrade-rundll32", "upgrade-rundll32-no-restore"}) {
    std::vector<Stop> stops;
    std::string error;
    ASSERT_TRUE(ProbeStops({"--preset", preset}, &stops, &error)) << error;
    ASSERT_FALSE(stops.empty()) << preset;
    for (const Stop& stop : stops) {
      const std::string where = std::string(preset) + " run " + std::to_string(stop.run) +
                                " stop " + std::to_string(stop.pause);
      for (const std::string& after : {stop.after_close, stop.after_power_off}) {
        const bool back = after.rfind("it comes back by itself:", 0) == 0 ||
                          after.rfind(
                              "nothing comes back; start C:\\NETREVIVE\\NETREVIVE.EXE "
                              "again:",
                              0) == 0;
        EXPECT_TRUE(back || after == "nothing comes back; the repair is done")
            << where << ": " << after;
        const bool repaired =
            after.size() >= 14 && (after.compare(after.size() - 14, 14, "check-repaired") == 0 ||
                                   after.find("repair is done") != std::string::npos);
        EXPECT_TRUE(repaired) << where << ": " << after;
      }
    }
  }
}

}  // namespace
}  // namespace netrevive::support_kit
