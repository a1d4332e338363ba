// The application's main window: builds the skinned CMainWnd from the
// application's services (skins, settings store, first player session,
// accelerator registry) and answers the open-file hand-over of a second start.
#pragma once
#include <memory>

#include "app/startup/app.h"

namespace tunora {

// The MainWindowFactory of the player; null when the window cannot be made.
std::unique_ptr<MainWindowHost> createMainWindow(CDTVPlayerApp& app, const plat::Rect& rect);

}  // namespace tunora
