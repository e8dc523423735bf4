// The one header the viewer includes for the platform. On Windows it brings in
// the real API; elsewhere it declares our own narrow layer, which implements
// only the calls the viewer makes, with the effects it relies on.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX  // keep std::min and std::max usable
#endif
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include "windows/cp932_text.h"
#include "windows/monitor_font.h"
#include "windows/wide_paths.h"
#else
#include "linux/user.h"
#endif
