// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The status bytes an ESC/POS printer sends back, laid out as in the
// printers' own command references (Epson's TM series, and the Bixolon,
// Citizen and HPRT printers that follow them):
//
//   DLE EOT n, one byte, bits 1 and 4 always on, 0 and 7 always off:
//     n = 1 printer:       bit 2 drawer pin 3 high, bit 3 offline
//     n = 2 offline cause: bit 2 cover open, bit 3 paper fed by the button,
//                          bit 5 printing stopped by paper end, bit 6 error
//     n = 3 error cause:   bit 2 mechanical error, bit 3 autocutter error,
//                          bit 5 unrecoverable, bit 6 auto-recoverable error
//     n = 4 roll sensors:  bits 2-3 near end, bits 5-6 paper end
//   GS a n (automatic status back), four bytes, sent when enabled and on
//   every change of an enabled item:
//     1st: bit 4 always on; bit 2 drawer pin 3 high, bit 3 offline,
//          bit 5 cover open, bit 6 paper fed by the button
//     2nd: bit 2 mechanical, bit 3 autocutter, bit 5 unrecoverable,
//          bit 6 auto-recoverable error
//     3rd: bits 0-1 near end, bits 2-3 paper end
//     4th: nothing this printer has (all 0)
//     n: bit 0 drawer, bit 1 online/offline (1st byte but the drawer),
//        bit 2 errors (2nd byte), bit 3 roll sensors (3rd byte)
//   GS r n, one byte, bit 4 off: n = 1 or 49 bits 0-1 near end, 2-3 paper
//   end; n = 2 or 50 bit 0 drawer pin 3 high.
// A host tells them apart by the fixed bits: 0x12 set in DLE EOT answers,
// bits 0, 1 and 7 clear and bit 4 set in the first ASB byte, bit 4 clear
// in GS r answers.
#ifndef ZELP_TOOLS_VPRINTER_STATUS_BYTES_H
#define ZELP_TOOLS_VPRINTER_STATUS_BYTES_H

#include <array>
#include <cstdint>

namespace zelp::vprinter {

// What the sensors and the mechanism say, as the status bytes tell it.
struct StatusState {
    bool drawerHigh = false;    // drawer kick-out connector pin 3
    bool offline = false;       // not printing: paper end, cover, error
    bool coverOpen = false;
    bool feeding = false;       // paper fed by the FEED button
    bool paperEndStop = false;  // printing stopped by paper end
    bool error = false;         // any error (the cutter, here)
    bool mechanicalError = false;
    bool cutterError = false;
    bool unrecoverableError = false;
    bool autoRecoverableError = false;
    bool nearEnd = false;       // roll near-end sensor
    bool paperOut = false;      // roll end sensor
};

using AsbBytes = std::array<uint8_t, 4>;

// The answer to DLE EOT n, for n = 1 to 4; 0 for another n (not sent).
uint8_t RealtimeStatusByte(uint32_t n, const StatusState& state);

// The four automatic status back bytes.
AsbBytes AutoStatusBytes(const StatusState& state);

// Whether an item enabled by GS a `mask` differs between the two.
bool AsbItemChanged(uint8_t mask, const AsbBytes& before, const AsbBytes& after);

// The answer to GS r n; false for an n the command does not take.
bool TransmitStatusByte(uint32_t n, const StatusState& state, uint8_t* byte);

}  // namespace zelp::vprinter

#endif
