// Keeps a library loaded for the rest of the process. Objects of the engine
// and of the scheduler libraries (devices in a source collection, records
// handed to callers) may outlive the service that created them, so the
// library file they live in must not be unloaded when that service goes.
#pragma once
#include "plat/module.h"

namespace vexo {

// Holds one more handle of a library file until the process ends. In-process
// stand-ins (tests) are not held, so a test can replace them.
void keepLoaded(const plat::ModuleHandle& module);

}  // namespace vexo
