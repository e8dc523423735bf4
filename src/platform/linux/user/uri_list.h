// What a drop's URI list names. Internal to the layer and its tests.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The paths of the URIs of a text/uri-list, one for each URI in order: a
// file: URI whose host is empty, "localhost" or this machine's name is a
// local path, percent-decoded byte for byte; any other URI (http:, smb:,
// another machine's file, a path with a NUL) is no file the viewer can open,
// and stands as an empty path, which no load opens. Lines that begin with
// '#' are comments; blank lines name nothing.
std::vector<std::string> PathsOfUriList(std::string_view list);
