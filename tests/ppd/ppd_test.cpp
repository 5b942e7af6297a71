// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// What CUPS reads from the generated PPD files: the filter line, copies left
// to CUPS, the printer options as the shared option table has them, and
// raster headers that fit the print head for every page size.
#include <gtest/gtest.h>

#include <cups/ppd.h>
#include <cups/raster.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "zelp_models.h"
#include "zelp_options.h"

namespace {

// Every model of the table, with its PPD file.
struct Printer {
    std::string path;
    unsigned headDots;
    int printWidthMm;  // of the custom and print-width sizes
    const ZelpModel* model;
};

std::vector<Printer> Printers() {
    std::vector<Printer> printers;
    for (const ZelpModel& model : kZelpModels) {
        printers.push_back({std::string(ZELP_PPD_DIR) + "/" + model.ppdFile, static_cast<unsigned>(model.headDots),
                            ZelpPrintWidthMm(model), &model});
    }
    return printers;
}
const std::vector<Printer> kPrinters = Printers();

unsigned Rows(double mm) { return static_cast<unsigned>(std::lround(mm / 25.4 * 203)); }

class PpdTest : public ::testing::Test {
protected:
    void Open(const Printer& printer) {
        if (ppd_ != nullptr) ppdClose(ppd_);
        ppd_ = ppdOpenFile(printer.path.c_str());
        ASSERT_NE(ppd_, nullptr) << printer.path;
        ppdMarkDefaults(ppd_);
    }
    ~PpdTest() override {
        if (ppd_ != nullptr) ppdClose(ppd_);
    }
    // The raster header a CUPS chain would make with these options marked.
    cups_page_header2_t Header(const std::string& options) {
        ppdMarkDefaults(ppd_);
        cups_option_t* list = nullptr;
        const int n = cupsParseOptions(options.c_str(), 0, &list);
        cupsMarkOptions(ppd_, n, list);
        cupsFreeOptions(n, list);
        cups_page_header2_t h;
        std::memset(&h, 0, sizeof h);
        EXPECT_EQ(cupsRasterInterpretPPD(&h, ppd_, 0, nullptr, nullptr), 0) << options;
        return h;
    }
    ppd_file_t* ppd_ = nullptr;
};

TEST_F(PpdTest, NamesTheFilterAndLeavesCopiesToCups) {
    for (const Printer& printer : kPrinters) {
        SCOPED_TRACE(printer.path);
        Open(printer);
        // Raster to raster_to_ZELP; pictures to image_to_ZELP, which fits
        // them to the paper on their way there.
        ASSERT_EQ(ppd_->num_filters, 4);
        EXPECT_STREQ(ppd_->filters[0], "application/vnd.cups-raster 0 raster_to_ZELP");
        EXPECT_STREQ(ppd_->filters[1], "image/png 0 image_to_ZELP");
        EXPECT_STREQ(ppd_->filters[2], "image/jpeg 0 image_to_ZELP");
        EXPECT_STREQ(ppd_->filters[3], "image/gif 0 image_to_ZELP");
        // Copies reach the filter as pages, each framed and cut as one.
        EXPECT_TRUE(ppd_->manual_copies);
        EXPECT_EQ(ppd_->model_number, printer.model->modelNumber);
        EXPECT_STREQ(ppd_->modelname, printer.model->name);
    }
}

// The PPDs and the option table that other front ends use agree: option
// texts, every choice number, the default and the texts of keyword options.
TEST_F(PpdTest, OptionsAreThoseOfTheOptionTable) {
    for (const Printer& printer : kPrinters) {
        Open(printer);
        for (const ZelpOption& o : kZelpOptions) {
            SCOPED_TRACE(printer.path + " " + o.ppdKeyword);
            ppd_option_t* option = ppdFindOption(ppd_, o.ppdKeyword);
            ASSERT_NE(option, nullptr);
            EXPECT_STREQ(option->text, o.label);
            EXPECT_EQ(size_t(option->num_choices), o.choiceCount);
            for (size_t i = 0; i < o.choiceCount; ++i) {
                const ZelpChoice& c = o.choices[i];
                ppd_choice_t* choice = ppdFindChoice(option, std::to_string(c.number).c_str());
                ASSERT_NE(choice, nullptr) << c.number;
                EXPECT_EQ(choice->text, ZelpChoiceLabel(o, c));
                EXPECT_STRNE(choice->text, choice->choice) << "choice " << c.number << " has no text";
            }
            ppd_choice_t* marked = ppdFindMarkedChoice(ppd_, o.ppdKeyword);
            ASSERT_NE(marked, nullptr);
            EXPECT_EQ(std::atoi(marked->choice), o.defaultNumber);
        }
    }
}

// Named sizes X<w>MMY<l>MM: the paper size (the default) has side margins
// that leave the head's width; the print-width sizes have none.
TEST_F(PpdTest, NamedSizesAreAsWideAsTheHead) {
    for (const Printer& printer : kPrinters) {
        SCOPED_TRACE(printer.path);
        Open(printer);
        ppd_option_t* sizes = ppdFindOption(ppd_, "PageSize");
        ASSERT_NE(sizes, nullptr);
        EXPECT_GE(sizes->num_choices, 5);
        bool paperSize = false;
        for (int i = 0; i < sizes->num_choices; ++i) {
            const std::string keyword = sizes->choices[i].choice;
            if (keyword == "Custom") continue;
            SCOPED_TRACE(keyword);
            float w = 0, l = 0;
            char tail[8] = "";
            ASSERT_EQ(std::sscanf(keyword.c_str(), "X%fMMY%fMM%7s", &w, &l, tail), 2);
            const cups_page_header2_t header = Header("PageSize=" + keyword);
            EXPECT_EQ(header.cupsWidth, printer.headDots);
            EXPECT_NEAR(header.cupsHeight, Rows(l), 1.0);
            if (w != printer.printWidthMm) {
                paperSize = true;
                EXPECT_EQ(keyword, ppd_->sizes[0].name) << "the paper size is not listed first";
                EXPECT_STREQ(sizes->defchoice, keyword.c_str());
                EXPECT_GE(l, 3000) << "the default page is to take any usual receipt";
            }
        }
        EXPECT_TRUE(paperSize);
    }
}

// Custom sizes: the print width, 5 mm to 5 m long, in millimetres or in the
// whole points that the scheduler hands on. (PageSize= only: libcups 2.4
// leaks a little whenever media= is marked; the end-to-end test covers it.)
TEST_F(PpdTest, CustomSizesTakeAnyReceiptLength) {
    for (const Printer& printer : kPrinters) {
        Open(printer);
        ASSERT_TRUE(ppd_->variable_sizes) << printer.path;
        const std::string w = std::to_string(printer.printWidthMm);
        // The print width's whole points, as the scheduler hands it on: up
        // to a point (2.8 dots) narrower than the head.
        const int points = ZelpPrintWidthCentipoints(*printer.model) / 100;
        const double head = printer.headDots;
        const struct {
            std::string options;
            double widthDots;
            double lengthMm;
        } cases[] = {
            {"PageSize=Custom." + w + "x600mm", head, 600},
            {"PageSize=Custom." + w + "x5mm", head, 5},
            {"PageSize=Custom." + w + "x5000mm", head, 5000},
            {"PageSize=Custom." + std::to_string(points) + "x1700", points * 203 / 72.0, 1700 / 72.0 * 25.4},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(printer.path + " " + c.options);
            const cups_page_header2_t header = Header(c.options);
            EXPECT_NEAR(header.cupsWidth, c.widthDots, 1.0);
            EXPECT_NEAR(header.cupsHeight, Rows(c.lengthMm), 1.0);
        }
        // Down to the whole points below the print width in millimetres.
        EXPECT_LE(ppd_->custom_min[0], printer.printWidthMm / 25.4 * 72);
        EXPECT_GT(ppd_->custom_min[0], printer.printWidthMm / 25.4 * 72 - 1);
        EXPECT_NEAR(ppd_->custom_max[0], printer.headDots * 72.0 / 203, 0.01);
        EXPECT_LE(ppd_->custom_min[1], 5 / 25.4 * 72 + 0.01);
        EXPECT_GE(ppd_->custom_max[1], 3000 / 25.4 * 72);
    }
}

TEST_F(PpdTest, GreyIsTheDefaultColourModelAndMonoIsOneBit) {
    struct Case {
        const char* options;
        unsigned bitsPerColor;
        cups_cspace_t space;
    } cases[] = {{"", 8, CUPS_CSPACE_W}, {"ColorModel=Gray", 8, CUPS_CSPACE_W},
                 {"ColorModel=Mono", 1, CUPS_CSPACE_K}};
    for (const Printer& printer : kPrinters) {
        Open(printer);
        for (const Case& c : cases) {
            SCOPED_TRACE(printer.path + " '" + c.options + "'");
            const cups_page_header2_t h = Header(c.options);
            EXPECT_EQ(h.cupsBitsPerColor, c.bitsPerColor);
            EXPECT_EQ(h.cupsBitsPerPixel, c.bitsPerColor);
            EXPECT_EQ(h.cupsColorSpace, c.space);
            EXPECT_EQ(h.HWResolution[0], 203u);
            EXPECT_EQ(h.cupsBytesPerLine, (printer.headDots * c.bitsPerColor + 7) / 8);
        }
    }
}

}  // namespace
