#ifndef NETREVIVE_PLATFORM_SIM_SIM_PROCESSES_H_
#define NETREVIVE_PLATFORM_SIM_SIM_PROCESSES_H_

// The process table of the simulated machine: the helper programs started,
// their process and thread handles, the simulated clock their runs take
// time on, and what the session asked Windows to do.

#include <stdint.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/simulated_pc/sim_common.h"

namespace netrevive::simulated_pc {

// A helper program the machine started (a CreateProcessA that succeeded).
struct ProcessRecord {
  std::string program;  // as passed (or resolved from the command line)
  std::string command_line;
  std::string working_directory;  // "" when none was given
  Handle process = kNoHandle;
  Handle thread = kNoHandle;
  uint32_t process_id = 0;
  uint32_t thread_id = 0;
  uint64_t started_at_ms = 0;  // simulated clock when it was started
  uint32_t duration_ms = 0;    // how long it runs, charged when waited for
  uint32_t exit_code = 0;
  bool waited = false;             // a wait on it returned
  bool recognised = false;         // the helper model knew the command
  std::string effect;              // what the helper model did, one line of text
  bool requested_restart = false;  // the helper asked Windows to restart
  int session = 0;                 // SimMachine::session() when it was started
  uint32_t error_mode = 0;         // the error mode it inherited from the program
};

// What a simulated helper did. Returned by a HelperModel.
struct HelperOutcome {
  bool recognised = false;
  uint32_t exit_code = 0;
  uint32_t duration_ms = 0;
  std::string effect;              // e.g. "removed DUN", "requested a restart"
  bool requested_restart = false;  // it asked Windows to restart (RnaReboot)
};

class SimMachine;

// Plays a helper program the machine has just started: changes the machine
// (through the helper functions, which are neither logged nor faulted) and
// says what it did. The default model is DefaultHelperModel in sim_presets.h.
using HelperModel = std::function<HelperOutcome(SimMachine& machine, const ProcessRecord& run)>;

// What the session asked Windows to do when it ends: nothing, end the
// user's session (log off), or restart the machine.
enum class SessionRequest { kNone, kLogOff, kRestart };

// What ExitWindowsEx with these flags asks for: EWX_SHUTDOWN (1), EWX_REBOOT
// (2) and EWX_POWEROFF (8) take the machine down; EWX_LOGOFF (0) only ends
// the user's session.
constexpr SessionRequest ExitRequest(uint32_t flags) {
  return (flags & 0xB) != 0 ? SessionRequest::kRestart : SessionRequest::kLogOff;
}

class SimProcesses {
 public:
  // Adds the process with its process and thread handles (given in run);
  // returns its index in processes().
  size_t Start(ProcessRecord run, uint64_t call);
  void Settle(size_t index, const HelperOutcome& outcome);
  const std::vector<ProcessRecord>& processes() const { return processes_; }
  // The next process id (the thread id is 0x10 above it).
  uint32_t NewProcessId();

  // The program of a process or thread handle, "" for any other handle.
  std::string ProgramOf(Handle handle) const;
  bool IsOpen(Handle handle) const { return handles_.count(handle) != 0; }
  // Waits on a process or thread handle that is open: kWaitObject0 once the
  // helper's run is over, advancing the clock by what is left of it, or
  // kWaitTimeout after milliseconds when that is shorter.
  uint32_t Wait(Handle handle, uint32_t milliseconds);
  bool Release(Handle handle) { return handles_.erase(handle) != 0; }
  void ListHandles(std::vector<OpenHandleInfo>* out) const;

  uint64_t clock_ms() const { return clock_ms_; }
  void AdvanceClock(uint64_t ms) { clock_ms_ += ms; }

  const std::vector<SessionRequest>& session_requests() const { return session_requests_; }
  void Request(SessionRequest request) { session_requests_.push_back(request); }
  // kRestart when any request is a restart, else kLogOff when one is a
  // log-off, else kNone.
  SessionRequest strongest_request() const;
  // The session ended: its handles and requests go, the counter goes up.
  void EndSession();
  int session() const { return session_; }

 private:
  struct ProcessHandle {
    size_t process_index = 0;  // into processes_
    bool thread = false;
    uint64_t opened_by_call = 0;
  };

  std::map<Handle, ProcessHandle> handles_;
  std::vector<ProcessRecord> processes_;
  uint32_t next_process_id_ = 0xFFF3A001;
  uint64_t clock_ms_ = 0;
  std::vector<SessionRequest> session_requests_;
  int session_ = 1;
};

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_PROCESSES_H_
