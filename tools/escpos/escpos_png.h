// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Writing a picture of the paper as a PNG file: one pixel per printer dot,
// white paper, black dots, first dot row at the top.
#ifndef ZELP_TOOLS_ESCPOS_PNG_H
#define ZELP_TOOLS_ESCPOS_PNG_H

#include <string>

#include "escpos_render.h"

namespace zelp::escpos {

// Writes `picture` to `path` as a 1-bit grey PNG. A picture without rows
// is written as one blank row, the least a PNG holds. False, with `error`
// set, when the file cannot be written or a PNG cannot hold the picture.
bool WritePicturePng(const std::string& path, const Picture& picture, std::string* error);

}  // namespace zelp::escpos

#endif
