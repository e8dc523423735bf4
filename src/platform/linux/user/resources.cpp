// Lookup in the table of resources the build embeds.
#include "resources.h"

#include "resource_table.h"

namespace {

HINSTANCE__ programModule{"rastelle"};

}  // namespace

HMODULE GetModuleHandleA(LPCSTR name) { return name == nullptr ? &programModule : nullptr; }

std::optional<WORD> IntegerResourceId(LPCSTR name) {
  const auto value = reinterpret_cast<UINT_PTR>(name);
  if (value > 0xFFFF) return std::nullopt;
  return static_cast<WORD>(value);
}

std::optional<Bytes> FindEmbeddedResource(WORD type, WORD id, std::optional<WORD> language) {
  for (std::size_t i = 0; i < kEmbeddedResourceCount; ++i) {
    const EmbeddedResource& entry = kEmbeddedResources[i];
    if (entry.type == type && entry.name == id && (!language || entry.language == *language))
      return Bytes(entry.data, entry.size);
  }
  return std::nullopt;
}
