// The program's resources, compiled from the resource script and embedded by
// the build, found by type, integer id and language.
#pragma once

#include <optional>

#include "../../little_endian.h"
#include "../user.h"

struct HINSTANCE__ {
  const char* name;
};

// The integer id a MAKEINTRESOURCEA value carries; nothing for a name.
std::optional<WORD> IntegerResourceId(LPCSTR name);

// The bytes of the resource of this type and id, in the given language or,
// without one, the first there is; nothing when there is none.
std::optional<Bytes> FindEmbeddedResource(WORD type, WORD id, std::optional<WORD> language = std::nullopt);
