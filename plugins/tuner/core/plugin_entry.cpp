// The shared plug-in is the core library linked whole; this unit only gives
// the library target a source of its own.
#include "tapfeed/tuner_abi.h"

static_assert(sizeof(TapfeedTuner) == sizeof(void*));
