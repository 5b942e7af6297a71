// What CUPS reads from the generated PPD files: the filter line, the
// fourteen printer options with numeric choices, and raster headers that
// fit the print head.
#include <gtest/gtest.h>

#include <cups/ppd.h>
#include <cups/raster.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Printer {
    const char* path;
    unsigned headDots;
};
const Printer kPrinters[] = {{ZELP_PPD_80, 576}, {ZELP_PPD_58, 384}};

struct OptionCase {
    const char* keyword;
    int first, last, step;  // every choice keyword first, first + step, ... last
    int defaultValue;
};
const OptionCase kOptions[] = {
    {"Cutting", 0, 14, 1, 7},       {"FeedDist_B", 0, 19, 1, 0},  {"FeedDist", 0, 19, 1, 3},
    {"Beeper", 0, 9, 1, 0},         {"CashDrawer", 0, 6, 1, 0},   {"Logo", 0, 8, 1, 0},
    {"Logo_A", 0, 8, 1, 0},         {"ImageAlgorithm", 0, 1, 1, 0}, {"BlankSpace", 0, 1, 1, 1},
    {"PrintRotate", 0, 3, 1, 0},    {"BMSetting", 0, 2, 1, 0},    {"BMHeight", 0, 30, 1, 0},
    {"BMOffset", 0, 220, 5, 0},     {"BMDistance", 0, 60, 1, 0},
};

class PpdTest : public ::testing::Test {
protected:
    void Open(const Printer& printer) {
        if (ppd_ != nullptr) ppdClose(ppd_);
        ppd_ = ppdOpenFile(printer.path);
        ASSERT_NE(ppd_, nullptr) << printer.path;
        ppdMarkDefaults(ppd_);
    }
    ~PpdTest() override {
        if (ppd_ != nullptr) ppdClose(ppd_);
    }
    // The raster header a CUPS chain would make with these options marked.
    cups_page_header2_t Header(const char* options) {
        ppdMarkDefaults(ppd_);
        cups_option_t* list = nullptr;
        const int n = cupsParseOptions(options, 0, &list);
        cupsMarkOptions(ppd_, n, list);
        cupsFreeOptions(n, list);
        cups_page_header2_t h;
        std::memset(&h, 0, sizeof h);
        EXPECT_EQ(cupsRasterInterpretPPD(&h, ppd_, 0, nullptr, nullptr), 0) << options;
        return h;
    }
    ppd_file_t* ppd_ = nullptr;
};

TEST_F(PpdTest, NamesTheFilterAndLetsItMakeCopies) {
    for (const Printer& printer : kPrinters) {
        SCOPED_TRACE(printer.path);
        Open(printer);
        ASSERT_EQ(ppd_->num_filters, 1);
        EXPECT_STREQ(ppd_->filters[0], "application/vnd.cups-raster 0 raster_to_ZELP");
        EXPECT_FALSE(ppd_->manual_copies);
        EXPECT_EQ(unsigned(ppd_->model_number), printer.headDots == 576 ? 80u : 58u);
    }
}

TEST_F(PpdTest, EveryOptionHasItsNumericChoicesAndDefault) {
    for (const Printer& printer : kPrinters) {
        Open(printer);
        for (const OptionCase& c : kOptions) {
            SCOPED_TRACE(std::string(printer.path) + " " + c.keyword);
            ppd_option_t* option = ppdFindOption(ppd_, c.keyword);
            ASSERT_NE(option, nullptr);
            EXPECT_EQ(option->num_choices, (c.last - c.first) / c.step + 1);
            for (int v = c.first; v <= c.last; v += c.step) {
                ppd_choice_t* choice = ppdFindChoice(option, std::to_string(v).c_str());
                ASSERT_NE(choice, nullptr) << v;
                EXPECT_NE(std::strcmp(choice->text, choice->choice), 0) << "choice " << v << " has no text";
            }
            ppd_choice_t* marked = ppdFindMarkedChoice(ppd_, c.keyword);
            ASSERT_NE(marked, nullptr);
            EXPECT_EQ(std::atoi(marked->choice), c.defaultValue);
        }
    }
}

TEST_F(PpdTest, PagesFitTheHeadAndUseTheKeywordForm) {
    for (const Printer& printer : kPrinters) {
        SCOPED_TRACE(printer.path);
        Open(printer);
        ppd_option_t* sizes = ppdFindOption(ppd_, "PageSize");
        ASSERT_NE(sizes, nullptr);
        EXPECT_GE(sizes->num_choices, 5);
        for (int i = 0; i < sizes->num_choices; ++i) {
            const std::string keyword = sizes->choices[i].choice;
            SCOPED_TRACE(keyword);
            float w = 0, h = 0;
            char tail[8] = "";
            // X<w>MMY<h>MM, whole millimetres here.
            ASSERT_EQ(std::sscanf(keyword.c_str(), "X%fMMY%fMM%7s", &w, &h, tail), 2);
            const cups_page_header2_t header = Header(("PageSize=" + keyword).c_str());
            EXPECT_EQ(header.cupsWidth, printer.headDots);
            EXPECT_NEAR(header.cupsHeight, h / 25.4 * 203, 1.0);
        }
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
            SCOPED_TRACE(std::string(printer.path) + " '" + c.options + "'");
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
