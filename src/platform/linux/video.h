// Starting the window system.
#pragma once

// Starts SDL's video once and makes the window part reachable from the drawing
// part. False when there is no display to open.
bool StartVideo();
