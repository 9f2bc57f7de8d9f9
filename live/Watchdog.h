// When to restart an encoder that keeps dying: quickly at first, then every 32 ticks.
#pragma once

// True for 1, 2, 4, 8, 16 and every positive multiple of 32 ticks since the encoder died.
bool IsRestartTick(int deadTicks);
