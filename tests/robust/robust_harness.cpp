// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "robust_harness.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>

#include "printer_commands.h"

namespace zelp::test {

namespace {

// Each option by its PPD keyword.
std::vector<std::pair<const char*, const std::optional<int32_t>*>> Fields(const JobOptions& o) {
    return {
        {"Cutting", &o.Cutting},         {"FeedDist_B", &o.FeedDist_B},         {"FeedDist", &o.FeedDist},
        {"Beeper", &o.Beeper},           {"CashDrawer", &o.CashDrawer},         {"Logo", &o.Logo},
        {"Logo_A", &o.Logo_A},           {"ImageAlgorithm", &o.ImageAlgorithm}, {"BlankSpace", &o.BlankSpace},
        {"PrintRotate", &o.PrintRotate}, {"BMSetting", &o.BMSetting},           {"BMHeight", &o.BMHeight},
        {"BMOffset", &o.BMOffset},       {"BMDistance", &o.BMDistance},         {"Darkness", &o.Darkness},
        {"Speed", &o.Speed},
    };
}

wire::Values Values(const JobOptions& o) {
    wire::Values values;
    for (const auto& [name, value] : Fields(o)) {
        if (value->has_value()) values[name] = **value;
    }
    return values;
}

}  // namespace

OptionDefaults JobOptions::Defaults() const {
    OptionDefaults defaults;
    for (const auto& [name, value] : Fields(*this)) {
        if (value->has_value()) defaults.emplace_back(name, std::to_string(**value));
    }
    return defaults;
}

std::string JobOptions::JobStart() const { return wire::Init() + wire::At(wire::Point::kJobStart, Values(*this)); }
std::string JobOptions::PageStart() const { return wire::At(wire::Point::kPageStart, Values(*this)); }
std::string JobOptions::PageEnd() const { return wire::At(wire::Point::kPageEnd, Values(*this)); }
std::string JobOptions::JobEnd() const { return wire::At(wire::Point::kJobEnd, Values(*this)); }

std::string CancelledJobEnd() { return wire::Init(); }

std::string NormalJob(const JobOptions& options, const std::vector<std::string>& rasters) {
    std::string bytes = options.JobStart();
    for (const std::string& raster : rasters) bytes += options.PageStart() + raster + options.PageEnd();
    return bytes + options.JobEnd();
}

std::string PageMessages(const std::vector<uint32_t>& copies) {
    if (copies.empty()) return "ERROR: No pages found!\n";
    std::string text;
    for (size_t page = 0; page < copies.size(); ++page) {
        text += "PAGE: " + std::to_string(page + 1) + " " + std::to_string(copies[page]) + "\n";
    }
    return text + "INFO: Ready to print.\n";
}

DotBitmap OneBitDots(const RasterPage& page, int32_t rows) {
    const auto height = static_cast<int32_t>(page.header.cupsHeight);
    DotBitmap bitmap = DotBitmap::Blank(static_cast<int32_t>(page.header.cupsWidth), height);
    const size_t bpl = page.header.cupsBytesPerLine;
    const int32_t filled = rows < 0 ? height : std::min(rows, height);
    for (int32_t y = 0; y < filled; ++y) {
        for (uint32_t x = 0; x < page.header.cupsWidth && x / 8 < bpl; ++x) {
            if (page.data[static_cast<size_t>(y) * bpl + x / 8] & (0x80 >> (x % 8))) {
                bitmap.SetDot(static_cast<int32_t>(x), y);
            }
        }
    }
    return bitmap;
}

DotBitmap BlackWhiteDots(const RasterPage& page, int32_t rows, int32_t pixelsPerLine) {
    const auto height = static_cast<int32_t>(page.header.cupsHeight);
    const auto width = static_cast<int32_t>(page.header.cupsWidth);
    DotBitmap bitmap = DotBitmap::Blank(width, height);
    const size_t bpl = page.header.cupsBytesPerLine;
    const size_t bytesPerPixel = page.header.cupsBitsPerPixel / 8;
    const int32_t filled = rows < 0 ? height : std::min(rows, height);
    const int32_t pixels = pixelsPerLine < 0 ? width : std::min(pixelsPerLine, width);
    for (int32_t y = 0; y < filled; ++y) {
        for (int32_t x = 0; x < pixels; ++x) {
            if (page.data[static_cast<size_t>(y) * bpl + static_cast<size_t>(x) * bytesPerPixel] == 0) {
                bitmap.SetDot(x, y);
            }
        }
    }
    return bitmap;
}

std::string Raster(const DotBitmap& bitmap, uint32_t copies) {
    ExpectedBytes bytes;
    for (uint32_t copy = 0; copy < copies; ++copy) bytes.AddBands(bitmap);
    return bytes.Bytes();
}

std::vector<ProcessResult> RunMany(const std::vector<Launch>& launches, size_t parallel) {
    std::vector<ProcessResult> results;
    results.reserve(launches.size());
    for (size_t first = 0; first < launches.size(); first += parallel) {
        const size_t end = std::min(launches.size(), first + parallel);
        std::vector<std::unique_ptr<RunningProcess>> batch;
        std::vector<std::string> failures;
        for (size_t i = first; i < end; ++i) {
            auto child = std::make_unique<RunningProcess>();
            if (child->Start(launches[i])) {
                child->WriteStdin(launches[i].stdinBytes);
                child->CloseStdin();
            }
            batch.push_back(std::move(child));
        }
        for (auto& child : batch) {
            if (!child->Failure().empty()) {
                ProcessResult failed;
                failed.failure = child->Failure();
                results.push_back(failed);
            } else {
                results.push_back(child->Finish());
            }
        }
    }
    return results;
}

pid_t OnlyChildPid() {
    const pid_t self = getpid();
    pid_t found = -1;
    DIR* proc = opendir("/proc");
    if (proc == nullptr) return -1;
    while (const dirent* entry = readdir(proc)) {
        const std::string name = entry->d_name;
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat("/proc/" + name + "/stat");
        std::string text;
        if (!std::getline(stat, text)) continue;
        // pid (comm) state ppid ...; comm may hold spaces and parentheses.
        const size_t close = text.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(text.substr(close + 1));
        std::string state;
        long ppid = 0;
        if (rest >> state >> ppid && ppid == self) {
            if (found != -1) {
                found = -1;  // more than one: not the one we look for
                break;
            }
            found = static_cast<pid_t>(std::stol(name));
        }
    }
    closedir(proc);
    return found;
}

bool CatchesSignal(pid_t pid, int sig) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) != 0) continue;
        const unsigned long long mask = std::strtoull(line.c_str() + 7, nullptr, 16);
        return (mask >> (sig - 1)) & 1u;
    }
    return false;
}

uint32_t RandomSeed() {
    const char* fixed = getenv("ZELP_ROBUST_SEED");
    if (fixed != nullptr && *fixed != '\0') return static_cast<uint32_t>(std::strtoul(fixed, nullptr, 10));
    return std::random_device()();
}

bool SanitizedBuild() {
#ifdef ZELP_ROBUST_SANITIZED
    return true;
#else
    return false;
#endif
}

}  // namespace zelp::test
