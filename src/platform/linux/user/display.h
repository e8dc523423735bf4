// The window system the window part stands on (window_system.h), connected on
// first use; why there is none, or why a window cannot be shown.
#pragma once

#include <cstdint>
#include <string>

#include "window_system.h"

// The connected window system; null when there is no display to open, and
// NoDisplayReason then says why. It connects once: a process that found no
// display finds none later.
WindowSystem* TheWindowSystem();
const std::string& NoDisplayReason();

// Why a window could not be shown (CannotShowWindow, window_events.h); empty
// while nothing went wrong.
const std::string& CannotShowReason();

// Milliseconds on the window system's clock, which only moves forward: the
// messages' times, and how long a window's size has been still.
std::int64_t NowMs();
