#include "platform/sim/sim_operations.h"

#include "platform/sim/sim_paths.h"

namespace netrevive::sim {

bool FindOp(const std::string& name, Op* op) {
  for (const OpEntry& entry : kOps) {
    if (EqualsNoCase(entry.name, name)) {
      *op = entry.op;
      return true;
    }
  }
  return false;
}

}  // namespace netrevive::sim
