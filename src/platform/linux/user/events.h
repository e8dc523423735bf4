// SDL's events, turned into the messages they stand for.
#pragma once

// Translates every event that is waiting; nothing before the video starts.
void PumpEvents();

// Waits for the next event and translates it. False when none can ever come.
bool WaitForEvent();
