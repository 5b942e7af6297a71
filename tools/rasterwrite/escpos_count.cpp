#include "escpos_count.h"

#include <cstdio>

namespace zelp {

namespace {

std::string Hex(uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", b);
    return text;
}

}  // namespace

bool CountEscpos(const std::string& bytes, EscposCounts* counts, std::string* error) {
    *counts = EscposCounts{};
    const size_t n = bytes.size();
    auto at = [&](size_t i) -> int { return i < n ? static_cast<uint8_t>(bytes[i]) : -1; };
    size_t i = 0;
    while (i < n) {
        const int b = at(i);
        uint64_t len = 0;
        std::string bad;
        switch (b) {
        case 0x0C:  // FF
        case 0x0E:  // the single control byte before or instead of a cut
            len = 1;
            break;
        case 0x1B:  // ESC
            switch (at(i + 1)) {
            case '@': len = 2; ++counts->inits; break;
            case 'd': len = 3; break;
            case 'i': case 'm': len = 2; ++counts->cuts; break;
            case 'B': len = 4; break;
            case 'p': len = 5; break;
            default: bad = "ESC " + Hex(uint8_t(at(i + 1))); break;
            }
            break;
        case 0x1C:  // FS p n m: stored logo
            if (at(i + 1) == 'p') len = 4;
            else bad = "FS " + Hex(uint8_t(at(i + 1)));
            break;
        case 0x1D:  // GS
            if (at(i + 1) == '(' && at(i + 3) >= 0 && at(i + 4) >= 0) {
                len = 5 + uint64_t(at(i + 3)) + 256 * uint64_t(at(i + 4));
            } else if (at(i + 1) == 'v' && at(i + 2) == '0' && at(i + 7) >= 0) {
                const uint64_t x = uint64_t(at(i + 4)) + 256 * uint64_t(at(i + 5));
                const uint64_t y = uint64_t(at(i + 6)) + 256 * uint64_t(at(i + 7));
                len = 8 + x * y;
                ++counts->bands;
                counts->rasterRows += y;
                counts->rasterBytes += x * y;
            } else if (i + 8 > n) {
                len = 8;  // reported below as cut off
            } else {
                bad = "GS " + Hex(uint8_t(at(i + 1)));
            }
            break;
        case 0x1F:  // the vendor black-mark family: 1F 1B 1F k 04 05 06 ...
            if (at(i + 1) == 0x1B && at(i + 2) == 0x1F && at(i + 4) == 0x04 &&
                at(i + 5) == 0x05 && at(i + 6) == 0x06) {
                if (at(i + 3) == 0x80) len = 8;
                else if (at(i + 3) == 0x81 || at(i + 3) == 0x82) len = 9;
                else bad = "black-mark command " + Hex(uint8_t(at(i + 3)));
            } else if (i + 7 > n) {
                len = 7;
            } else {
                bad = "byte 0x1F not starting a black-mark command";
            }
            break;
        default:
            bad = "byte " + Hex(uint8_t(b));
            break;
        }
        if (!bad.empty()) {
            if (error != nullptr) *error = "unknown command at offset " + std::to_string(i) + ": " + bad;
            return false;
        }
        if (len > n - i) {
            if (error != nullptr)
                *error = "command at offset " + std::to_string(i) + " runs past the end";
            return false;
        }
        ++counts->commands;
        i += size_t(len);
    }
    return true;
}

}  // namespace zelp
