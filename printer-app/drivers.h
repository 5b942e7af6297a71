// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The printer models of the model table and what PAPPL needs to know of
// them: driver list, driver data and attributes, matching of IEEE 1284
// device IDs.
#ifndef ZELP_PA_DRIVERS_H
#define ZELP_PA_DRIVERS_H

#include <pappl/pappl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "zelp_models.h"

namespace zelp::pa {

// A model as the Printer Application knows it: its row of the model table
// and what is made of it for PAPPL.
struct Model : ZelpModel {
    std::string deviceId;                 // "MFG:ZELP;MDL:...;CMD:ESC/POS;"
    std::vector<std::string> mediaNames;  // PWG names of its media
};

constexpr int kResolutionDpi = kZelpResolutionDpi;

// The printer's own language: documents in it go to the printer as they are.
constexpr const char* kPrinterFormat = "application/vnd.zelp-escpos";

// Every model of the table, in its order.
const std::vector<Model>& Models();

// The model of a printer (its driver data's extension), or null.
const Model* ModelOfPrinter(pappl_printer_t* printer);
const Model* FindModel(const char* driverName);

// The driver list for papplMainloop / papplSystemSetPrinterDrivers.
pappl_pr_driver_t* DriverList(int* count);

// pappl_pr_driver_cb_t: fills driver data and attributes for a model.
bool DriverCallback(pappl_system_t* system, const char* driverName, const char* deviceUri,
                    const char* deviceId, pappl_pr_driver_data_t* data, ipp_t** attrs, void* context);

// pappl_pr_autoadd_cb_t: the driver for an ESC/POS printer of ours, judged
// by its device ID (CMD:ESC/POS, MFG:ZELP and a model we know), or null.
const char* AutoAddCallback(const char* deviceInfo, const char* deviceUri, const char* deviceId,
                            void* context);

// Whether a printer of this model offers the media of that PWG name: one
// of its fixed lengths, or a custom length of its roll width.
bool MediaOffered(const Model& model, const char* name);

// The name of the media that a printer of this model starts with.
const char* DefaultMediaName(const Model& model, char* buffer, size_t size);

}  // namespace zelp::pa

#endif
