// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "zelp_models.h"

#include <cstring>

const ZelpModel* ZelpFindModelByDriver(const char* driverName) {
    if (driverName == nullptr) return nullptr;
    for (const ZelpModel& model : kZelpModels) {
        if (strcmp(model.driverName, driverName) == 0) return &model;
    }
    return nullptr;
}

const ZelpModel* ZelpFindModelByDeviceModel(const char* mdl) {
    if (mdl == nullptr) return nullptr;
    for (const ZelpModel& model : kZelpModels) {
        if (strcmp(model.deviceIdModel, mdl) == 0) return &model;
    }
    const ZelpModel* found = nullptr;
    for (const ZelpModel& model : kZelpModels) {
        if (strstr(mdl, model.deviceIdKey) == nullptr) continue;
        if (found == nullptr || strlen(model.deviceIdKey) > strlen(found->deviceIdKey)) found = &model;
    }
    return found;
}

// Integer arithmetic throughout: the PPD's sizes must come out the same
// digits on every machine (11.235 points is 11.24, not 11.23).
int ZelpPrintWidthCentipoints(const ZelpModel& model) {
    return (model.headDots * 7200 + kZelpResolutionDpi - 1) / kZelpResolutionDpi;
}

int ZelpPaperWidthCentipoints(const ZelpModel& model) {
    // 7200 / 25.4 hundredths of a point a millimetre, rounded to nearest.
    return (model.paperWidthMm * 72000 + 127) / 254;
}

int ZelpSideMarginCentipoints(const ZelpModel& model) {
    return (ZelpPaperWidthCentipoints(model) - ZelpPrintWidthCentipoints(model) + 1) / 2;
}

int ZelpPrintWidthMm(const ZelpModel& model) {
    return (model.headDots * 254 + kZelpResolutionDpi * 5) / (kZelpResolutionDpi * 10);
}
