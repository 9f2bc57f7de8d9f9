// Millisecond ticks of the system's 32-bit tick count, which wraps to 0 after 49.7 days.
#pragma once

#include <cstdint>

// Milliseconds from `start` to `now`, right across a wrap, for spans shorter than 49.7 days.
inline std::uint32_t TicksSince(std::uint32_t start, std::uint32_t now) {
    return now - start; // unsigned arithmetic is modulo 2^32, exactly like the tick count
}
