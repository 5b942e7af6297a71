// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The printer models, one row each. The PPD files (made from this table at
// build time), the Printer Application's drivers and their device-ID
// matching, the install rules and the tests all take the models from here.
#ifndef ZELP_CORE_MODELS_H
#define ZELP_CORE_MODELS_H

#include <cstddef>
#include <cstdint>
#include <iterator>

// Every model prints at this resolution, across and along the paper.
constexpr int kZelpResolutionDpi = 203;

struct ZelpModel {
    const char* name;           // PPD ModelName, the Printer Application's description
    const char* ppdFile;        // PPD file name, as installed under model/zelp/
    const char* driverName;     // the Printer Application's driver
    const char* deviceIdModel;  // MDL of the printer's IEEE 1284 device ID
    const char* deviceIdKey;    // an MDL that holds this names this model (the longest key found wins)
    int32_t modelNumber;        // PPD ModelNumber, handed to the core
    int paperWidthMm;           // the roll; the head sits in its middle
    int headDots;               // dots across the print head
    int pagesPerMinute;         // receipts a minute, as the PPD and IPP report it
    // Paced output: the print speed (mm/s; the fastest of the model's kind,
    // so that pacing never holds a printer back) and the receive buffer.
    int printMmPerSecond;
    int bufferBytes;
};

inline constexpr ZelpModel kZelpModels[] = {
    {"ZELP 80mm Receipt Printer", "zelp80.ppd", "zelp80", "80mm Receipt Printer", "80", 80, 80, 576, 20, 250, 4096},
    {"ZELP 58mm Receipt Printer", "zelp58.ppd", "zelp58", "58mm Receipt Printer", "58", 58, 58, 384, 20, 150, 4096},
    // 80 mm paper under a 64 mm head: pages are centred on the roll.
    {"ZELP 80mm Receipt Printer 512", "zelp8064.ppd", "zelp8064", "80mm Receipt Printer 512", "512", 8064, 80,
     512, 20, 250, 4096},
};

constexpr size_t kZelpModelCount = std::size(kZelpModels);

// The model of that Printer Application driver name, or null.
const ZelpModel* ZelpFindModelByDriver(const char* driverName);

// The model that an IEEE 1284 device ID's MDL names: the model whose MDL it
// is, else the model whose key it holds (the longest key found; the first
// of equal ones), else null.
const ZelpModel* ZelpFindModelByDeviceModel(const char* mdl);

// Print width in hundredths of a point, rounded up so that a page of that
// width rasterises to the whole head; the roll's width in hundredths of a
// point; the side margin that centres the head on the roll.
int ZelpPrintWidthCentipoints(const ZelpModel& model);
int ZelpPaperWidthCentipoints(const ZelpModel& model);
int ZelpSideMarginCentipoints(const ZelpModel& model);

// The head's width in whole millimetres, as the print-width page sizes
// name it (72 for 576 dots).
int ZelpPrintWidthMm(const ZelpModel& model);

#endif
