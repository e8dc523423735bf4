// The window part's clock as the tests link it: it moves only when a test
// moves it (window_driver.h: AdvanceClock), so that what depends on time
// happens in the same order on any machine.
#include "platform/linux/user/clock.h"
#include "window_driver.h"

namespace {

std::int64_t now = 0;

}  // namespace

std::int64_t NowMs() { return now; }

void AdvanceClock(int milliseconds) { now += milliseconds; }
