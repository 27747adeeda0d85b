#include "platform/simulated_pc/sim_processes.h"

#include <algorithm>
#include <utility>

namespace netrevive::simulated_pc {

size_t SimProcesses::Start(ProcessRecord run, uint64_t call) {
  size_t index = processes_.size();
  run.started_at_ms = clock_ms_;
  run.session = session_;
  handles_[run.process] = ProcessHandle{index, false, call};
  handles_[run.thread] = ProcessHandle{index, true, call};
  processes_.push_back(std::move(run));
  return index;
}

void SimProcesses::Settle(size_t index, const HelperOutcome& outcome) {
  ProcessRecord& stored = processes_[index];
  stored.recognised = outcome.recognised;
  stored.exit_code = outcome.exit_code;
  stored.duration_ms = outcome.duration_ms;
  stored.effect = outcome.effect;
  stored.requested_restart = outcome.requested_restart;
}

uint32_t SimProcesses::NewProcessId() {
  uint32_t id = next_process_id_;
  next_process_id_ += 0x20;
  return id;
}

std::string SimProcesses::ProgramOf(Handle handle) const {
  auto it = handles_.find(handle);
  return it == handles_.end() ? "" : processes_[it->second.process_index].program;
}

uint32_t SimProcesses::Wait(Handle handle, uint32_t milliseconds) {
  ProcessRecord& run = processes_[handles_.at(handle).process_index];
  uint64_t ends_at = run.started_at_ms + run.duration_ms;
  uint64_t left = ends_at > clock_ms_ ? ends_at - clock_ms_ : 0;
  if (milliseconds != kInfinite && milliseconds < left) {
    clock_ms_ += milliseconds;
    return kWaitTimeout;
  }
  clock_ms_ += left;
  run.waited = true;
  return kWaitObject0;
}

void SimProcesses::ListHandles(std::vector<OpenHandleInfo>* out) const {
  for (const auto& entry : handles_) {
    out->push_back(OpenHandleInfo{
        entry.second.thread ? OpenHandleInfo::Kind::kThread : OpenHandleInfo::Kind::kProcess,
        entry.first, processes_[entry.second.process_index].program, entry.second.opened_by_call});
  }
}

SessionRequest SimProcesses::strongest_request() const {
  auto has = [this](SessionRequest request) {
    return std::find(session_requests_.begin(), session_requests_.end(), request) !=
           session_requests_.end();
  };
  if (has(SessionRequest::kRestart)) return SessionRequest::kRestart;
  if (has(SessionRequest::kLogOff)) return SessionRequest::kLogOff;
  return SessionRequest::kNone;
}

void SimProcesses::EndSession() {
  handles_.clear();
  session_requests_.clear();
  ++session_;
}

}  // namespace netrevive::simulated_pc
