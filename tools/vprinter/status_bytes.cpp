// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "status_bytes.h"

#include <cstddef>

namespace zelp::vprinter {

namespace {

// One status bit (or pair of bits that always go together) and the state
// that sets it.
struct Bit {
    bool StatusState::*flag;
    uint8_t value;
};

constexpr uint8_t kRealtimeFixed = 0x12;  // bits 1 and 4
constexpr uint8_t kAsbFirstFixed = 0x10;  // bit 4

constexpr Bit kPrinter[] = {{&StatusState::drawerHigh, 0x04}, {&StatusState::offline, 0x08}};
constexpr Bit kOfflineCause[] = {{&StatusState::coverOpen, 0x04},
                                 {&StatusState::feeding, 0x08},
                                 {&StatusState::paperEndStop, 0x20},
                                 {&StatusState::error, 0x40}};
constexpr Bit kErrorCause[] = {{&StatusState::mechanicalError, 0x04},
                               {&StatusState::cutterError, 0x08},
                               {&StatusState::unrecoverableError, 0x20},
                               {&StatusState::autoRecoverableError, 0x40}};
constexpr Bit kRollSensor[] = {{&StatusState::nearEnd, 0x0C}, {&StatusState::paperOut, 0x60}};

constexpr Bit kAsbFirst[] = {{&StatusState::drawerHigh, 0x04},
                             {&StatusState::offline, 0x08},
                             {&StatusState::coverOpen, 0x20},
                             {&StatusState::feeding, 0x40}};
// The second ASB byte has the error cause bits of DLE EOT 3.
constexpr Bit kPaperSensor[] = {{&StatusState::nearEnd, 0x03}, {&StatusState::paperOut, 0x0C}};
constexpr Bit kDrawer[] = {{&StatusState::drawerHigh, 0x01}};

template <size_t N>
uint8_t Compose(uint8_t fixed, const Bit (&bits)[N], const StatusState& state) {
    uint8_t byte = fixed;
    for (const Bit& bit : bits) {
        if (state.*bit.flag) byte = static_cast<uint8_t>(byte | bit.value);
    }
    return byte;
}

// Bits of the ASB bytes each GS a bit enables: byte index and bit mask.
struct AsbItem {
    uint8_t enable;
    size_t byte;
    uint8_t bits;
};
constexpr AsbItem kAsbItems[] = {
    {0x01, 0, 0x04},  // drawer
    {0x02, 0, 0x68},  // offline, cover, paper feed
    {0x04, 1, 0xFF},  // errors
    {0x08, 2, 0xFF},  // roll sensors
};

}  // namespace

uint8_t RealtimeStatusByte(uint32_t n, const StatusState& state) {
    switch (n) {
        case 1: return Compose(kRealtimeFixed, kPrinter, state);
        case 2: return Compose(kRealtimeFixed, kOfflineCause, state);
        case 3: return Compose(kRealtimeFixed, kErrorCause, state);
        case 4: return Compose(kRealtimeFixed, kRollSensor, state);
        default: return 0;
    }
}

AsbBytes AutoStatusBytes(const StatusState& state) {
    return {Compose(kAsbFirstFixed, kAsbFirst, state), Compose(0, kErrorCause, state),
            Compose(0, kPaperSensor, state), 0};
}

bool AsbItemChanged(uint8_t mask, const AsbBytes& before, const AsbBytes& after) {
    for (const AsbItem& item : kAsbItems) {
        if ((mask & item.enable) != 0 &&
            ((before[item.byte] ^ after[item.byte]) & item.bits) != 0) {
            return true;
        }
    }
    return false;
}

bool TransmitStatusByte(uint32_t n, const StatusState& state, uint8_t* byte) {
    switch (n) {
        case 1: case 49: *byte = Compose(0, kPaperSensor, state); return true;
        case 2: case 50: *byte = Compose(0, kDrawer, state); return true;
        default: return false;
    }
}

}  // namespace zelp::vprinter
