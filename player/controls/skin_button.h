// The skinned push button: the stock "BUTTON" window, subclassed and owner
// drawn from four state images (0 normal, 1 highlight, 2 pressed,
// 3 disabled) pre-stretched to its size, with an optional ".rgn" shape, a
// caption (optionally split into two lines) and an index text, two-timer
// auto-repeat, press and release callbacks. SkinToggleButton is the two-state
// variant drawn from image pairs. Hosts handle kMsgDrawItem by passing the
// record of a button child to DrawSkinButton.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>

#include "plat/button.h"
#include "plat/gfx/dc.h"
#include "plat/text.h"
#include "plat/window.h"

namespace tunora::controls {

inline constexpr int kSkinButtonStates = 4;
inline constexpr int kStateNormal = 0, kStateHighlight = 1, kStatePressed = 2, kStateDisabled = 3;
inline constexpr size_t kMaxCaption = 259;
inline constexpr size_t kMaxIndexText = 127;
// Timer ids of the two auto-repeat phases.
inline constexpr uintptr_t kRepeatFirstTimer = 1;
inline constexpr uintptr_t kRepeatSecondTimer = 2;
// First-phase ticks before the repeats start.
inline constexpr uint32_t kRepeatTicksBeforeRepeat = 10;

inline constexpr plat::ColorRef kDefaultTextColor = 0x000000;
inline constexpr plat::ColorRef kDefaultPressedTextColor = plat::makeColorRef(0x30, 0x48, 0x60);
inline constexpr plat::ColorRef kDefaultDisabledTextColor = plat::makeColorRef(0xCC, 0xCC, 0xCC);
inline constexpr uint32_t kDefaultButtonTextFormat = plat::text_format::kCenter | plat::text_format::kVCenter |
                                                     plat::text_format::kSingleLine |
                                                     plat::text_format::kNoPrefix | plat::text_format::kEndEllipsis;

using ButtonCallback = std::function<void(int32_t controlId)>;

// Creates the button (child, visible, push-like, owner drawn) at `rect` in
// parent coordinates. *returned, when given, receives the window. In region
// mode every state image brings its ".rgn" file and the normal one shapes
// the window. A null window when creation failed.
plat::Window CreateSkinButton(plat::Window parent, int32_t controlId, const plat::Rect& rect,
                              std::optional<plat::StringView16> caption = std::nullopt,
                              plat::Window* returned = nullptr, bool regionMode = false);

// Loads the image of a state (0..3) from a device path and pre-stretches it.
// An empty path, or a path that names no file, leaves the state without an
// image (it then draws nothing). False for a bad state or window.
bool SetSkinButtonImage(plat::Window button, int state, plat::StringView16 imagePath);
// Whether a state has an image now.
bool SkinButtonHasImage(plat::Window button, int state);

bool SetSkinButtonText(plat::Window button, plat::StringView16 text);  // no redraw
bool SetSkinButtonFont(plat::Window button, plat::FontPtr font);       // redraws
bool SetSkinButtonTextColors(plat::Window button, plat::ColorRef normal, plat::ColorRef pressed,
                             plat::ColorRef disabled);
bool SetSkinButtonTextFormat(plat::Window button, uint32_t format);
bool SetSkinButtonTextRect(plat::Window button, const plat::Rect& rect);
bool SetSkinButtonLineLimit(plat::Window button, int32_t widthUnits);
bool SetSkinButtonIndexText(plat::Window button, plat::StringView16 text, const plat::Rect& rect);
bool SetSkinButtonOffsets(plat::Window button, int32_t left, int32_t top);
bool SetSkinButtonPressOffset(plat::Window button, bool on);
// The button repeats while held when repeatId equals its control id:
// after kRepeatTicksBeforeRepeat first-phase ticks, one kMsgCommand to the
// parent every repeat interval.
bool SetSkinButtonAutoRepeat(plat::Window button, int32_t repeatId, uint32_t firstIntervalMs,
                             uint32_t repeatIntervalMs);
bool SetSkinButtonCallbacks(plat::Window button, ButtonCallback onPress, ButtonCallback onRelease);

// The painter for kMsgDrawItem of a skinned button or toggle button. Does
// nothing when `button` is not one or the record is not a button record.
void DrawSkinButton(const plat::DrawItemRecord& record, plat::Window button);
// What a host's kMsgDrawItem handler does: find the child by the record's
// control id and paint it. True when it was a skinned button.
bool HandleSkinButtonDrawItem(plat::Window host, plat::LParam drawItemRecord);

// Width units of a caption: U+0020..U+007E and U+00A1..U+00DF count 1, any
// other character 2 (a surrogate pair is one character).
int32_t CaptionWidthUnits(plat::StringView16 text);
// Characters (UTF-16 units) on the first line of a two-line caption: those
// before the first whose addition makes the total exceed the limit, at most
// 63, never splitting a surrogate pair.
size_t CaptionFirstLineLength(plat::StringView16 text, int32_t limit);

// The two-state variant.
plat::Window CreateSkinToggleButton(plat::Window parent, int32_t controlId, const plat::Rect& rect,
                                    plat::Window* returned = nullptr);
// Each setter loads the pair's image for the set state and for the clear
// state; a pair is drawn only when both are set.
bool SetSkinToggleNormalImages(plat::Window button, plat::StringView16 setPath, plat::StringView16 clearPath);
bool SetSkinTogglePressedImages(plat::Window button, plat::StringView16 setPath, plat::StringView16 clearPath);
bool SetSkinToggleDisabledImages(plat::Window button, plat::StringView16 setPath, plat::StringView16 clearPath);
bool SetSkinToggleState(plat::Window button, bool set);  // redraws
bool SkinToggleState(plat::Window button);

}  // namespace tunora::controls
