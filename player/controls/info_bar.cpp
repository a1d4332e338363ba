#include "controls/info_bar.h"

#include "controls/kit.h"

namespace tunora::controls {
namespace {

struct LabelState {
  plat::FontPtr font;
  plat::ColorRef color = kDefaultLabelColor;
  uint32_t format = plat::text_format::kSingleLine | plat::text_format::kVCenter;
  std::optional<plat::Rect> textRect;  // none: the client rectangle
  plat::ImagePtr background, overlay;
  MemoryBitmap backgroundBitmap;
  const skin::SkinDocument* skin = nullptr;
  bool skinChanged = false;
};

LabelState* label(plat::Window w) { return reinterpret_cast<LabelState*>(plat::userData(w)); }

void rebuildFromImages(plat::Window w, LabelState& s) {
  const plat::Rect client = plat::clientRect(w);
  if (!s.backgroundBitmap.create(client.size())) return;
  if (s.background)
    StretchBackgroundPart(*s.background, *s.backgroundBitmap.dc, plat::windowRectInParent(w), client);
  if (s.overlay) s.backgroundBitmap.dc->drawImage(*s.overlay, client);
}

plat::LResult onCreate(plat::Window w, plat::WParam, plat::LParam lp) {
  auto* s = new LabelState;
  s->skin = reinterpret_cast<const skin::SkinDocument*>(lp);
  plat::setUserData(w, reinterpret_cast<uintptr_t>(s));
  return 0;
}

plat::LResult onDestroy(plat::Window w, plat::WParam, plat::LParam) {
  delete label(w);
  plat::setUserData(w, 0);
  return 0;
}

plat::LResult onErase(plat::Window, plat::WParam, plat::LParam) { return 1; }

plat::LResult onPaint(plat::Window w, plat::WParam, plat::LParam) {
  LabelState* s = label(w);
  paintDoubleBuffered(w, [&](plat::DeviceContext& dc) {
    const plat::Rect client = plat::clientRect(w);
    if (s->backgroundBitmap) dc.copyFrom(client, *s->backgroundBitmap.dc, plat::Point{0, 0});
    else dc.fillRect(client, plat::stockBrush(plat::StockBrush::Black));
    dc.setBackgroundMode(plat::BackgroundMode::Transparent);
    dc.setTextColor(s->color);
    if (s->font) dc.selectFont(s->font);
    plat::Rect r = s->textRect.value_or(client);
    r.left += 2;
    r.right -= 2;
    dc.drawText(plat::windowText(w), &r, s->format);
  });
  return 0;
}

plat::LResult onSetText(plat::Window w, plat::WParam wp, plat::LParam lp) {
  const plat::LResult r = plat::defaultWindowProc(w, plat::kMsgSetText, wp, lp);
  plat::invalidate(w, nullptr, false);
  return r;
}

plat::LResult onSetFont(plat::Window w, plat::WParam, plat::LParam lp) {
  if (const auto* f = reinterpret_cast<const plat::FontPtr*>(lp)) label(w)->font = *f;
  plat::invalidate(w, nullptr, false);
  return 0;
}
plat::LResult onSetColor(plat::Window w, plat::WParam, plat::LParam lp) {
  label(w)->color = static_cast<plat::ColorRef>(lp);
  plat::invalidate(w, nullptr, false);
  return 0;
}
plat::LResult onSetFormat(plat::Window w, plat::WParam, plat::LParam lp) {
  label(w)->format = static_cast<uint32_t>(lp);
  plat::invalidate(w, nullptr, false);
  return 0;
}
plat::LResult onSetTextRect(plat::Window w, plat::WParam, plat::LParam lp) {
  if (const auto* r = reinterpret_cast<const plat::Rect*>(lp)) label(w)->textRect = *r;
  plat::invalidate(w, nullptr, false);
  return 0;
}
plat::LResult onSetImage(plat::Window w, plat::WParam wp, plat::LParam lp) {
  LabelState* s = label(w);
  const auto* image = reinterpret_cast<const plat::ImagePtr*>(lp);
  (wp == 0 ? s->background : s->overlay) = image ? *image : nullptr;
  rebuildFromImages(w, *s);
  plat::invalidate(w, nullptr, false);
  return 0;
}
plat::LResult onCopyBackground(plat::Window w, plat::WParam, plat::LParam lp) {
  LabelState* s = label(w);
  const auto* parentDc = reinterpret_cast<const plat::DeviceContext*>(lp);
  const plat::Rect client = plat::clientRect(w);
  if (!parentDc || !s->backgroundBitmap.create(client.size())) return 0;
  s->backgroundBitmap.dc->stretchFrom(client, *parentDc, plat::windowRectInParent(w));
  plat::invalidate(w, nullptr, false);
  return 0;
}
plat::LResult onSkinChanged(plat::Window w, plat::WParam, plat::LParam lp) {
  if (!IsSkinBroadcast(WM_SKINCHANGED, lp)) return 0;  // the battery's charging message
  label(w)->skin = reinterpret_cast<const skin::SkinDocument*>(lp);
  label(w)->skinChanged = true;
  return 0;
}

constexpr MessageHandler kLabelTable[] = {
    {plat::kMsgCreate, onCreate},           {plat::kMsgDestroy, onDestroy},
    {plat::kMsgEraseBackground, onErase},   {plat::kMsgPaint, onPaint},
    {plat::kMsgSetText, onSetText},         {kMsgLabelSetFont, onSetFont},
    {kMsgLabelSetColor, onSetColor},        {kMsgLabelSetFormat, onSetFormat},
    {kMsgLabelSetTextRect, onSetTextRect},  {kMsgLabelSetImage, onSetImage},
    {kMsgLabelCopyBackground, onCopyBackground}, {WM_SKINCHANGED, onSkinChanged},
};

plat::LResult labelProc(plat::Window w, uint32_t message, plat::WParam wp, plat::LParam lp) {
  if (!label(w) && message != plat::kMsgCreate) return plat::defaultWindowProc(w, message, wp, lp);
  return dispatchByTable(kLabelTable, w, message, wp, lp);
}

plat::LResult panelCreate(plat::Window, plat::WParam, plat::LParam) { return 0; }
plat::LResult panelDestroy(plat::Window, plat::WParam, plat::LParam) { return 0; }
plat::LResult panelPaint(plat::Window w, plat::WParam, plat::LParam) {
  plat::PaintInfo info;
  if (plat::beginPaint(w, &info)) plat::endPaint(w, &info);
  return 0;
}
constexpr MessageHandler kPanelTable[] = {
    {plat::kMsgCreate, panelCreate}, {plat::kMsgPaint, panelPaint}, {plat::kMsgDestroy, panelDestroy}};

plat::LResult panelProc(plat::Window w, uint32_t message, plat::WParam wp, plat::LParam lp) {
  return dispatchByTable(kPanelTable, w, message, wp, lp);
}

}  // namespace

plat::Window CreateInformationBar(plat::Window parent, const plat::Rect& rect, int32_t controlId,
                                  const skin::SkinDocument* skin) {
  if (!registerClassOnce(kInfoBarClass, labelProc)) return {};
  plat::CreateWindowParams p;
  p.className = kInfoBarClass;
  p.style = plat::kStyleChild | plat::kStyleVisible;
  p.rect = rect;
  p.parent = parent;
  p.controlId = controlId;
  p.createParam = reinterpret_cast<plat::LParam>(skin);
  return plat::createWindow(p);
}

const skin::SkinDocument* InformationBarSkin(plat::Window w, bool* skinChanged) {
  if (plat::className(w) != plat::String16(kInfoBarClass) || !label(w)) return nullptr;
  if (skinChanged) *skinChanged = label(w)->skinChanged;
  return label(w)->skin;
}

plat::Window CreatePlaceholderPanel(plat::Window parent, int32_t x, int32_t y, int32_t width, int32_t height) {
  if (!registerClassOnce(kPlaceholderClass, panelProc)) return {};
  plat::CreateWindowParams p;
  p.className = kPlaceholderClass;
  p.style = plat::kStyleChild | plat::kStyleVisible | plat::kStyleClipChildren;
  p.rect = plat::Rect::fromXYWH(x, y, width, height);
  p.parent = parent;
  const plat::Window w = plat::createWindow(p);
  if (w) {
    plat::showWindow(w, true);
    plat::updateWindow(w);
  }
  return w;
}

}  // namespace tunora::controls
