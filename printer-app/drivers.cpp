// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "drivers.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "ipp_options.h"
#include "pa_actions.h"
#include "pa_link.h"
#include "pa_raster.h"

namespace zelp::pa {

namespace {

// The PPDs' lengths in millimetres: their fixed ones, and the paper size
// they start with, 3 m long so that any usual receipt is one page (blank
// rows at both ends of a page are not printed).
constexpr int kLengthsMm[] = {80, 100, 150, 200, 297, 500, 1000, 3000};
constexpr int kDefaultLengthMm = 3000;
// Custom lengths: the PPDs' range.
constexpr int kMinLengthMm = 5;
constexpr int kMaxLengthMm = 5000;

// PWG names of a model's media: the fixed lengths, then the custom range.
std::vector<std::string> MakeMediaNames(const Model& model) {
    std::vector<std::string> names;
    const std::string w = std::to_string(model.paperWidthMm);
    for (int length : kLengthsMm) {
        const std::string l = std::to_string(length);
        names.push_back(Concat({"om_receipt-", l, "mm_", w, "x", l, "mm"}));
    }
    names.push_back(Concat({"roll_min_", w, "x", std::to_string(kMinLengthMm), "mm"}));
    names.push_back(Concat({"roll_max_", w, "x", std::to_string(kMaxLengthMm), "mm"}));
    return names;
}

// Left and right margins that centre the head on the roll, in hundredths
// of a millimetre.
int SideMargin(const Model& model) {
    const int headWidth = model.headDots * 2540 / kResolutionDpi;
    return (model.paperWidthMm * 100 - headWidth) / 2;
}

std::vector<Model> MakeModels() {
    std::vector<Model> models;
    for (const ZelpModel& row : kZelpModels) {
        Model model;
        static_cast<ZelpModel&>(model) = row;
        model.deviceId = Concat({"MFG:ZELP;MDL:", row.deviceIdModel, ";CMD:ESC/POS;"});
        model.mediaNames = MakeMediaNames(model);
        models.push_back(model);
    }
    return models;
}

// The option that PAPPL carries as print-darkness, or null.
const ZelpOption* DarknessOption() {
    for (const ZelpOption& option : kZelpOptions) {
        if (option.ippRoute == ZelpIppRoute::kPrintDarkness) return &option;
    }
    return nullptr;
}

}  // namespace

// Never destroyed: PAPPL's threads, which nothing joins, read the media
// names and device IDs up to the very end of the process.
const std::vector<Model>& Models() {
    static const auto* models = new std::vector<Model>(MakeModels());
    return *models;
}

const Model* FindModel(const char* driverName) {
    if (driverName == nullptr) return nullptr;
    for (const Model& model : Models()) {
        if (strcmp(model.driverName, driverName) == 0) return &model;
    }
    return nullptr;
}

const Model* ModelOfPrinter(pappl_printer_t* printer) {
    return printer != nullptr ? FindModel(papplPrinterGetDriverName(printer)) : nullptr;
}

pappl_pr_driver_t* DriverList(int* count) {
    static auto* drivers = [] {
        auto* list = new std::vector<pappl_pr_driver_t>;
        for (const Model& model : Models()) {
            list->push_back({model.driverName, model.name, model.deviceId.c_str(), nullptr});
        }
        return list;
    }();
    *count = static_cast<int>(drivers->size());
    return drivers->data();
}

bool MediaOffered(const Model& model, const char* name) {
    if (name == nullptr) return false;
    for (const std::string& offered : model.mediaNames) {
        if (offered == name) return true;
    }
    // A custom size: the roll's width, a length within the range.
    pwg_media_t* media = pwgMediaForPWG(name);
    return strncmp(name, "custom_", 7) == 0 && media != nullptr && media->width == model.paperWidthMm * 100 &&
           media->length >= kMinLengthMm * 100 && media->length <= kMaxLengthMm * 100;
}

const char* DefaultMediaName(const Model& model, char* buffer, size_t size) {
    snprintf(buffer, size, "om_receipt-%dmm_%dx%dmm", kDefaultLengthMm, model.paperWidthMm, kDefaultLengthMm);
    return buffer;
}

bool DriverCallback(pappl_system_t* /*system*/, const char* driverName, const char* /*deviceUri*/,
                    const char* /*deviceId*/, pappl_pr_driver_data_t* data, ipp_t** attrs, void* /*context*/) {
    const Model* model = FindModel(driverName);
    if (model == nullptr) return false;

    data->extension = const_cast<Model*>(model);
    SetRasterCallbacks(data);
    SetActionCallbacks(data);
    data->status_cb = StatusCallback;

    snprintf(data->make_and_model, sizeof data->make_and_model, "%s", model->name);
    data->format = kPrinterFormat;
    data->ppm = model->pagesPerMinute;
    data->kind = PAPPL_KIND_RECEIPT | PAPPL_KIND_ROLL;
    data->orient_default = IPP_ORIENT_PORTRAIT;
    data->quality_default = IPP_QUALITY_NORMAL;
    data->scaling_default = PAPPL_SCALING_NONE;
    // Grey in, and the core's own halftoning: PAPPL never dithers.
    data->color_supported = PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_MONOCHROME;
    data->color_default = PAPPL_COLOR_MODE_MONOCHROME;
    data->content_default = PAPPL_CONTENT_AUTO;
    data->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8 | PAPPL_PWG_RASTER_TYPE_BLACK_8;
    data->force_raster_type = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
    data->duplex = PAPPL_DUPLEX_NONE;
    data->sides_supported = PAPPL_SIDES_ONE_SIDED;
    data->sides_default = PAPPL_SIDES_ONE_SIDED;
    data->num_resolution = 1;
    data->x_resolution[0] = data->y_resolution[0] = kResolutionDpi;
    data->x_default = data->y_default = kResolutionDpi;
    data->identify_supported = PAPPL_IDENTIFY_ACTIONS_SOUND;
    data->identify_default = PAPPL_IDENTIFY_ACTIONS_SOUND;
    data->tracking_supported = PAPPL_MEDIA_TRACKING_CONTINUOUS | PAPPL_MEDIA_TRACKING_MARK;

    const std::vector<std::string>& media = model->mediaNames;
    data->num_media = static_cast<int>(media.size());
    for (size_t i = 0; i < media.size(); ++i) data->media[i] = media[i].c_str();
    data->left_right = SideMargin(*model);
    data->bottom_top = 0;
    data->num_source = 1;
    data->source[0] = "main-roll";
    data->num_type = 1;
    data->type[0] = "continuous";

    pappl_media_col_t& ready = data->media_ready[0];
    ready = pappl_media_col_t{};
    DefaultMediaName(*model, ready.size_name, sizeof ready.size_name);
    ready.size_width = model->paperWidthMm * 100;
    ready.size_length = kDefaultLengthMm * 100;
    ready.left_margin = ready.right_margin = data->left_right;
    ready.top_margin = ready.bottom_margin = 0;
    ready.tracking = PAPPL_MEDIA_TRACKING_CONTINUOUS;
    snprintf(ready.source, sizeof ready.source, "%s", data->source[0]);
    snprintf(ready.type, sizeof ready.type, "%s", data->type[0]);
    data->media_default = ready;

    // Darkness on PAPPL's own scale: its web page offers the choices'
    // amounts, and the table's default is the printer's configured darkness.
    if (const ZelpOption* darkness = DarknessOption()) {
        data->darkness_supported = static_cast<int>(darkness->choiceCount);
        data->darkness_configured = ZelpFindChoiceByNumber(*darkness, darkness->defaultNumber)->amount;
        data->darkness_default = 0;
    }
    data->num_vendor = 0;
    for (const ZelpOption& option : kZelpOptions) {
        if (option.ippRoute == ZelpIppRoute::kVendor) data->vendor[data->num_vendor++] = option.ippName;
    }

    if (attrs != nullptr) {
        if (*attrs == nullptr) *attrs = ippNew();
        AddOptionAttributes(*attrs);
        // Descriptions that IPP Everywhere asks for and PAPPL leaves out;
        // each states what this printer does anyway.
        ippAddBoolean(*attrs, IPP_TAG_PRINTER, "preferred-attributes-supported", 0);
        ippAddString(*attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-supported", nullptr, "auto");
        ippAddString(*attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-default", nullptr, "auto");
        ippAddString(*attrs, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "pwg-raster-document-sheet-back", nullptr, "normal");
    }
    return true;
}

const char* AutoAddCallback(const char* /*deviceInfo*/, const char* /*deviceUri*/, const char* deviceId,
                            void* /*context*/) {
    if (deviceId == nullptr || *deviceId == '\0') return nullptr;
    cups_option_t* pairs = nullptr;
    const int count = papplDeviceParseID(deviceId, &pairs);
    const char* cmd = cupsGetOption("COMMAND SET", count, pairs);
    if (cmd == nullptr) cmd = cupsGetOption("CMD", count, pairs);
    const char* mfg = cupsGetOption("MANUFACTURER", count, pairs);
    if (mfg == nullptr) mfg = cupsGetOption("MFG", count, pairs);
    const char* mdl = cupsGetOption("MODEL", count, pairs);
    if (mdl == nullptr) mdl = cupsGetOption("MDL", count, pairs);

    // CMD is a comma-separated list; ESC/POS must be one of its entries.
    bool escpos = false;
    if (cmd != nullptr) {
        std::string list(cmd);
        size_t start = 0;
        while (start <= list.size() && !escpos) {
            const size_t end = list.find(',', start);
            std::string entry = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
            while (!entry.empty() && entry.front() == ' ') entry.erase(0, 1);
            while (!entry.empty() && entry.back() == ' ') entry.pop_back();
            escpos = strcasecmp(entry.c_str(), "ESC/POS") == 0;
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    const char* driver = nullptr;
    if (escpos && mfg != nullptr && strcasecmp(mfg, "ZELP") == 0) {
        if (const ZelpModel* model = ZelpFindModelByDeviceModel(mdl)) driver = model->driverName;
    }
    cupsFreeOptions(count, pairs);
    return driver;
}

}  // namespace zelp::pa
