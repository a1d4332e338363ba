#include "controls/skin_button.h"

#include <algorithm>
#include <array>

#include "app/skin/image_cache.h"
#include "app/skin/skin_set.h"
#include "controls/kit.h"
#include "plat/thread.h"

namespace tunora::controls {
namespace {

constexpr char16_t kScrollBarClass[] = u"KivScrollBar0.1";
// Caption layout with a left offset (icon buttons): two lines of this height.
constexpr int32_t kIconLayoutLineHeight = 14;
constexpr size_t kMaxFirstLine = 63;

struct StateImage {
  plat::String16 path;
  MemoryBitmap bitmap;  // the image stretched to the button
  bool loaded = false;
};

struct ButtonState {
  bool toggle = false;
  plat::Window window;
  plat::WindowProc previousProc;
  int32_t controlId = 0;
  // Push button: states 0..3. Toggle button: pairs normal, pressed,
  // disabled, each [set, clear] at index 2 * pair + (set ? 0 : 1).
  std::array<StateImage, 6> images;
  std::array<std::optional<plat::Region>, kSkinButtonStates> regions;
  bool regionMode = false;
  bool toggled = false;

  plat::ColorRef normalColor = kDefaultTextColor;
  plat::ColorRef pressedColor = kDefaultPressedTextColor;
  plat::ColorRef disabledColor = kDefaultDisabledTextColor;
  bool hasText = false;
  plat::String16 text;
  int32_t lineLimit = 0;
  bool hasIndexText = false;
  plat::String16 indexText;
  plat::Rect indexRect;
  int32_t leftOffset = 0;
  int32_t topOffset = 0;
  uint32_t format = kDefaultButtonTextFormat;
  std::optional<plat::Rect> textRect;  // none: the client rectangle
  plat::FontPtr font;
  bool insideScrollBar = false;
  bool pressOffset = false;

