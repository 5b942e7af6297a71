// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "page_stream.h"

#include <algorithm>
#include <cstring>

#include "page_image.h"
#include "ximage.h"

namespace {

constexpr uint8_t kThresholdLevel = 127;
constexpr int32_t kThresholdAlgorithm = 1;

}  // namespace

StreamPage::StreamPage(const cups_page_header2_t& header, const ZELP_Init_Setting& settings, int64_t lDelta,
                       PageBands& bands)
    : header_(header),
      lDelta_(lDelta),
      width_(header.cupsWidth),
      bits_(header.cupsBitsPerPixel),
      depth_(CxImage::StoredDepth(header.cupsBitsPerPixel)),
      imageBytes_(std::min<uint64_t>(header.cupsBytesPerLine, CxImage::RowBytes(header.cupsWidth, header.cupsBitsPerPixel))),
      threshold_(settings.ImageAlgorithm == kThresholdAlgorithm),
      bands_(bands),
      imageRow_(static_cast<size_t>(CxImage::RowBytes(header.cupsWidth, header.cupsBitsPerPixel)), 0),
      grey_(static_cast<size_t>(header.cupsWidth), 0),
      dots_(static_cast<size_t>(2 * lDelta), 0) {
    if (bits_ != 1 && !threshold_) diffusion_.reset(new CxFloydSteinbergRows(width_, true));
}

// The bytes of an image row as the page image would hold them: the line's
// first bytes, up to a row, the rest as created (0). 32-bit lines give
// their colour bytes, whole pixels only.
const unsigned char* StreamPage::ImageRow(const unsigned char* line) {
    if (bits_ == 32) {
        // Fewer than the row holds, and the row exists: the count fits.
        const size_t pixels = static_cast<size_t>(std::min<uint64_t>(width_, header_.cupsBytesPerLine / 4));
        for (size_t x = 0; x < pixels; ++x) memcpy(&imageRow_[3 * x], line + 4 * x, 3);
        return imageRow_.data();
    }
    // A line that holds every pixel is read where it is (1-bit rows are
    // copied whole, padding too).
    const uint64_t pixelBytes = (uint64_t{depth_} * width_ + 7) / 8;
    if (bits_ == 1 ? imageBytes_ == imageRow_.size() : header_.cupsBytesPerLine >= pixelBytes) return line;
    memcpy(imageRow_.data(), line, static_cast<size_t>(imageBytes_));  // at most the row
    return imageRow_.data();
}

void StreamPage::Line(const unsigned char* line) {
    const unsigned char* row = ImageRow(line);
    if (bits_ == 1) {
        // 1-bit pages go out as read, bits past the width cleared.
        memcpy(dots_.data(), row, static_cast<size_t>(lDelta_));
        ClearBitsRightOfWidth(dots_.data(), lDelta_, static_cast<int32_t>(width_), 1);
        bands_.Row(dots_.data());
        return;
    }
    const unsigned char* grey = row;
    if (depth_ != 8) {
        CxGreyRow(row, width_, depth_, grey_.data());
        grey = grey_.data();
    }
    if (threshold_) {
        CxThresholdRow(grey, width_, kThresholdLevel, true, dots_.data());
        bands_.Row(dots_.data());
        return;
    }
    Decided(diffusion_->Push(grey, dots_.data(), static_cast<size_t>(lDelta_)));
    // A row that ends a block is decided as soon as the row below it has
    // come, not when a partner for it comes.
    const int64_t first = bands_.FirstSentRow();
    if (first >= 0 && (static_cast<int64_t>(got_) - first) % kBandRows == 0) {
        Decided(diffusion_->Settle(dots_.data()));
    }
}

void StreamPage::Decided(int rows) {
    for (int i = 0; i < rows; ++i) bands_.Row(dots_.data() + i * lDelta_);
}

void StreamPage::Lines(const unsigned char* lines, uint32_t count) {
    count = std::min(count, header_.cupsHeight - got_);
    for (uint32_t i = 0; i < count; ++i, ++got_) Line(lines + uint64_t{i} * header_.cupsBytesPerLine);
    if (diffusion_ != nullptr) Decided(diffusion_->Settle(dots_.data()));
}

void StreamPage::End() {
    uint64_t missing = header_.cupsHeight - got_;
    if (missing > 0) {
        // From the first line that did not come in full, lines are blank.
        // When a blank line covers every pixel its rows print nothing, and
        // so do the rows under it (white stays white under diffusion): they
        // are counted, not converted. Short lines leave pixels black.
        const std::vector<unsigned char> blank(header_.cupsBytesPerLine, BlankLineByte(header_));
        const uint64_t covered = bits_ == 1    ? width_
                                 : bits_ == 32 ? header_.cupsBytesPerLine / 4
                                               : imageBytes_ * 8 / depth_;
        const bool blankRows = covered >= static_cast<uint64_t>(width_);
        const uint64_t converted = !blankRows ? missing : diffusion_ != nullptr ? 1 : 0;
        for (uint64_t i = 0; i < converted; ++i, ++got_) Line(blank.data());
        missing -= converted;
        if (diffusion_ != nullptr) Decided(diffusion_->Finish(dots_.data(), static_cast<size_t>(lDelta_)));
        bands_.BlankRows(missing);
    } else if (diffusion_ != nullptr) {
        Decided(diffusion_->Finish(dots_.data(), static_cast<size_t>(lDelta_)));
    }
    bands_.Finish();
}
