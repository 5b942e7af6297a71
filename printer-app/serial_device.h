// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Printers on a serial line: RS-232 ports (/dev/ttyS*), USB serial adapters
// and USB printers that show as a modem (/dev/ttyUSB*, /dev/ttyACM*), and
// Bluetooth printers bound to an RFCOMM port (/dev/rfcomm*), as the device
// scheme "serial" of the Printer Application:
//
//   serial:///dev/ttyUSB0?baud=115200&flow=rtscts
//
// baud: 1200 to 921600 (9600 when left out); flow: none (the default),
// rtscts (the printer holds the line with CTS) or xonxoff (the printer
// sends XOFF and XON); 8 data bits, no parity, one stop bit. CUPS's own
// spelling, "serial:/dev/ttyUSB0?baud=115200+flow=hard", is read too.
#ifndef ZELP_PA_SERIAL_DEVICE_H
#define ZELP_PA_SERIAL_DEVICE_H

#include <string>

namespace zelp::pa {

enum class SerialFlow { kNone, kRtsCts, kXonXoff };

struct SerialLine {
    std::string path;  // /dev/...
    int baud = 9600;
    SerialFlow flow = SerialFlow::kNone;
};

// Reads a device URI of the scheme; false, with what is wrong in `error`
// (a sentence for the user), for anything else.
bool ParseSerialUri(const char* uri, SerialLine* line, std::string* error);

// Registers the scheme with PAPPL, beside PAPPL's own; before its main loop.
void AddSerialScheme();

}  // namespace zelp::pa

#endif
