// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The virtual printer's receive side and mechanism: the input arrives in
// pieces of uneven size while time passes and paper, cover and cutter
// change, as bytes from a host a printer cannot choose.
#include <cstdint>
#include <cstddef>

#include "printer_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace zelp::vprinter;
    EventLog log;  // never opened: nothing written
    PrinterConfig config;
    config.bufferBytes = 512;
    config.rollMm = 40;
    config.nearEndMm = 10;
    config.speedMmPerSecond = 2000;
    double now = 1.0;
    Printer printer(config, &log, now);
    size_t at = 0;
    while (at < size) {
        // A leading byte says how much comes next and what happens to the
        // printer before it.
        const uint8_t head = data[at++];
        const size_t piece = (head & 0x0F) * 37u + 1u;
        switch (head >> 4) {
            case 1: printer.PaperOut(now); break;
            case 2: printer.LoadPaper(0, now); break;
            case 3: printer.SetCover(true, now); break;
            case 4: printer.SetCover(false, now); break;
            case 5: printer.CutterJam(now); break;
            case 6: printer.CutterFix(now); break;
            case 7: printer.PowerOff(now); break;
            case 8: printer.PowerOn(now); break;
            default: break;
        }
        const size_t take = piece < size - at ? piece : size - at;
        printer.Receive(data + at, take, now);
        at += take;
        now += 0.004;
        printer.Advance(now);
        printer.TakeOutput();
    }
    printer.LoadPaper(0, now);
    printer.CutterFix(now);
    printer.SetCover(false, now);
    printer.PowerOn(now);
    for (int i = 0; i < 64 && !printer.Idle(); ++i) {
        now += 0.05;
        printer.Advance(now);
    }
    return 0;
}
