// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The printer-side reader against the whole-stream decoder: the same
// commands whatever the pieces the bytes come in, real-time commands found
// wherever they are, and garbage read to the last byte.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "escpos_decode.h"
#include "escpos_stream.h"

namespace zelp::escpos {
namespace {

using Bytes = std::vector<uint8_t>;

void Append(Bytes* to, const Bytes& bytes) { to->insert(to->end(), bytes.begin(), bytes.end()); }

// A stream of the filter's commands, bands of random size and content.
Bytes RandomJob(std::mt19937* rng) {
    auto pick = [rng](uint32_t below) { return static_cast<uint32_t>((*rng)() % below); };
    Bytes job = {0x1B, 0x40};
    const uint32_t count = 1 + pick(30);
    for (uint32_t i = 0; i < count; ++i) {
        switch (pick(6)) {
            case 0: {
                const uint32_t width = pick(80), rows = pick(30);
                Append(&job, {0x1D, 0x76, 0x30, 0x00, static_cast<uint8_t>(width), 0,
                              static_cast<uint8_t>(rows), 0});
                for (uint32_t b = 0; b < width * rows; ++b) job.push_back(static_cast<uint8_t>(pick(256)));
                break;
            }
            case 1: Append(&job, {0x1B, 0x64, static_cast<uint8_t>(pick(256))}); break;
            case 2: Append(&job, {0x1B, 0x33, static_cast<uint8_t>(pick(256))}); break;
            case 3: Append(&job, {0x1D, 0x28, 0x46, 0x04, 0x00, 0x01, 0x00, 0x10, 0x00}); break;
            case 4: Append(&job, {0x1F, 0x1B, 0x1F, 0x81, 0x04, 0x05, 0x06, 0x01, 0x20}); break;
            default: Append(&job, {0x1B, 0x6D}); break;
        }
    }
    return job;
}

// "kind:listing" per command, bands as their header listing plus their rows.
std::vector<std::string> WholeStream(const Bytes& bytes) {
    const DecodeResult result = Decode(bytes.data(), bytes.size());
    EXPECT_TRUE(result.ok) << result.error;
    std::vector<std::string> out;
    for (const Command& c : result.commands) {
        out.push_back(FormatCommand(c));
        for (uint32_t r = 0; r < c.rows && c.kind == CommandKind::RasterBand; ++r) {
            out.push_back(std::string(c.data + r * c.widthBytes, c.data + (r + 1) * c.widthBytes));
        }
    }
    return out;
}

// The reader's items the same way; pieces of random size up to `maxPiece`.
std::vector<std::string> InPieces(const Bytes& bytes, size_t maxPiece, std::mt19937* rng) {
    StreamReader reader;
    std::vector<std::string> out;
    size_t at = 0;
    // Blocks of empty rows take no bytes: the bound allows for a few.
    for (size_t guard = 0; guard < 10 * bytes.size() + 1000000; ++guard) {
        const size_t piece = std::min(bytes.size() - at, 1 + (*rng)() % maxPiece);
        Item item;
        bool ready = false;
        at += reader.Take(bytes.data() + at, piece, &item, &ready);
        if (!ready) {
            if (at == bytes.size()) break;
            continue;
        }
        if (item.kind == ItemKind::BandRow) {
            out.emplace_back(item.row, item.row + item.rowSize);
        } else {
            out.push_back(FormatCommand(item.command));
        }
    }
    EXPECT_EQ(at, bytes.size());
    EXPECT_EQ(reader.Taken(), bytes.size());
    return out;
}

TEST(StreamReader, SameCommandsAsTheWholeStreamInAnyPieces) {
    std::mt19937 rng(1501);
    for (int run = 0; run < 200; ++run) {
        const Bytes job = RandomJob(&rng);
        const std::vector<std::string> whole = WholeStream(job);
        for (size_t maxPiece : {size_t{1}, size_t{7}, size_t{4096}}) {
            ASSERT_EQ(InPieces(job, maxPiece, &rng), whole) << "run " << run << " pieces " << maxPiece;
        }
    }
}

struct RealtimeCase {
    const char* name;
    Bytes bytes;
    std::vector<size_t> offsets;  // of the DLE EOT found, in order
};

TEST(RealtimeScanner, FindsStatusRequestsWhereverTheyAre) {
    const RealtimeCase cases[] = {
        {"between commands", {0x1B, 0x40, 0x10, 0x04, 0x01, 0x1B, 0x6D}, {2}},
        {"inside band rows", {0x1D, 0x76, 0x30, 0x00, 0x04, 0x00, 0x01, 0x00, 0xFF, 0x10, 0x04, 0x04}, {9}},
        {"after a broken one", {0x10, 0x10, 0x04, 0x02, 0x10, 0x04, 0x09, 0x10, 0x04, 0x03}, {1, 7}},
        {"n out of range", {0x10, 0x04, 0x00, 0x10, 0x04, 0x05}, {}},
    };
    for (const RealtimeCase& tc : cases) {
        RealtimeScanner scanner;
        std::vector<size_t> found;
        for (uint8_t byte : tc.bytes) {
            Item item;
            if (scanner.Push(byte, &item)) {
                EXPECT_EQ(item.kind, ItemKind::StatusRequest) << tc.name;
                found.push_back(item.offset);
            }
        }
        EXPECT_EQ(found, tc.offsets) << tc.name;
    }
}

TEST(StreamReader, GarbageIsReadToTheLastByte) {
    std::mt19937 rng(77);
    for (int run = 0; run < 300; ++run) {
        Bytes garbage(1 + rng() % 3000);
        for (uint8_t& b : garbage) {
            // Mostly command bytes, so long headers and prefixes come up.
            const uint8_t common[] = {0x10, 0x1B, 0x1D, 0x1F, 0x04, 0x76, 0x30, 0x28};
            b = rng() % 2 ? common[rng() % sizeof common] : static_cast<uint8_t>(rng());
        }
        InPieces(garbage, 64, &rng);
    }
}

}  // namespace
}  // namespace zelp::escpos
