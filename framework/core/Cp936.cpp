#include "framework/core/Cp936.h"

bool IsCp936DoubleByte(const std::string& s, size_t i) {
    if (i >= s.size() || s.size() - i < 2) return false;
    const unsigned char lead = static_cast<unsigned char>(s[i]);
    const unsigned char trail = static_cast<unsigned char>(s[i + 1]);
    return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}
