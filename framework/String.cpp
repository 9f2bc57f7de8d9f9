#include "framework/String.h"

#include <cstdarg>
#include <cstdio>

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    m_text.assign(length > 0 ? length : 0, '\0');
    if (length > 0) std::vsnprintf(&m_text[0], length + 1, format, args);
    va_end(args);
}