  uint32_t tickCount = 0;
  bool secondPhase = false;
  bool firstTimerStopped = false;
  int32_t repeatId = 0;
  uint32_t firstInterval = 0;
  uint32_t repeatInterval = 0;
  ButtonCallback onPress, onRelease;
};

plat::LResult skinButtonProc(plat::Window w, uint32_t message, plat::WParam wp, plat::LParam lp);

// The state block of a window whose procedure is ours; null otherwise.
ButtonState* stateOf(plat::Window w) {
  if (!w) return nullptr;
  const plat::WindowProc proc = plat::windowProc(w);
  using Fn = plat::LResult (*)(plat::Window, uint32_t, plat::WParam, plat::LParam);
  const Fn* target = proc.target<Fn>();
  if (!target || *target != &skinButtonProc) return nullptr;
  return reinterpret_cast<ButtonState*>(plat::userData(w));
}

plat::LResult passOn(ButtonState* s, plat::Window w, uint32_t message, plat::WParam wp, plat::LParam lp) {
  return plat::callWindowProc(s->previousProc, w, message, wp, lp);
}

bool repeats(const ButtonState& s) {
  return s.repeatId == s.controlId && s.firstInterval > 0 && s.repeatInterval > 0;
}

void redraw(plat::Window w) {
  plat::invalidate(w, nullptr, false);
  plat::updateWindow(w);
}

// Decodes `path` (through the skin image cache) stretched over the button.
// No file means no image; a damaged file goes to the cache's handler.
void loadInto(plat::Window w, StateImage& slot, plat::StringView16 path) {
  slot.bitmap.reset();
  slot.loaded = false;
  slot.path.assign(path);
  if (path.empty()) return;
  plat::ImagePtr image = skin::imageCache().load(path);
  if (!image) return;
  const plat::Rect client = plat::clientRect(w);
  if (!slot.bitmap.create(client.size())) return;
  slot.bitmap.dc->drawImage(*image, client);
  slot.loaded = true;
}

void loadRegion(ButtonState& s, int state) {
  s.regions[state].reset();
  if (s.images[state].path.empty() || !s.images[state].loaded) {
    if (state == kStateNormal) plat::setWindowShape(s.window, std::nullopt, true);
    return;
  }
  s.regions[state] = skin::loadRegion(skin::regionPathForImage(s.images[state].path));
  if (state == kStateNormal) plat::setWindowShape(s.window, s.regions[state], true);
}

// --- auto-repeat and callbacks -------------------------------------------------

plat::LResult onButtonDown(plat::Window w, plat::WParam wp, plat::LParam lp) {
  ButtonState* s = stateOf(w);
  const int32_t id = s->controlId;
  if (s->onPress) s->onPress(id);
  s = stateOf(w);  // the callback may have destroyed the button
  if (!s) return 0;
  if (repeats(*s)) {
    s->tickCount = 0;
    s->secondPhase = false;
    s->firstTimerStopped = false;
    plat::setTimer(w, kRepeatFirstTimer, s->firstInterval);
  }
  return passOn(s, w, plat::kMsgMouseDown, wp, lp);
}

plat::LResult onButtonUp(plat::Window w, plat::WParam wp, plat::LParam lp) {
  ButtonState* s = stateOf(w);
  s->tickCount = 0;
  if (!s->firstTimerStopped) plat::killTimer(w, kRepeatFirstTimer);
  plat::killTimer(w, kRepeatSecondTimer);
  s->secondPhase = false;
  s->firstTimerStopped = false;
  const int32_t id = s->controlId;
  const ButtonCallback onRelease = s->onRelease;
  passOn(s, w, plat::kMsgMouseUp, wp, lp);
  if (onRelease) onRelease(id);
  return 0;
}

plat::LResult onTimer(plat::Window w, plat::WParam wp, plat::LParam lp) {
  ButtonState* s = stateOf(w);
  if (wp == kRepeatFirstTimer) {
    ++s->tickCount;
    if (s->tickCount >= kRepeatTicksBeforeRepeat) {
      plat::setTimer(w, kRepeatSecondTimer, s->repeatInterval);
      plat::killTimer(w, kRepeatFirstTimer);
      s->firstTimerStopped = true;
      s->secondPhase = true;
    }
    return 0;
  }
  if (wp == kRepeatSecondTimer) {
    if (plat::Window parent = plat::parentOf(w))
      plat::postMessage(parent, plat::kMsgCommand, static_cast<plat::WParam>(s->controlId), 0);
    return 0;
  }
  return passOn(s, w, plat::kMsgTimer, wp, lp);
}

// Scroll-bar arrows hand the focus straight back.
plat::LResult onSetFocus(plat::Window w, plat::WParam wp, plat::LParam lp) {
  ButtonState* s = stateOf(w);
  const bool handBack = s->insideScrollBar && wp != 0;
  const plat::LResult r = passOn(s, w, plat::kMsgSetFocus, wp, lp);
  if (handBack && plat::windowExists(plat::Window{static_cast<uint32_t>(wp)}))
    plat::setFocus(plat::Window{static_cast<uint32_t>(wp)});
  return r;
}

plat::LResult onEraseBackground(plat::Window, plat::WParam, plat::LParam) { return 1; }

// A resize re-stretches every loaded image so presses stay one block copy.
plat::LResult onSize(plat::Window w, plat::WParam wp, plat::LParam lp) {
  ButtonState* s = stateOf(w);
  for (StateImage& slot : s->images) {
    if (slot.path.empty()) continue;
    const plat::String16 path = slot.path;
    loadInto(w, slot, path);
  }
  return passOn(s, w, plat::kMsgSize, wp, lp);
}

plat::LResult onDestroy(plat::Window w, plat::WParam wp, plat::LParam lp) {
  ButtonState* s = stateOf(w);
  plat::killTimer(w, kRepeatFirstTimer);
  plat::killTimer(w, kRepeatSecondTimer);
  const plat::WindowProc previous = s->previousProc;
  plat::setWindowProc(w, previous);
  plat::setUserData(w, 0);
  delete s;
  return plat::callWindowProc(previous, w, plat::kMsgDestroy, wp, lp);
}

constexpr MessageHandler kButtonTable[] = {
    {plat::kMsgMouseDown, onButtonDown},
    {plat::kMsgMouseDoubleClick, onButtonDown},
    {plat::kMsgMouseUp, onButtonUp},
    {plat::kMsgTimer, onTimer},
    {plat::kMsgSetFocus, onSetFocus},
    {plat::kMsgEraseBackground, onEraseBackground},
    {plat::kMsgSize, onSize},
    {plat::kMsgDestroy, onDestroy},
};

plat::LResult skinButtonProc(plat::Window w, uint32_t message, plat::WParam wp, plat::LParam lp) {
  ButtonState* s = reinterpret_cast<ButtonState*>(plat::userData(w));
  if (!s) return plat::defaultWindowProc(w, message, wp, lp);
  return dispatchByTable(kButtonTable, w, message, wp, lp, s->previousProc);
}

plat::Window createButton(plat::Window parent, int32_t controlId, const plat::Rect& rect,
                          std::optional<plat::StringView16> caption, plat::Window* returned, bool regionMode,
                          bool toggle) {
  if (!plat::registerButtonClass()) return {};
  plat::CreateWindowParams p;
  p.className = plat::kButtonClassName;
  p.title = caption.value_or(plat::StringView16{});
  p.style = plat::kStyleChild | plat::kStyleVisible | plat::kButtonPushLike | plat::kButtonOwnerDraw;
  p.rect = rect;
  p.parent = parent;
  p.controlId = controlId;
  const plat::Window w = plat::createWindow(p);
  if (!w) return {};
  auto* s = new ButtonState;
  s->toggle = toggle;
  s->window = w;
  s->controlId = controlId;
  s->regionMode = regionMode && !toggle;
  s->insideScrollBar = plat::className(parent) == plat::String16(kScrollBarClass);
  if (caption) {
    s->hasText = true;
    s->text.assign(caption->substr(0, kMaxCaption));
  }
  plat::setUserData(w, reinterpret_cast<uintptr_t>(s));
  s->previousProc = plat::setWindowProc(w, skinButtonProc);
  if (returned) *returned = w;
  return w;
}

// --- painting -----------------------------------------------------------------

void drawTwoLines(plat::DeviceContext& dc, const ButtonState& s, const plat::Rect& rect, int32_t textHeight) {
  const size_t first = CaptionFirstLineLength(s.text, s.lineLimit);
  plat::Rect top{rect.left, rect.top, rect.right, rect.top + textHeight + 2};
  plat::Rect bottom{rect.left, top.bottom + 2, rect.right, rect.bottom};
  const plat::StringView16 text = s.text;
  dc.drawText(text.substr(0, first), &top, s.format);
  dc.drawText(text.substr(first), &bottom, s.format);
}

void drawCaption(plat::DeviceContext& dc, const ButtonState& s, const plat::Rect& client, bool pressedShift) {
  plat::Rect rect = s.textRect.value_or(client);
  if (pressedShift) rect = rect.offset(2, 2);
  const plat::TextMetrics tm = dc.textMetrics();
  if (s.leftOffset != 0) {
    rect.left += s.leftOffset;
    rect.right -= 5;
    const int32_t margin = std::max(0, (client.height() - 2 * kIconLayoutLineHeight - s.topOffset - 1) / 2);
    rect.top += margin;
    rect.bottom -= margin;
    if (s.textRect && *s.textRect != client) rect = rect.offset(2, 2);
    if (!s.hasText) return;
    const int64_t needed = static_cast<int64_t>(s.text.size()) * tm.aveCharWidth;
    const uint32_t fmt = needed < rect.width()
                             ? plat::text_format::kSingleLine | plat::text_format::kVCenter |
                                   plat::text_format::kEndEllipsis | plat::text_format::kNoPrefix
                             : plat::text_format::kWordBreak | plat::text_format::kEndEllipsis |
                                   plat::text_format::kNoPrefix;
    dc.drawText(s.text, &rect, fmt);
    return;
  }
  if (rect.height() - tm.externalLeading - tm.height >= s.topOffset) rect.top += s.topOffset;
  if (s.hasIndexText) {
    plat::Rect index = s.indexRect;
    dc.drawText(s.indexText, &index,
                plat::text_format::kRight | plat::text_format::kSingleLine | plat::text_format::kVCenter |
                    plat::text_format::kEndEllipsis | plat::text_format::kNoPrefix);
  }
  if (!s.hasText) return;
  if (s.lineLimit > 0 && CaptionWidthUnits(s.text) > s.lineLimit && rect.height() > 2 * (tm.height + 2)) {
    drawTwoLines(dc, s, rect, tm.height);
    return;
  }
  dc.drawText(s.text, &rect, s.format);
}

void paintPush(const plat::DrawItemRecord& rec, ButtonState& s, plat::DeviceContext& dc) {
  const plat::Rect client{0, 0, rec.rect.width(), rec.rect.height()};
  const bool selected = rec.state & plat::draw_item_state::kSelected;
  const bool disabled = rec.state & plat::draw_item_state::kDisabled;
  plat::ColorRef color = s.normalColor;
  bool shift = false;
  if (!selected) {
    const int state = disabled ? kStateDisabled : kStateNormal;
    color = disabled ? s.disabledColor : s.normalColor;
    if (s.images[state].loaded) dc.copyFrom(client, *s.images[state].bitmap.dc, plat::Point{0, 0});
  } else if (s.images[kStatePressed].loaded) {
    if (const uint32_t shell = ShellPressThread()) plat::postThreadMessage(shell, WM_SHELLPRESS, 1, 0);
    dc.copyFrom(client, *s.images[kStatePressed].bitmap.dc, plat::Point{0, 0});
    color = s.pressedColor;
    shift = s.pressOffset;
  }
  if (!s.hasText && !s.hasIndexText) return;
  dc.setBackgroundMode(plat::BackgroundMode::Transparent);
  dc.setTextColor(color);
  if (s.font) dc.selectFont(s.font);
  drawCaption(dc, s, client, shift);
}

void paintToggle(const plat::DrawItemRecord& rec, ButtonState& s, plat::DeviceContext& dc) {
  const plat::Rect client{0, 0, rec.rect.width(), rec.rect.height()};
  int pair = 0;
  if (rec.state & plat::draw_item_state::kSelected) pair = 1;
  else if (rec.state & plat::draw_item_state::kDisabled) pair = 2;
  const StateImage& setImage = s.images[2 * pair];
  const StateImage& clearImage = s.images[2 * pair + 1];
  if (!setImage.loaded || !clearImage.loaded) return;
  const StateImage& chosen = s.toggled ? setImage : clearImage;
  dc.copyFrom(client, *chosen.bitmap.dc, plat::Point{0, 0});
}

bool setTogglePair(plat::Window button, int pair, plat::StringView16 setPath, plat::StringView16 clearPath) {
  ButtonState* s = stateOf(button);
  if (!s || !s->toggle) return false;
  const bool replaced = !s->images[2 * pair].path.empty() || !s->images[2 * pair + 1].path.empty();
  loadInto(button, s->images[2 * pair], setPath);
  loadInto(button, s->images[2 * pair + 1], clearPath);
  if (replaced) redraw(button);
  return true;
}

bool isCharOne(char16_t c) { return (c >= 0x20 && c <= 0x7E) || (c >= 0xA1 && c <= 0xDF); }
bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
// Length in units of the character at i (2 for a surrogate pair).
size_t charLength(plat::StringView16 t, size_t i) {
  return isHighSurrogate(t[i]) && i + 1 < t.size() && isLowSurrogate(t[i + 1]) ? 2 : 1;
}

}  // namespace

plat::Window CreateSkinButton(plat::Window parent, int32_t controlId, const plat::Rect& rect,
                              std::optional<plat::StringView16> caption, plat::Window* returned, bool regionMode) {
  return createButton(parent, controlId, rect, caption, returned, regionMode, false);
}

plat::Window CreateSkinToggleButton(plat::Window parent, int32_t controlId, const plat::Rect& rect,
                                    plat::Window* returned) {
  return createButton(parent, controlId, rect, std::nullopt, returned, false, true);
}

bool SetSkinButtonImage(plat::Window button, int state, plat::StringView16 imagePath) {
  ButtonState* s = stateOf(button);
  if (!s || s->toggle || state < 0 || state >= kSkinButtonStates) return false;
  const bool replaced = !s->images[state].path.empty();
  loadInto(button, s->images[state], imagePath);
  if (replaced) redraw(button);
  if (s->regionMode) loadRegion(*s, state);
  return true;
}

bool SkinButtonHasImage(plat::Window button, int state) {
  ButtonState* s = stateOf(button);
  return s && state >= 0 && state < static_cast<int>(s->images.size()) && s->images[state].loaded;
}

bool SetSkinButtonText(plat::Window button, plat::StringView16 text) {
  ButtonState* s = stateOf(button);
  if (!s) return false;
  s->text.assign(text.substr(0, kMaxCaption));
  s->hasText = true;
  return true;
}

bool SetSkinButtonFont(plat::Window button, plat::FontPtr font) {
  ButtonState* s = stateOf(button);
  if (!s) return false;
  s->font = std::move(font);
  redraw(button);
  return true;
}

bool SetSkinButtonTextColors(plat::Window button, plat::ColorRef normal, plat::ColorRef pressed,
                             plat::ColorRef disabled) {
  ButtonState* s = stateOf(button);
  if (!s) return false;
  s->normalColor = normal;
  s->pressedColor = pressed;
  s->disabledColor = disabled;
  return true;
}

bool SetSkinButtonTextFormat(plat::Window button, uint32_t format) {
  ButtonState* s = stateOf(button);
  if (!s) return false;
  s->format = format;
  return true;
}

bool SetSkinButtonTextRect(plat::Window button, const plat::Rect& rect) {
  ButtonState* s = stateOf(button);
  if (!s) return false;
  s->textRect = rect;
  return true;
}

bool SetSkinButtonLineLimit(plat::Window button, int32_t widthUnits) {
  ButtonState* s = stateOf(button);
  if (!s) return false;
  s->lineLimit = std::max(0, widthUnits);
  return true;
}

bool SetSkinButtonIndexText(plat::Window button, plat::StringView16 text, const plat::Rect& rect) {
  ButtonState* s = stateOf(button);
  if (!s) return false;
  s->indexText.assign(text.substr(0, kMaxIndexText));
  s->indexRect = rect;
  s->hasIndexText = true;
  return true;
}

bool SetSkinButtonOffsets(plat::Window button, int32_t left, int32_t top) {
  ButtonState* s = stateOf(button);
  if (!s) return false;
  s->leftOffset = left;
  s->topOffset = top;
  return true;
}

bool SetSkinButtonPressOffset(plat::Window button, bool on) {
  ButtonState* s = stateOf(button);
  if (!s) return false;
  s->pressOffset = on;
  return true;
}

bool SetSkinButtonAutoRepeat(plat::Window button, int32_t repeatId, uint32_t firstIntervalMs,
                             uint32_t repeatIntervalMs) {
  ButtonState* s = stateOf(button);
  if (!s) return false;
  s->repeatId = repeatId;
  s->firstInterval = firstIntervalMs;
  s->repeatInterval = repeatIntervalMs;
  return true;
}

bool SetSkinButtonCallbacks(plat::Window button, ButtonCallback onPress, ButtonCallback onRelease) {
  ButtonState* s = stateOf(button);
  if (!s) return false;
  s->onPress = std::move(onPress);
  s->onRelease = std::move(onRelease);
  return true;
}

void DrawSkinButton(const plat::DrawItemRecord& record, plat::Window button) {
  ButtonState* s = stateOf(button);
  if (!s || record.controlType != plat::kDrawItemControlButton || !record.dc) return;
  MemoryBitmap off;
  if (!off.create(record.rect.size())) return;
  if (s->toggle) paintToggle(record, *s, *off.dc);
  else paintPush(record, *s, *off.dc);
  record.dc->copyFrom(record.rect, *off.dc, plat::Point{0, 0});
}

bool HandleSkinButtonDrawItem(plat::Window host, plat::LParam drawItemRecord) {
  const auto* rec = reinterpret_cast<const plat::DrawItemRecord*>(drawItemRecord);
  if (!rec) return false;
  const plat::Window child = plat::childById(host, rec->controlId);
  if (!child || !stateOf(child) || rec->controlType != plat::kDrawItemControlButton) return false;
  DrawSkinButton(*rec, child);
  return true;
}

int32_t CaptionWidthUnits(plat::StringView16 text) {
  int32_t units = 0;
  for (size_t i = 0; i < text.size(); i += charLength(text, i)) units += isCharOne(text[i]) ? 1 : 2;
  return units;
}

size_t CaptionFirstLineLength(plat::StringView16 text, int32_t limit) {
  int32_t total = 0;
  size_t i = 0, chars = 0;
  while (i < text.size() && chars < kMaxFirstLine) {
    total += isCharOne(text[i]) ? 1 : 2;
    if (total > limit) break;
    i += charLength(text, i);
    ++chars;
  }
  return i;
}

bool SetSkinToggleNormalImages(plat::Window button, plat::StringView16 setPath, plat::StringView16 clearPath) {
  return setTogglePair(button, 0, setPath, clearPath);
}
bool SetSkinTogglePressedImages(plat::Window button, plat::StringView16 setPath, plat::StringView16 clearPath) {
  return setTogglePair(button, 1, setPath, clearPath);
}
bool SetSkinToggleDisabledImages(plat::Window button, plat::StringView16 setPath, plat::StringView16 clearPath) {
  return setTogglePair(button, 2, setPath, clearPath);
}

bool SetSkinToggleState(plat::Window button, bool set) {
  ButtonState* s = stateOf(button);
  if (!s || !s->toggle) return false;
  s->toggled = set;
  redraw(button);
  return true;
}

bool SkinToggleState(plat::Window button) {
  ButtonState* s = stateOf(button);
  return s && s->toggle && s->toggled;
}

}  // namespace tunora::controls
