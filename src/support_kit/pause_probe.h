#ifndef NETREVIVE_SUPPORT_KIT_PAUSE_PROBE_H_
#define NETREVIVE_SUPPORT_KIT_PAUSE_PROBE_H_

// Where the caller can be when the phone rings: every pause of a repair,
// found through the session player's pause hook, with typed facts about
// the simulated PC at that moment: what has been done to it, and what
// becomes of it when the caller closes the window or switches off there
// instead of pressing the key. The guide formats these facts; it reads no
// prose back.

#include <string>
#include <vector>

#include "platform/simulated_pc/sim_machine.h"
#include "rehearsal/session_player.h"

namespace netrevive::support_kit {

// Where README.TXT and the call script tell the caller to put the program;
// the guide's simulated PCs hold it there.
inline constexpr const char kProgramPath[] = "C:\\NETREVIVE.EXE";

// What has been done to the PC, against the PC before the repair.
struct PcFacts {
  bool changed = false;           // any of the below differs from before the repair
  bool backups = false;           // system.tom and user.tom made by this repair
  bool winsock2_deleted = false;  // the Winsock2 key was there and is gone
  bool winsock2_missing = false;  // the Winsock2 key is not there (deleted or never there)
  bool winsock2_written = false;  // the key is there again after it was gone
  bool upgrade_removed = false;   // the DUN upgrade was there and is gone
  bool upgrade_left = false;      // the DUN upgrade is still there
  bool dun_uninstalled = false;   // DUN was installed and is not
  bool dun_missing = false;       // DUN is not installed (uninstalled or never there)
  bool dun_reinstalled = false;   // DUN is installed again after it was missing
  std::string runonce;            // the RunOnce entry "QU Netrevive": the next run; "" none
  bool marker = false;            // rundunreinst.QU: a reinstallation is authorised
  bool record = false;            // netrevive.QU: a repair is under way
  // The repair is complete: something changed, the Winsock2 key and DUN are
  // there, and nothing is scheduled, authorised or under way.
  bool Complete() const;
};

// What the PC does after the caller closed the window (or the power went)
// at a stop and the PC started again, played on a copy of the machine.
struct Continuation {
  enum class Start {
    kByItself,     // Windows starts the program from RunOnce
    kCallerAgain,  // nothing comes back; the caller starts the program again
    kNothingLeft,  // nothing comes back and the repair is complete
  };
  Start start = Start::kNothingLeft;
  std::string again;  // with kCallerAgain: the program the caller starts again
  // The endings of the runs that follow, in order, without the Check the
  // simulator has the caller run at the end.
  std::vector<std::string> endings;
  // The ending of the program's Check at the end (Windows' or the caller's).
  std::string check;
  bool Repaired() const { return check == "check-repaired"; }
  bool operator==(const Continuation& other) const {
    return start == other.start && again == other.again && endings == other.endings &&
           check == other.check;
  }
};

// One place the program waits for a key: the pause as the session player
// met it, and what the guide knows of it.
struct Stop : rehearsal::PauseStop {
  bool last = false;             // the run's last pause (its last screen)
  std::string next_line;         // the next screen's first line; "" at the last pause
  std::string ending;            // the run's ending
  PcFacts done;                  // what has been done to the PC
  Continuation after_close;      // the window closed here, the PC restarted
  Continuation after_power_off;  // the power cut here, the PC started again
  std::string key_check;         // the Check at the end when the caller goes on with the key
};

// Whether the caller may close the window or switch off at the stop: nothing
// was changed yet; or it is the last screen of a run that stops or refuses
// (the key only closes the window); or closed and switched off there alike,
// the program's Check at the end says REPAIRED, or what it says when the
// caller presses the key instead (a PC that cannot be repaired loses
// nothing by the stop).
bool SafeToStop(const Stop& stop);

// The simulated PC for netrevive-sim's arguments (presets, --inject,
// --program, --start; --keys auto implied), with the program at
// kProgramPath, and the session settings to play it.
bool BuildSimulatedPc(const std::vector<std::string>& args, simulated_pc::SimMachine* machine,
                      rehearsal::SessionSettings* settings, std::string* error);

// Plays the repair through the session player and lists its stops with
// their facts. False with a message for arguments it does not take.
bool ProbeStops(const std::vector<std::string>& args, std::vector<Stop>* stops, std::string* error);
// The same on a machine built elsewhere, played with the settings given.
std::vector<Stop> ProbeMachine(const simulated_pc::SimMachine& machine,
                               rehearsal::SessionSettings settings);

}  // namespace netrevive::support_kit

#endif  // NETREVIVE_SUPPORT_KIT_PAUSE_PROBE_H_
