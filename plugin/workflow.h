// The simulation workflow that execute() runs against the bound host table.
// Returns true when the run reached its end, false on any refusal, cancellation
// or error.
#pragma once

namespace simtrove::plugin {
bool runSimulationWorkflow();
}
