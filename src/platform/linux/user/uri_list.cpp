// The URIs of a drop as paths. A file manager sends a local file as
// file:///path, some as file://localhost/path or file://HOST/path with this
// machine's name; bytes that are not letters, digits or a few marks are
// percent-encoded.
#include "uri_list.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsThisMachine(std::string_view host) {
  if (host.empty() || SameIgnoringCase(host, "localhost")) return true;
  char name[HOST_NAME_MAX + 1] = {};
  return gethostname(name, sizeof name - 1) == 0 && SameIgnoringCase(host, name);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "%XX" becomes the byte XX; a '%' that two hex digits do not follow stays.
// A NUL would end the path early and name another file: none.
std::string Decoded(std::string_view encoded) {
  std::string path;
  for (std::size_t i = 0; i < encoded.size(); ++i) {
    const int high = i + 2 < encoded.size() && encoded[i] == '%' ? HexValue(encoded[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(encoded[i + 2]) : -1;
    if (low < 0) {
      path += encoded[i];
      continue;
    }
    if (high == 0 && low == 0) return {};
    path += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return path;
}

// The local path a URI names, or empty.
std::string PathOf(std::string_view uri) {
  constexpr std::string_view kScheme = "file:";
  if (uri.size() < kScheme.size() || !SameIgnoringCase(uri.substr(0, kScheme.size()), kScheme)) return {};
  std::string_view rest = uri.substr(kScheme.size());
  if (rest.starts_with("//")) {
    rest.remove_prefix(2);
    const std::size_t slash = rest.find('/');
    if (slash == std::string_view::npos || !IsThisMachine(rest.substr(0, slash))) return {};
    rest.remove_prefix(slash);
  }
  if (!rest.starts_with('/')) return {};
  return Decoded(rest);
}

}  // namespace

std::vector<std::string> PathsOfUriList(std::string_view list) {
  std::vector<std::string> paths;
  while (!list.empty()) {
    const std::size_t end = list.find('\n');
    std::string_view line = list.substr(0, end);
    list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || line.starts_with('#')) continue;
    paths.push_back(PathOf(line));
  }
  return paths;
}
