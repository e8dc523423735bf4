// The files of one drop, as the desktop named them.
#include "drop.h"

#include <algorithm>
#include <cstring>

UINT DragQueryFileA(HDROP drop, UINT index, LPSTR path, UINT size) {
  if (drop == nullptr) return 0;
  if (index == 0xFFFFFFFF) return static_cast<UINT>(drop->paths.size());
  if (index >= drop->paths.size()) return 0;
  const std::string& file = drop->paths[index];
  if (path == nullptr) return static_cast<UINT>(file.size());
  if (size == 0) return 0;
  const std::size_t count = std::min<std::size_t>(file.size(), size - 1);
  std::memcpy(path, file.data(), count);
  path[count] = '\0';
  return static_cast<UINT>(count);
}

void DragFinish(HDROP drop) { delete drop; }
