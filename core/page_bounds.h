// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The bound every buffer of a page is held to, decided from its header
// before anything of the page is sent, so that no stream, however small,
// can claim gigabytes.
#ifndef ZELP_CORE_PAGE_BOUNDS_H
#define ZELP_CORE_PAGE_BOUNDS_H

#include <cups/raster.h>

#include <cstdint>

// True when every buffer the page would need on the whole-page route (page
// buffer, page image, turned, grey and two-level images, bitmap) stays
// below `limit` bytes.
bool PageBuffersFit(const cups_page_header2_t& header, int32_t printRotate, int64_t limit);

// Traces "GetRaw:" for a page about to be read.
void TracePageRead(const cups_page_header2_t& header);

#endif
