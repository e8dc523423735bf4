// SDL's events, turned into the messages they stand for.
#pragma once

// Translates every event that is waiting; nothing before the video starts.
void PumpEvents();

// Waits for the next event and translates it, or, given a timeout of 0 or
// more, at most that many milliseconds. False when no event can ever come.
bool WaitForEvent(int timeoutMs);
