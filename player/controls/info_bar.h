// The text label (class "InformationBar1.0") and the empty placeholder panel
// (class "PlenRichList0.1"). The label's text is its window text; it draws
// over a background bitmap built from a skin image or from the parent's
// pixels under it.
#pragma once
#include <cstdint>

#include "app/skin/skin_document.h"
#include "plat/gfx/dc.h"
#include "plat/gfx/image.h"
#include "plat/window.h"

namespace tunora::controls {

inline constexpr char16_t kInfoBarClass[] = u"InformationBar1.0";
inline constexpr char16_t kPlaceholderClass[] = u"PlenRichList0.1";

// Label messages.
inline constexpr uint32_t kMsgLabelSetFont = 0x5F4;        // lParam: const plat::FontPtr*
inline constexpr uint32_t kMsgLabelSetColor = 0x5F5;       // lParam: colour
inline constexpr uint32_t kMsgLabelSetFormat = 0x5F6;      // lParam: text-format flags
inline constexpr uint32_t kMsgLabelSetImage = 0x5F8;       // wParam 0 background / 1 overlay; lParam: const plat::ImagePtr*
inline constexpr uint32_t kMsgLabelSetTextRect = 0x5FA;    // lParam: const plat::Rect*
inline constexpr uint32_t kMsgLabelCopyBackground = 0x5FB; // lParam: the parent's plat::DeviceContext*

inline constexpr plat::ColorRef kDefaultLabelColor = 0x0000FF;  // pure red as a colour value

plat::Window CreateInformationBar(plat::Window parent, const plat::Rect& rect, int32_t controlId,
                                  const skin::SkinDocument* skin);
// The skin the label was given last and whether a skin change reached it.
const skin::SkinDocument* InformationBarSkin(plat::Window label, bool* skinChanged = nullptr);

plat::Window CreatePlaceholderPanel(plat::Window parent, int32_t x, int32_t y, int32_t width, int32_t height);

}  // namespace tunora::controls
