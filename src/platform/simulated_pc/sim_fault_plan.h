#ifndef NETREVIVE_PLATFORM_SIM_SIM_FAULT_PLAN_H_
#define NETREVIVE_PLATFORM_SIM_SIM_FAULT_PLAN_H_

// The gate every platform call of the simulated machine passes first: the
// fault plan that fails calls on purpose, the power switch, and the call log
// that records each call with its arguments and outcome. It knows nothing of
// the registry or the drive.

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/simulated_pc/sim_common.h"
#include "platform/simulated_pc/sim_operations.h"

namespace netrevive::simulated_pc {

// One entry of the call log.
struct CallRecord {
  uint64_t index = 0;  // 1-based position among all platform calls
  Op operation = Op::kRegOpenKeyExA;
  // The full key path ("HKLM\\System\\CurrentControlSet\\Services"), file path
  // (CopyFileA: the source) or program path the call concerns; "" when there
  // is none.
  std::string path;
  // Every argument as the log line shows it, e.g. "HKLM\\System\\...,
  // access=0xF003F"; for reading, not for parsing: the fields below carry
  // the arguments that are looked at.
  std::string arguments;
  // RegQueryValueExA, RegSetValueExA, RegDeleteValueA: the value name ("" for
  // the default value or a null name).
  std::string value_name;
  // CopyFileA: the target and the fail-if-exists flag.
  std::string copy_target;
  bool fail_if_exists = false;
  // The buffer size given (RegEnumKeyA, GetWindowsDirectoryA; for
  // RegQueryValueExA *data_size, 0 when null) or the size of the data
  // (RegSetValueExA, WriteFile).
  uint32_t size = 0;
  uint32_t exit_flags = 0;  // ExitWindowsEx
  // The return value: a status for registry calls, 1/0 for bool calls, the
  // length for GetWindowsDirectoryA, the handle for OpenFileFor*, the wait
  // result for WaitForSingleObject.
  int64_t result = 0;
  // 0 on success, otherwise the status the call failed with (a registry
  // status, or the last error of a bool call).
  RegStatus status = 0;
  bool faulted = false;          // the fault plan made this call fail
  bool after_power_cut = false;  // the machine was already off (see PowerCutAfter)

  // The path a fault rule may also name: the key path + "\\" + value name
  // for value operations, the target for CopyFileA; "" otherwise.
  std::string AlternatePath() const;
  // One line: "#12 RegDeleteKeyA HKLM\\...\\Winsock2 -> 0" with " [fault]" or
  // " [power off]" marks.
  std::string ToString() const;
};

// How the log shows a call's arguments: a text quoted ("(null)" for none);
// bytes as readable text (printable ASCII as is, the rest as \xNN), the
// first 160 of them, then "..." when there are more.
std::string Quoted(const char* text);
std::string DataText(const uint8_t* data, uint32_t size);

// One rule of the fault plan.
struct FaultRule {
  // By operation; none matches every operation.
  std::optional<Op> operation;
  // The path the call concerns (see CallRecord::path), compared
  // case-insensitively with HKLM/HKEY_LOCAL_MACHINE and HKCR/HKEY_CLASSES_ROOT
  // taken as equal; "" matches any path. A call's alternate path matches too.
  std::string path;
  // By position: when non-zero, the rule fails exactly the call with this
  // 1-based index (operation and path must then also match when given).
  uint64_t call_index = 0;
  RegStatus status = kErrorAccessDenied;
  bool persistent = false;  // otherwise the rule is used up by its first hit
  int hits = 0;             // how often the rule made a call fail
  // The first this many calls the rule matches pass: "the second start of
  // rundll32.exe fails" without counting every call of the run.
  int skip = 0;
};

class FaultPlan {
 public:
  // Logs the call (numbering it) and says whether it may do its work: false
  // when a fault rule fails it or the power is off, with *status the status
  // it then fails with.
  bool Admit(CallRecord record, RegStatus* status);
  // Records how the call just admitted ended. True when the planned power
  // cut is due now (the caller then cuts the power).
  bool Finish(int64_t result, RegStatus status);
  // The call being made (the last one logged).
  const CallRecord& current() const { return calls_.back(); }

  void Add(const FaultRule& rule) { rules_.push_back(rule); }
  void Clear() { rules_.clear(); }
  const std::vector<FaultRule>& rules() const { return rules_; }
  int faults_met() const { return faults_met_; }
  void ClearFaultsMet() { faults_met_ = 0; }

  void PowerCutAfter(uint64_t index) { power_cut_after_ = index; }
  // Marks the power off from the next call on; the caller loses what the
  // machine had not stored yet.
  void PowerOff();
  void PowerOn();
  bool powered_off() const { return powered_off_; }
  uint64_t power_cut_at() const { return power_cut_at_; }

  const std::vector<CallRecord>& calls() const { return calls_; }
  uint64_t call_count() const { return call_count_; }
  std::vector<CallRecord> CallsOf(Op operation) const;
  uint64_t FirstCallIndex(Op operation, const std::string& path) const;
  void ResetLog();
  std::string FormatLog() const;

 private:
  bool Matches(const FaultRule& rule, const CallRecord& record) const;

  std::vector<FaultRule> rules_;
  int faults_met_ = 0;
  uint64_t power_cut_after_ = 0;
  uint64_t power_cut_at_ = 0;
  bool powered_off_ = false;
  std::vector<CallRecord> calls_;
  uint64_t call_count_ = 0;
};

}  // namespace netrevive::simulated_pc

#endif  // NETREVIVE_PLATFORM_SIM_SIM_FAULT_PLAN_H_
