// Windows of other processes: the link that lets the second instance find
// the running player, and power and shell messages reach every program.
#pragma once
#include <optional>
#include <string_view>

#include "plat/message.h"
#include "plat/text.h"

namespace plat::win {

// A handle standing for a window of another process, if window is one.
bool isRemoteWindow(Window window);
bool peerPost(Window window, uint32_t message, WParam wParam, LParam lParam);
LResult peerSend(Window window, uint32_t message, WParam wParam, LParam lParam);
void peerBroadcast(uint32_t message, WParam wParam, LParam lParam);
Window peerFind(StringView16 className, StringView16 title);
// The number shared by every process of the user; nullopt when the shared
// table cannot be used (the caller then numbers within the process).
std::optional<uint32_t> peerRegisterMessage(std::string_view name);
// This process's top-level windows changed (created, destroyed, retitled, shown or hidden).
void peerWindowsChanged();

}  // namespace plat::win
