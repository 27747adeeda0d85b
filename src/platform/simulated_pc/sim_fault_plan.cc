#include "platform/simulated_pc/sim_fault_plan.h"

#include <stdio.h>

#include <utility>

#include "platform/simulated_pc/sim_paths.h"

namespace netrevive::simulated_pc {

std::string Quoted(const char* text) {
  if (text == nullptr) return "(null)";
  return std::string("\"") + text + "\"";
}

std::string DataText(const uint8_t* data, uint32_t size) {
  constexpr uint32_t kShownLimit = 160;
  if (data == nullptr) return "(null)";
  std::string out = "\"";
  for (uint32_t i = 0; i < size && i < kShownLimit; ++i) {
    uint8_t b = data[i];
    if (b >= 0x20 && b < 0x7F && b != '\\' && b != '"') {
      out += static_cast<char>(b);
    } else if (b == '\\') {
      out += "\\\\";
    } else if (b == '"') {
      out += "\\\"";
    } else {
      char esc[8];
      snprintf(esc, sizeof esc, "\\x%02X", b);
      out += esc;
    }
  }
  out += "\"";
  if (size > kShownLimit) out += "...";
  return out;
}

std::string CallRecord::AlternatePath() const {
  switch (operation) {
    case Op::kRegQueryValueExA:
    case Op::kRegSetValueExA:
    case Op::kRegDeleteValueA:
      return path + "\\" + value_name;
    case Op::kCopyFileA:
      return copy_target;
    default:
      return "";
  }
}

std::string CallRecord::ToString() const {
  std::string line = "#" + std::to_string(index) + " " + OpName(operation);
  if (!arguments.empty()) line += " " + arguments;
  line += " -> " + std::to_string(result);
  if (status != 0) line += " (status " + std::to_string(status) + ")";
  if (faulted) line += " [fault]";
  if (after_power_cut) line += " [power off]";
  return line;
}

bool FaultPlan::Matches(const FaultRule& rule, const CallRecord& record) const {
  if (!rule.persistent && rule.hits > 0) return false;
  if (rule.call_index != 0 && rule.call_index != record.index) return false;
  if (rule.operation && *rule.operation != record.operation) return false;
  if (rule.path.empty()) return true;
  if (!record.path.empty() && SamePath(rule.path, record.path)) return true;
  std::string alternate = record.AlternatePath();
  return !alternate.empty() && SamePath(rule.path, alternate);
}

bool FaultPlan::Admit(CallRecord record, RegStatus* status) {
  record.index = ++call_count_;
  bool admitted = true;
  if (powered_off_) {
    record.after_power_cut = true;
    admitted = false;
    *status = kErrorNotReady;
  } else {
    for (FaultRule& rule : rules_) {
      if (!Matches(rule, record)) continue;
      if (rule.skip > 0) {
        --rule.skip;
        continue;
      }
      ++rule.hits;
      ++faults_met_;
      record.faulted = true;
      admitted = false;
      *status = rule.status;
      break;
    }
  }
  calls_.push_back(std::move(record));
  return admitted;
}

bool FaultPlan::Finish(int64_t result, RegStatus status) {
  CallRecord& record = calls_.back();
  record.result = result;
  record.status = status;
  return !powered_off_ && power_cut_after_ != 0 && record.index >= power_cut_after_;
}

void FaultPlan::PowerOff() {
  powered_off_ = true;
  power_cut_after_ = 0;
  power_cut_at_ = call_count_;
}

void FaultPlan::PowerOn() {
  powered_off_ = false;
  power_cut_after_ = 0;
}

std::vector<CallRecord> FaultPlan::CallsOf(Op operation) const {
  std::vector<CallRecord> out;
  for (const CallRecord& call : calls_) {
    if (call.operation == operation) out.push_back(call);
  }
  return out;
}

uint64_t FaultPlan::FirstCallIndex(Op operation, const std::string& path) const {
  for (const CallRecord& call : calls_) {
    if (call.operation != operation) continue;
    if (!path.empty() && !SamePath(path, call.path)) continue;
    return call.index;
  }
  return 0;
}

void FaultPlan::ResetLog() {
  calls_.clear();
  call_count_ = 0;
}

std::string FaultPlan::FormatLog() const {
  std::string out;
  for (const CallRecord& call : calls_) out += call.ToString() + "\n";
  return out;
}

}  // namespace netrevive::simulated_pc
