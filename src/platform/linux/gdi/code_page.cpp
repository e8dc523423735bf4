// Code page conversions through iconv.
#include "code_page.h"

#include <iconv.h>

#include <cerrno>

namespace {

// Converts with iconv, replacing every input unit it cannot convert (of
// unitSize bytes) with the replacement and going on after it.
std::string Convert(const char* to, const char* from, std::string_view in, std::size_t unitSize,
                    std::string_view replacement) {
  std::string out;
  iconv_t converter = iconv_open(to, from);
  if (converter == reinterpret_cast<iconv_t>(-1)) return out;
  char* source = const_cast<char*>(in.data());
  std::size_t left = in.size();
  char buffer[256];
  while (left > 0) {
    char* target = buffer;
    std::size_t room = sizeof buffer;
    const std::size_t result = iconv(converter, &source, &left, &target, &room);
    out.append(buffer, static_cast<std::size_t>(target - buffer));
    if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // An invalid or incomplete sequence: replace one unit and go on.
      out += replacement;
      const std::size_t skip = left < unitSize ? left : unitSize;
      source += skip;
      left -= skip;
      iconv(converter, nullptr, nullptr, nullptr, nullptr);
    }
  }
  char* target = buffer;
  std::size_t room = sizeof buffer;
  iconv(converter, nullptr, nullptr, &target, &room);
  out.append(buffer, static_cast<std::size_t>(target - buffer));
  iconv_close(converter);
  return out;
}

}  // namespace

std::string Utf8FromCp932(std::string_view cp932) {
  return Convert("UTF-8", "CP932", cp932, 1, "\xEF\xBF\xBD");
}

std::string Cp932FromUtf16(std::u16string_view utf16) {
  const std::string_view bytes(reinterpret_cast<const char*>(utf16.data()), utf16.size() * 2);
  return Convert("CP932", "UTF-16LE", bytes, 2, "?");
}
