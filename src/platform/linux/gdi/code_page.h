// Conversions between the system's ANSI code page (932) and the encodings of
// the desktop (UTF-8) and of resources (UTF-16).
#pragma once

#include <string>
#include <string_view>

// Bytes that are not code page 932 become U+FFFD, one for each such byte.
std::string Utf8FromCp932(std::string_view cp932);
// Characters that code page 932 lacks become '?'.
std::string Cp932FromUtf16(std::u16string_view utf16);
