#include "live/Watchdog.h"

bool IsRestartTick(int deadTicks) {
    if (deadTicks <= 0) return false;
    if (deadTicks % 32 == 0) return true;
    return deadTicks <= 16 && (deadTicks & (deadTicks - 1)) == 0;
}
