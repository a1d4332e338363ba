// Creation of the engine's top-level objects (the factory exports call these).
#pragma once
#include "vexo/mc.h"

namespace zantsim {
Status createPlayer(const Guid* iid, void** out);
Status createDeviceManager(const Guid* iid, void** out);
}  // namespace zantsim
