// UTF-8 <-> UTF-16 conversion, ASCII case folding and bounded copies.
//
// Invalid UTF-8 is replaced the way the Unicode standard recommends: each
// maximal subpart of an ill-formed sequence (the longest prefix that could
// still have started a well-formed sequence) becomes one U+FFFD, and the byte
// that broke the sequence is examined again as a possible start.
#include "plat/text.h"

#include <cstdarg>
#include <cstdio>

namespace plat {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

void appendUtf16(String16& out, char32_t cp) {
  if (cp < 0x10000) {
    out.push_back(static_cast<char16_t>(cp));
  } else {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  }
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Decodes one code point at utf8[pos]; advances pos past it, or past the
// maximal invalid subpart (returning U+FFFD).
char32_t decodeUtf8(std::string_view utf8, size_t& pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(utf8[i]); };
  const unsigned lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  int continuations;
  unsigned secondLow = 0x80, secondHigh = 0xBF;  // allowed range of the second byte
  char32_t cp;
  if (lead >= 0xC2 && lead <= 0xDF) {
    continuations = 1;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    continuations = 2;
    cp = lead & 0x0F;
    if (lead == 0xE0) secondLow = 0xA0;   // excludes overlong forms
    if (lead == 0xED) secondHigh = 0x9F;  // excludes surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    continuations = 3;
    cp = lead & 0x07;
    if (lead == 0xF0) secondLow = 0x90;   // excludes overlong forms
    if (lead == 0xF4) secondHigh = 0x8F;  // excludes values above U+10FFFF
  } else {
    // A stray continuation byte, an overlong lead (C0, C1) or F5..FF.
    ++pos;
    return kReplacement;
  }
  size_t i = pos + 1;
  for (int k = 0; k < continuations; ++k, ++i) {
    const unsigned low = (k == 0) ? secondLow : 0x80u;
    const unsigned high = (k == 0) ? secondHigh : 0xBFu;
    if (i >= utf8.size() || byte(i) < low || byte(i) > high) {
      pos = i;  // the maximal subpart ends before the offending byte
      return kReplacement;
    }
    cp = (cp << 6) | (byte(i) & 0x3F);
  }
  pos = i;
  return cp;
}

template <typename Char>
Char foldAscii(Char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<Char>(c - 'A' + 'a') : c;
}

template <typename Unit, typename View>
int compareFolded(View a, View b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const Unit x = foldAscii(static_cast<Unit>(a[i]));
    const Unit y = foldAscii(static_cast<Unit>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace

String16 utf8ToUtf16(std::string_view utf8) {
  String16 out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) appendUtf16(out, decodeUtf8(utf8, pos));
  return out;
}

std::string utf16ToUtf8(StringView16 utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    const char16_t u = utf16[i];
    if (isHighSurrogate(u) && i + 1 < utf16.size() && isLowSurrogate(utf16[i + 1])) {
      appendUtf8(out, 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (utf16[i + 1] - 0xDC00));
      ++i;
    } else if (isHighSurrogate(u) || isLowSurrogate(u)) {
      appendUtf8(out, kReplacement);
    } else {
      appendUtf8(out, u);
    }
  }
  return out;
}

int compareNoCase(std::string_view a, std::string_view b) { return compareFolded<unsigned char>(a, b); }
int compareNoCase(StringView16 a, StringView16 b) { return compareFolded<char16_t>(a, b); }
bool equalsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && compareNoCase(a, b) == 0;
}
bool equalsNoCase(StringView16 a, StringView16 b) {
  return a.size() == b.size() && compareNoCase(a, b) == 0;
}

std::string toLowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = foldAscii(c);
  return out;
}

String16 toLowerAscii(StringView16 s) {
  String16 out(s);
  for (char16_t& c : out) c = foldAscii(c);
  return out;
}

size_t copyBounded(char16_t* dst, size_t capacity, StringView16 src) {
  if (dst == nullptr || capacity == 0) return 0;
  size_t n = src.size() < capacity - 1 ? src.size() : capacity - 1;
  // Cutting between a high and a low surrogate would leave half a character.
  if (n > 0 && n < src.size() && isHighSurrogate(src[n - 1]) && isLowSurrogate(src[n])) --n;
  for (size_t i = 0; i < n; ++i) dst[i] = src[i];
  dst[n] = u'\0';
  return n;
}

size_t copyBounded(char* dst, size_t capacity, std::string_view src) {
  if (dst == nullptr || capacity == 0) return 0;
  size_t n = src.size() < capacity - 1 ? src.size() : capacity - 1;
  // Likewise never cut a UTF-8 sequence: when the first byte left out is a
  // continuation byte, back up to the start of its character (at most three
  // bytes, the longest a well-formed sequence can need).
  if (n < src.size()) {
    const auto isContinuation = [&](size_t i) { return (static_cast<unsigned char>(src[i]) & 0xC0) == 0x80; };
    size_t start = n;
    while (start > 0 && n - start < 3 && isContinuation(start)) --start;
    const unsigned lead = static_cast<unsigned char>(src[start]);
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (start + length > n) n = start;
  }
  for (size_t i = 0; i < n; ++i) dst[i] = src[i];
  dst[n] = '\0';
  return n;
}

size_t boundedLength(const char16_t* s, size_t capacity) {
  if (s == nullptr) return 0;
  size_t n = 0;
  while (n < capacity && s[n] != u'\0') ++n;
  return n;
}

std::string formatStringV(const char* fmt, va_list args) {
  va_list again;
  va_copy(again, args);
  const int needed = std::vsnprintf(nullptr, 0, fmt, args);
  std::string out;
  if (needed > 0) {
    out.resize(static_cast<size_t>(needed));
    std::vsnprintf(out.data(), out.size() + 1, fmt, again);
  }
  va_end(again);
  return out;
}

std::string formatString(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string out = formatStringV(fmt, args);
  va_end(args);
  return out;
}

}  // namespace plat
