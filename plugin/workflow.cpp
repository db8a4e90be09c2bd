#include "plugin/workflow.h"

namespace simtrove::plugin {
bool runSimulationWorkflow() { return false; }
}  // namespace simtrove::plugin
