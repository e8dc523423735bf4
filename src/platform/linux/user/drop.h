// What a drop handle holds. Internal to the layer and its tests.
#pragma once

#include <string>
#include <vector>

#include "../user.h"

struct HDROP__ {
  std::vector<std::string> paths;  // the desktop's bytes, unchanged
};
