#include "platform/simulated_pc/sim_operations.h"

#include "platform/simulated_pc/sim_paths.h"

namespace netrevive::simulated_pc {

bool FindOp(const std::string& name, Op* op) {
  for (const OpInfo& entry : kOps) {
    if (EqualsNoCase(entry.name, name)) {
      *op = entry.op;
      return true;
    }
  }
  return false;
}

std::vector<RegStatus> RealStatuses(Op op) {
  std::vector<RegStatus> statuses;
  for (RegStatus status : InfoOf(op).statuses) {
    if (status == 0) break;
    statuses.push_back(status);
  }
  return statuses;
}

}  // namespace netrevive::simulated_pc
