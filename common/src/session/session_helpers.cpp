// Setting-id table, time conversion and source-name helpers of the session.
#include <array>

#include "vexo/player_session.h"

namespace vexo {

namespace {

constexpr std::array<const char*, kSessionSettingCount> kSettingPaths = {
    "",                                // 0: no setting
    "/Setting/Video/DisplayMode",      // 1
    "/Setting/Video/InterlaceMode",    // 2
    "/Setting/Video/Contrast",         // 3 percent
    "/Setting/Video/Brightness",       // 4 percent
    "/Setting/Video/Hue",              // 5
    "/Setting/Video/Saturation",       // 6 percent
    "/Setting/Video/Gamma",            // 7
    "/Setting/Audio/EQMode",           // 8
    "/Setting/Audio/ChannelMode",      // 9
    "/Setting/Volume",                 // 10
    "/Setting/Mute",                   // 11
    "/Setting/General/SyncTime",       // 12
    "/Setting/ChannelCachePath",       // 13 string
    "/Setting/PVR/Path",               // 14 string
    "/Setting/PVR/FileLimitSize",      // 15
    "/Setting/PVR/DiskLimitSize",      // 16
    "/Setting/PVR/EncryptionMode",     // 17
    "/Setting/SnapShot/Path",          // 18 string
    "/Setting/ParentControl/Age",      // 19
    "/Setting/ParentControl/Content",  // 20
    "/Setting/TimeShifting/Path",      // 21 string
    "/Setting/TimeShifting/BufferSize",// 22
    "",                                // 23: engine only
};

bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool isAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// XML 1.0 NameStartChar, for one UTF-16 unit (surrogates stand for the
// supplementary planes, which are allowed up to U+EFFFF).
bool isNameStart(char16_t c) {
  if (isAsciiLetter(c) || c == u'_') return true;
  if (c < 0xC0) return false;
  return (c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) || (c >= 0x370 && c <= 0x37D) ||
         (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) || (c >= 0x2070 && c <= 0x218F) ||
         (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) || (c >= 0xF900 && c <= 0xFDCF) ||
         (c >= 0xFDF0 && c <= 0xFFFD);
}

bool isNameChar(char16_t c) {
  if (isNameStart(c) || isAsciiDigit(c) || c == u'-' || c == u'.' || c == 0xB7) return true;
  return (c >= 0x300 && c <= 0x36F) || (c >= 0x203F && c <= 0x2040);
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

const char* sessionSettingPath(uint32_t id) { return id < kSettingPaths.size() ? kSettingPaths[id] : nullptr; }

uint32_t timeToMs(const ZantTime& t) {
  return ((static_cast<uint32_t>(t.hour) * 3600u + t.minute * 60u + t.second) * 1000u) + t.milliseconds;
}

ZantTime msToTime(uint32_t ms) {
  ZantTime t{};
  t.year = 0;
  t.month = 0;
  t.dayOfWeek = 0;
  t.day = 0;
  t.hour = static_cast<uint16_t>(ms / 3600000u);
  t.minute = static_cast<uint16_t>(ms / 60000u % 60u);
  t.second = static_cast<uint16_t>(ms / 1000u % 60u);
  t.milliseconds = static_cast<uint16_t>(ms % 1000u);
  return t;
}

plat::String16 pathSafeSourceName(plat::StringView16 name) {
  plat::String16 out(name);
  for (char16_t& c : out) {
    switch (c) {
      case u'"': case u'*': case u'/': case u':': case u'<': case u'>':
      case u'?': case u'[': case u'\\': case u']': case u'|': case u' ':
        c = u'_';
        break;
      default:
        break;
    }
  }
  return out;
}

std::string xmlSafeSourceName(plat::StringView16 name) {
  plat::String16 out;
  out.reserve(name.size() + 1);
  for (size_t i = 0; i < name.size(); ++i) {
    char16_t c = name[i];
    if (isHighSurrogate(c) && i + 1 < name.size() && isLowSurrogate(name[i + 1])) {
      // U+10000..U+EFFFF are name characters; the planes above are not.
      if (c <= 0xDB7F) {
        out.push_back(c);
        out.push_back(name[i + 1]);
      } else {
        out.push_back(u'_');
      }
      ++i;
      continue;
    }
    if (isHighSurrogate(c) || isLowSurrogate(c) || !isNameChar(c)) c = u'_';
    out.push_back(c);
  }
  if (!out.empty() && !isNameStart(out[0]) && !isHighSurrogate(out[0])) out.insert(out.begin(), u'_');
  return plat::utf16ToUtf8(out);
}

}  // namespace vexo
