// Starting the window system.
#pragma once

#include <string>

// Starts SDL's video once and makes the window part reachable from the drawing
// part. False when there is no display to open.
bool StartVideo();

// Why the last start found no display to open, for the user; empty when the
// video started or was never asked to.
const std::string& NoDisplayReason();
