// The resources compiled from the resource script, as the build embeds them.
#pragma once

#include <cstddef>
#include <cstdint>

struct EmbeddedResource {
  std::uint16_t type;
  std::uint16_t name;
  std::uint16_t language;
  const unsigned char* data;
  std::size_t size;
};

extern const EmbeddedResource kEmbeddedResources[];
extern const std::size_t kEmbeddedResourceCount;
