// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The escpos-preview program as a user runs it: a picture the right way up
// and not inverted, and a clear failure for a malformed stream.
#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class PreviewProgram : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/escpos-preview-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        for (const char* name : {"in.bin", "out.png", "stdout", "stderr"}) {
            std::remove((dir_ + "/" + name).c_str());
        }
        rmdir(dir_.c_str());
    }

    // Runs the program on `bytes` with `options`; returns its exit status.
    int Run(const std::vector<uint8_t>& bytes, const std::string& options) {
        std::ofstream(dir_ + "/in.bin", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        const std::string command = std::string("'") + ESCPOS_PREVIEW_PATH + "' " + options + " '" +
                                    dir_ + "/in.bin' >'" + dir_ + "/stdout' 2>'" + dir_ + "/stderr'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    std::string Read(const char* name) const {
        std::ifstream in(dir_ + "/" + name, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string dir_;
};

TEST_F(PreviewProgram, PictureIsRightWayUpAndBlackOnWhite) {
    // One byte wide: a dot top left, a dot bottom right, then one line of feed.
    const std::vector<uint8_t> stream = {0x1D, 0x76, 0x30, 0x00, 0x01, 0x00, 0x02, 0x00,
                                         0x80, 0x01, 0x1B, 0x64, 0x01};
    ASSERT_EQ(Run(stream, "--summary -o '" + dir_ + "/out.png'"), 0) << Read("stderr");
    EXPECT_NE(Read("stdout").find("dots_set: 2\n"), std::string::npos) << Read("stdout");

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, (dir_ + "/out.png").c_str())) << image.message;
    image.format = PNG_FORMAT_GRAY;
    std::vector<uint8_t> grey(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, grey.data(), 0, nullptr)) << image.message;
    ASSERT_EQ(image.width, 8u);
    ASSERT_EQ(image.height, 32u);  // two band rows and one 30-dot line
    for (uint32_t y = 0; y < image.height; ++y) {
        for (uint32_t x = 0; x < image.width; ++x) {
            const bool dot = (x == 0 && y == 0) || (x == 7 && y == 1);
            EXPECT_EQ(grey[y * image.width + x], dot ? 0 : 255) << "x " << x << " y " << y;
        }
    }
}

// The paper is as wide as the print head given, so a narrow band shows the
// blank paper beside it; a band wider than that widens the paper.
TEST_F(PreviewProgram, PaperAtTheHeadsWidth) {
    // A band 60 bytes (480 dots) wide, one row.
    std::vector<uint8_t> stream = {0x1D, 0x76, 0x30, 0x00, 60, 0x00, 0x01, 0x00};
    stream.resize(stream.size() + 60, 0x80);
    const struct {
        const char* options;
        int status;
        const char* paper;  // paper_width_dots, or the start of the message
    } cases[] = {
        {"", 0, "480"},
        {"--head-dots 576", 0, "576"},
        {"--head-dots 384", 0, "480"},
        {"--head-dots 0", 2, "escpos-preview: --head-dots needs a number of dots"},
        {"--head-dots", 2, "escpos-preview: --head-dots needs a number of dots"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        ASSERT_EQ(Run(stream, std::string("--summary ") + c.options), c.status) << Read("stderr");
        if (c.status == 0) {
            EXPECT_NE(Read("stdout").find(std::string("paper_width_dots: ") + c.paper + "\n"), std::string::npos)
                << Read("stdout");
        } else {
            EXPECT_EQ(Read("stderr").rfind(c.paper, 0), 0u) << Read("stderr");
        }
    }
}

TEST_F(PreviewProgram, MalformedStreamFailsWithTheOffset) {
    const std::vector<uint8_t> stream = {0x1B, 0x40, 0x1D, 0x76, 0x30, 0x00, 0x02, 0x00, 0x18, 0x00, 0xFF};
    EXPECT_EQ(Run(stream, "--log -o '" + dir_ + "/out.png'"), 1);
    EXPECT_NE(Read("stderr").find("escpos-preview: truncated GS v 0 block"), std::string::npos)
        << Read("stderr");
    EXPECT_NE(Read("stderr").find(" at byte offset 2\n"), std::string::npos) << Read("stderr");
    // The commands before the fault are still listed; no picture is left.
    EXPECT_EQ(Read("stdout"), "000000 ESC @\n");
    EXPECT_FALSE(std::ifstream(dir_ + "/out.png").good());
}

}  // namespace
