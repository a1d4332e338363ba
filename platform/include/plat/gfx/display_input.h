// Input from a display back end into the window system: pointer events as
// touch input at the same screen point, keys with the window system's key
// codes (letters carry their lower- or upper-case character), and closing the
// display as a quit request for the calling thread's message loop.
#pragma once
#include <cstdint>

#include "plat/gfx/sdl_display.h"

namespace plat {

// The window system's key code for a display key (0 when it has none).
uint32_t keyCodeFor(DisplayKey key, char16_t character);
// Call on the thread whose message loop should see a quit.
void deliverDisplayEvent(const DisplayEvent& event);

}  // namespace plat
