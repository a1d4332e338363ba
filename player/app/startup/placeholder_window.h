// A plain main window ("CPWINDOW", "Tunora") that stands in until the full
// main window is wired in: it owns the first player session, opens files
// handed over by a second start, and shows the player's name.
#pragma once
#include <memory>

#include "app/startup/app.h"

namespace tunora {

std::unique_ptr<MainWindowHost> createPlaceholderMainWindow(CDTVPlayerApp& app, const plat::Rect& rect);

}  // namespace tunora
