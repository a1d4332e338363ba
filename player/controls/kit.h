// Conventions every skinned control follows: classes registered on first
// use, a fixed (message, handler) table per window procedure, double-buffered
// painting, skin colours, the transparent-background helper and the
// skin-changed broadcast.
#pragma once
#include <cstdint>
#include <functional>
#include <span>

#include "app/skin/skin_document.h"
#include "app/skin/skin_set.h"
#include "plat/gfx/dc.h"
#include "plat/gfx/image.h"
#include "plat/window.h"

namespace tunora::controls {

// Sent depth first to a window and its descendants; lParam: the new main
// skin document.
inline constexpr uint32_t WM_SKINCHANGED = skin::kMsgSkinChanged;
// The battery indicator's charging message has the same number. A skin
// broadcast always carries its document in lParam and the charging message
// never does, so receivers tell them apart by lParam.
constexpr bool IsSkinBroadcast(uint32_t message, plat::LParam lParam) {
  return message == WM_SKINCHANGED && lParam != 0;
}
// Press feedback for the device shell: a thread message, wParam 1, lParam 0.
inline constexpr uint32_t WM_SHELLPRESS = 0x402;

using MessageHandlerFn = plat::LResult (*)(plat::Window, plat::WParam, plat::LParam);
struct MessageHandler {
  uint32_t message;
  MessageHandlerFn handler;
};

// Runs the handler the table names for the message; anything else goes to
// `fallback` (the default procedure when none is given).
plat::LResult dispatchByTable(std::span<const MessageHandler> table, plat::Window window, uint32_t message,
                              plat::WParam wParam, plat::LParam lParam, const plat::WindowProc& fallback = {});

// Registers the class unless a class of that name already exists.
bool registerClassOnce(const char16_t* name, plat::WindowProc proc, uint32_t style = 0);

// A skin colour (red, green, blue) as a 24-bit colour value.
constexpr plat::ColorRef skinColor(uint8_t red, uint8_t green, uint8_t blue) {
  return static_cast<plat::ColorRef>(red + green * 256u + blue * 65536u);
}

// An off-screen bitmap with its own memory context.
struct MemoryBitmap {
  std::unique_ptr<plat::DeviceContext> dc;
  plat::BitmapPtr bitmap;
  // False when the size is empty or refused.
  bool create(plat::Size size);
  void reset();
  explicit operator bool() const { return dc && bitmap; }
};

// Paints the window through one off-screen bitmap of client size: `compose`
// draws into it (client coordinates), then one block transfer shows it.
void paintDoubleBuffered(plat::Window window, const std::function<void(plat::DeviceContext&)>& compose);

// Draws the image at its own size into a temporary bitmap and stretches
// `source` of it onto `target` of the device context. Controls pass their
// rectangle in the parent's client area as source and their client
// rectangle as target, so a parent-sized background gives each control the
// piece under it.
void StretchBackgroundPart(const plat::Image& image, plat::DeviceContext& dc, const plat::Rect& source,
                           const plat::Rect& target);

// Sends WM_SKINCHANGED (wParam 0, lParam skin) to the window, then to each
// descendant, depth first in z-order, synchronously. Nothing is sent
// without a document (it would read as a battery message).
void BroadcastSkinChanged(plat::Window window, const skin::SkinDocument* skin);

// The thread that receives WM_SHELLPRESS on every drawn press; 0 (the
// default, and when there is no shell) sends nothing.
void SetShellPressThread(uint32_t threadId);
uint32_t ShellPressThread();

}  // namespace tunora::controls
