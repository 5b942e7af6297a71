// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// zelp-drvgen: the driver information file for ppdc, from the hand-written
// part (zelp.drv.in) and the option and model tables, and a list of the
// models for the tests and the build.
//
//   zelp-drvgen TEMPLATE DRV-OUT MODELS-OUT [PPD-FILE...]
//
// The PPD file names given are those the build expects; any difference
// from the model table is an error. PPD files beside MODELS-OUT that no
// model makes are removed.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "zelp_models.h"
#include "zelp_options.h"

namespace {

// Fixed lengths of the print-width sizes; the paper size's length and the
// custom range; all in millimetres.
constexpr int kPrintWidthLengthsMm[] = {80, 100, 150, 200, 297, 500, 1000};
constexpr int kPaperLengthMm = 3000;
constexpr int kMinCustomLengthMm = 5;
constexpr int kMaxCustomLengthMm = 5000;

// Hundredths of a point as the PPD writes points: "204.30".
std::string Points(int centipoints) {
    char text[32];
    snprintf(text, sizeof text, "%d.%02d", centipoints / 100, centipoints % 100);
    return text;
}

int LengthCentipoints(int mm) { return (mm * 72000 + 127) / 254; }

// Custom widths reach down to the whole points of the print width in
// millimetres (204 for 72 mm): the scheduler hands a custom size on to the
// filters in whole points.
int MinCustomWidthCentipoints(const ZelpModel& model) {
    return ZelpPrintWidthMm(model) * 72000 / 254 / 100 * 100;
}

std::string PrintWidthSize(const ZelpModel& model, int lengthMm) {
    return "X" + std::to_string(ZelpPrintWidthMm(model)) + "MMY" + std::to_string(lengthMm) + "MM";
}

std::string Media() {
    std::ostringstream out;
    std::set<int> done;
    for (const ZelpModel& model : kZelpModels) {
        if (!done.insert(model.headDots).second) continue;
        const int mm = ZelpPrintWidthMm(model);
        for (int length : kPrintWidthLengthsMm) {
            out << "#media \"" << PrintWidthSize(model, length) << "/" << mm << " x " << length
                << " mm (print width)\" " << Points(ZelpPrintWidthCentipoints(model)) << " "
                << Points(LengthCentipoints(length)) << "\n";
        }
    }
    return out.str();
}

std::string Options() {
    std::ostringstream out;
    std::vector<std::string> groups;
    for (const ZelpOption& option : kZelpOptions) {
        bool seen = false;
        for (const std::string& group : groups) seen = seen || group == option.group;
        if (!seen) groups.push_back(option.group);
    }
    for (const std::string& group : groups) {
        out << "Group \"" << group << "\"\n";
        for (const ZelpOption& option : kZelpOptions) {
            if (group != option.group) continue;
            out << "  Option \"" << option.ppdKeyword << "/" << option.label << "\" PickOne AnySetup "
                << option.ppdOrder << "\n";
            for (size_t i = 0; i < option.choiceCount; ++i) {
                const ZelpChoice& choice = option.choices[i];
                out << "    " << (choice.number == option.defaultNumber ? "*" : "") << "Choice \"" << choice.number
                    << "/" << ZelpChoiceLabel(option, choice) << "\" \"\"\n";
            }
            out << "\n";
        }
    }
    return out.str();
}

std::string Models() {
    std::ostringstream out;
    for (const ZelpModel& model : kZelpModels) {
        const std::string paper = Points(ZelpPaperWidthCentipoints(model));
        const std::string length = Points(LengthCentipoints(kPaperLengthMm));
        const std::string margin = Points(ZelpSideMarginCentipoints(model));
        std::string size = "<</PageSize[";
        size.append(paper).append(" ").append(length).append("]/ImagingBBox null>>setpagedevice");
        out << "{\n"
            << "  ModelName \"" << model.name << "\"\n"
            << "  ModelNumber " << model.modelNumber << "\n"
            << "  PCFileName \"" << model.ppdFile << "\"\n"
            << "  Throughput " << model.pagesPerMinute << "\n"
            << "  VariablePaperSize Yes\n"
            << "  MinSize " << Points(MinCustomWidthCentipoints(model)) << " "
            << Points(LengthCentipoints(kMinCustomLengthMm)) << "\n"
            << "  MaxSize " << Points(ZelpPrintWidthCentipoints(model)) << " "
            << Points(LengthCentipoints(kMaxCustomLengthMm)) << "\n"
            << "  *CustomMedia \"X" << model.paperWidthMm << "MMY" << kPaperLengthMm << "MM/" << model.paperWidthMm
            << " mm paper, receipts up to 3 m\" " << paper << " " << length << " " << margin << " 0 " << margin
            << " 0\n"
            << "    \"" << size << "\"\n"
            << "    \"" << size << "\"\n";
        for (int l : kPrintWidthLengthsMm) out << "  MediaSize " << PrintWidthSize(model, l) << "\n";
        // Custom sizes only (the sizes above keep their own margins): a
        // twentieth of a point at the top and bottom (a seventh of a dot),
        // so that pdftopdf takes a custom page for one with margins and fits
        // a document too big for it, instead of enlarging it to fill the
        // page and cropping it (the scheduler hands media=Custom.WxLmm on in
        // whole points, which pdftopdf takes for a borderless page).
        out << "  HWMargins 0 0.05 0 0.05\n";
        out << "}\n";
    }
    return out.str();
}

// One model a line, tab-separated: PPD file, driver, head dots, paper
// width in mm, print width in mm, model number, name.
std::string ModelList() {
    std::ostringstream out;
    for (const ZelpModel& model : kZelpModels) {
        out << model.ppdFile << "\t" << model.driverName << "\t" << model.headDots << "\t" << model.paperWidthMm
            << "\t" << ZelpPrintWidthMm(model) << "\t" << model.modelNumber << "\t" << model.name << "\n";
    }
    return out.str();
}

// PPD files beside the model list that no model makes any more (a model
// taken out of the table) go, so that nothing installs or tests them.
void RemoveStalePpds(const std::string& modelList) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = fs::path(modelList).parent_path();
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        if (entry.path().extension() != ".ppd") continue;
        bool made = false;
        for (const ZelpModel& model : kZelpModels) made = made || entry.path().filename() == model.ppdFile;
        if (!made) fs::remove(entry.path(), error);
    }
}

bool Write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) std::cerr << "zelp-drvgen: cannot write " << path << "\n";
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::cerr << "usage: zelp-drvgen TEMPLATE DRV-OUT MODELS-OUT [PPD-FILE...]\n";
        return 2;
    }
    if (argc > 4) {
        std::string expected;
        std::string table;
        for (int i = 4; i < argc; ++i) expected += std::string(argv[i]) + " ";
        for (const ZelpModel& model : kZelpModels) table += std::string(model.ppdFile) + " ";
        if (expected != table) {
            std::cerr << "zelp-drvgen: the build expects the PPD files " << expected << "but the model table has "
                      << table << "\n";
            return 1;
        }
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "zelp-drvgen: cannot read " << argv[1] << "\n";
        return 1;
    }
    std::string drv;
    std::string line;
    while (std::getline(in, line)) {
        if (line == "@MEDIA@") {
            drv += Media();
        } else if (line == "@OPTIONS@") {
            drv += Options();
        } else if (line == "@MODELS@") {
            drv += Models();
        } else {
            drv += line + "\n";
        }
    }
    if (!Write(argv[2], drv) || !Write(argv[3], ModelList())) return 1;
    RemoveStalePpds(argv[3]);
    return 0;
}
