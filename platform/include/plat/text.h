// Text helpers. Interfaces and windows use UTF-16 (char16_t); files, settings
// paths and keys use UTF-8. Conversions never fail: invalid input (bad UTF-8
// sequences, overlong forms, surrogates encoded in UTF-8, lone UTF-16
// surrogates) becomes U+FFFD, one replacement per maximal invalid subpart.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

namespace plat {

using String16 = std::u16string;
using StringView16 = std::u16string_view;

// Text buffers hold this many characters (including the terminator) unless
// told otherwise.
inline constexpr size_t kMaxPath = 260;

String16 utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(StringView16 utf16);

// ASCII-only case folding: 'A'..'Z' compare equal to 'a'..'z'; every other
// code unit compares by value. Result <0, 0, >0 like strcmp.
int compareNoCase(std::string_view a, std::string_view b);
int compareNoCase(StringView16 a, StringView16 b);
bool equalsNoCase(std::string_view a, std::string_view b);
bool equalsNoCase(StringView16 a, StringView16 b);
std::string toLowerAscii(std::string_view s);
String16 toLowerAscii(StringView16 s);

// Copies at most capacity-1 code units of src into dst and always writes the
// terminator (when capacity > 0). A UTF-16 surrogate pair is never split: a
// high surrogate that would be the last unit copied is dropped. Returns the
// number of units copied (without the terminator).
size_t copyBounded(char16_t* dst, size_t capacity, StringView16 src);
size_t copyBounded(char* dst, size_t capacity, std::string_view src);

// Length of a terminated UTF-16 buffer, reading at most capacity units.
size_t boundedLength(const char16_t* s, size_t capacity);

// Formats like snprintf into a std::string (for diagnostics).
std::string formatString(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string formatStringV(const char* fmt, va_list args) __attribute__((format(printf, 1, 0)));

}  // namespace plat
