// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// What a printer says back, read against what was sent to it: the bytes
// here are written out by hand from the printers' command references, not
// taken from the core's tables.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "printer_link.h"
#include "printer_status.h"

namespace {

using Bytes = std::vector<unsigned char>;

// DLE EOT 1, 2, 3, 4.
const Bytes kQuery = {0x10, 0x04, 0x01, 0x10, 0x04, 0x02, 0x10, 0x04, 0x03, 0x10, 0x04, 0x04};

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words) text += (text.empty() ? "" : ",") + w;
    return text;
}

struct ReaderCase {
    const char* name;
    Bytes sent;
    Bytes received;
    const char* ippReasons;
    const char* cupsReasons;
    bool canPrint;
    uint64_t unexplained;
};

std::vector<ReaderCase> ReaderCases() {
    // A raster block of one row whose data holds DLE EOT 2: the printer
    // answers it as it arrives, ahead of the query sent after it.
    const Bytes rasterWithRequest = {0x1D, 0x76, 0x30, 0x00, 0x03, 0x00, 0x01, 0x00, 0x10, 0x04, 0x02};
    return {
        {"ready", kQuery, {0x12, 0x12, 0x12, 0x12}, "", "", true, 0},
        // Offline, stopped by paper end, roll near end and end (an empty
        // roll is not reported as running low too).
        {"paper_out", kQuery, {0x1A, 0x32, 0x12, 0x7E}, "media-empty", "media-empty-error",
         false, 0},
        {"cover_open", kQuery, {0x1A, 0x16, 0x12, 0x12}, "cover-open", "cover-open-error", false, 0},
        {"near_end", kQuery, {0x12, 0x12, 0x12, 0x1E}, "media-low", "media-low-report", true, 0},
        // Offline with an error, the error an autocutter's.
        {"cutter_error", kQuery, {0x1A, 0x52, 0x1A, 0x12}, "other", "other-error", false, 0},
        // Automatic status back (paper out) between two answers: the later
        // answers still go with the requests they answer.
        {"asb_between_answers", kQuery, {0x1A, 0x32, 0x18, 0x00, 0x0F, 0x00, 0x12, 0x7E}, "media-empty",
         "media-empty-error", false, 0},
        // A request inside raster data is answered first; taken for the
        // query's first answer, 0x32 would read as an unrecoverable error.
        {"request_inside_raster", Join({rasterWithRequest, kQuery}), {0x12, 0x1A, 0x32, 0x12, 0x7E},
         "media-empty", "media-empty-error", false, 0},
        // Noise that is neither an answer nor automatic status back.
        {"noise", kQuery, {0xFF, 0x12, 0x12, 0x12, 0x12}, "", "", true, 1},
        // Answers to requests never sent explain nothing.
        {"unasked_answers", {}, {0x1A, 0x32}, "", "", true, 2},
    };
}

void PrintTo(const ReaderCase& c, std::ostream* os) { *os << c.name; }

class StatusReaderTest : public ::testing::TestWithParam<ReaderCase> {};

TEST_P(StatusReaderTest, ReadsTheStateTheBytesSay) {
    const ReaderCase& c = GetParam();
    // Byte by byte and all at once read alike.
    for (const bool piecewise : {false, true}) {
        ZelpStatusReader reader;
        reader.Sent(c.sent.data(), c.sent.size());
        if (piecewise) {
            for (unsigned char byte : c.received) reader.Received(&byte, 1);
        } else {
            reader.Received(c.received.data(), c.received.size());
        }
        EXPECT_EQ(Joined(ZelpReasonsOf(reader.State(), false)), c.ippReasons) << "piecewise " << piecewise;
        EXPECT_EQ(Joined(ZelpReasonsOf(reader.State(), true)), c.cupsReasons) << "piecewise " << piecewise;
        EXPECT_EQ(reader.State().CanPrint(), c.canPrint);
        EXPECT_EQ(reader.Unexplained(), c.unexplained);
        EXPECT_EQ(reader.AnswersDue(), 0u);
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, StatusReaderTest, ::testing::ValuesIn(ReaderCases()),
                         [](const ::testing::TestParamInfo<ReaderCase>& info) { return info.param.name; });

// The job's outline against a printer, with the clock in the test's hands.
struct Printer {
    ZelpPrinterLink link{0.0, true, 0};
    double now = 0;

    void Send(const Bytes& bytes) { link.Sent(bytes.data(), bytes.size()); }
    Bytes Requests() {
        Bytes out;
        link.TakeRequests(now, &out);
        Send(out);
        return out;
    }
    void Answer(const Bytes& bytes) { link.Received(bytes.data(), bytes.size(), now); }
};

TEST(PrinterLink, APrinterThatNeverAnswersHoldsTheJobAboutASecond) {
    Printer p;
    EXPECT_EQ(p.Requests(), kQuery);
    p.now = 0.9;
    EXPECT_FALSE(p.link.MaySend(p.now));
    p.now = 1.05;
    EXPECT_TRUE(p.link.MaySend(p.now));
    EXPECT_EQ(p.link.Phase(), ZelpLinkPhase::kSilent);
    EXPECT_TRUE(p.link.State().CanPrint());
    // Nothing more is asked of it.
    p.now = 5;
    EXPECT_TRUE(p.Requests().empty());
    p.link.Finish(p.now);
    EXPECT_EQ(p.link.Finished(p.now, true), ZelpLinkEnd::kDone);
}

TEST(PrinterLink, TheJobWaitsWhileThePaperIsOutAndGoesOnOnceLoaded) {
    Printer p;
    p.Requests();
    p.Answer({0x1A, 0x32, 0x12, 0x7E});
    EXPECT_FALSE(p.link.MaySend(p.now));
    EXPECT_TRUE(p.link.State().paperOut);
    // Asked again while it waits; paper loaded, it answers ready.
    for (int tick = 1; tick <= 30 && !p.link.MaySend(p.now); ++tick) {
        p.now = tick * 0.1;
        const Bytes asked = p.Requests();
        if (asked == kQuery) p.Answer(p.now < 2 ? Bytes{0x1A, 0x32, 0x12, 0x7E} : Bytes{0x12, 0x12, 0x12, 0x12});
        // GS a: automatic status back, all clear.
        if (asked.size() == 3 && asked[0] == 0x1D && asked[1] == 0x61) p.Answer({0x10, 0x00, 0x00, 0x00});
    }
    EXPECT_GE(p.now, 2.0);
    EXPECT_TRUE(p.link.MaySend(p.now));
    EXPECT_EQ(Joined(ZelpReasonsOf(p.link.State(), true)), "");
}

}  // namespace
