// A count given to a tool on its command line, as "--name=N".
#pragma once

#include <cstdlib>
#include <cstring>

// True, with `*count` set, when `argument` is `name` followed by a whole number of at least
// `minimum`.
inline bool ParseCount(const char* argument, const char* name, long minimum, int* count) {
    const size_t length = std::strlen(name);
    if (std::strncmp(argument, name, length) != 0) return false;
    char* end = nullptr;
    const long value = std::strtol(argument + length, &end, 10);
    if (*end || value < minimum || end == argument + length) return false;
    *count = static_cast<int>(value);
    return true;
}
