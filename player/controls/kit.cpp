#include "controls/kit.h"

#include <atomic>

namespace tunora::controls {

plat::LResult dispatchByTable(std::span<const MessageHandler> table, plat::Window window, uint32_t message,
                              plat::WParam wParam, plat::LParam lParam, const plat::WindowProc& fallback) {
  for (const MessageHandler& entry : table)
    if (entry.message == message) return entry.handler(window, wParam, lParam);
  if (fallback) return plat::callWindowProc(fallback, window, message, wParam, lParam);
  return plat::defaultWindowProc(window, message, wParam, lParam);
}

bool registerClassOnce(const char16_t* name, plat::WindowProc proc, uint32_t style) {
  if (plat::isClassRegistered(name)) return true;
  plat::WindowClass c;
  c.name = name;
  c.style = style;
  c.proc = std::move(proc);
  return plat::registerClass(c) || plat::isClassRegistered(name);
}

bool MemoryBitmap::create(plat::Size size) {
  reset();
  if (size.width <= 0 || size.height <= 0) return false;
  bitmap = plat::Bitmap::create(size.width, size.height);
  if (!bitmap) return false;
  dc = plat::DeviceContext::createMemory();
  dc->selectBitmap(bitmap);
  return true;
}

void MemoryBitmap::reset() {
  if (dc) dc->selectBitmap(nullptr);
  dc.reset();
  bitmap.reset();
}

void paintDoubleBuffered(plat::Window window, const std::function<void(plat::DeviceContext&)>& compose) {
  plat::PaintInfo info;
  if (!plat::beginPaint(window, &info)) return;
  const plat::Rect client = plat::clientRect(window);
  MemoryBitmap off;
  if (info.dc && off.create(client.size())) {
    compose(*off.dc);
    info.dc->copyFrom(client, *off.dc, plat::Point{0, 0});
  }
  plat::endPaint(window, &info);
}

void StretchBackgroundPart(const plat::Image& image, plat::DeviceContext& dc, const plat::Rect& source,
                           const plat::Rect& target) {
  MemoryBitmap whole;
  if (!whole.create(plat::Size{image.width(), image.height()})) return;
  whole.dc->drawImage(image, plat::Rect{0, 0, image.width(), image.height()});
  dc.stretchFrom(target, *whole.dc, source);
}

void BroadcastSkinChanged(plat::Window window, const skin::SkinDocument* skin) {
  if (!skin) return;
  skin::broadcastSkinChanged(window, skin);
}

namespace {
std::atomic<uint32_t>& shellThread() {
  static std::atomic<uint32_t> id{0};
  return id;
}
}  // namespace

void SetShellPressThread(uint32_t threadId) { shellThread().store(threadId); }
uint32_t ShellPressThread() { return shellThread().load(); }

}  // namespace tunora::controls
