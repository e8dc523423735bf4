// Starting the window system.
#pragma once

#include <string>

// Starts SDL's video once and makes the window part reachable from the drawing
// part. False when there is no display to open.
bool StartVideo();

// Why the last start found no display to open, for the user; empty when the
// video started or was never asked to.
const std::string& NoDisplayReason();

// A window that cannot be shown although a display was opened: it could not
// be made, or its pixels cannot reach the screen. The reason is kept for the
// entry to report and the message loop is asked to end (WM_QUIT with 1), so
// that the process never waits for a window nobody can see. The first reason
// stands.
void CannotShowWindow(const std::string& reason);
const std::string& CannotShowReason();
