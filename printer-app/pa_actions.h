// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// What the printer does besides printing jobs through PAPPL's raster path:
// identify (the beeper), the test page, and pictures at their natural size.
#ifndef ZELP_PA_ACTIONS_H
#define ZELP_PA_ACTIONS_H

#include <pappl/pappl.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zelp::pa {

// Sets the identify and test-page callbacks in the driver data.
void SetActionCallbacks(pappl_pr_driver_data_t* data);

// pappl_mime_filter_cb_t for image/png and image/jpeg: one dot a pixel.
bool PictureFilter(pappl_job_t* job, pappl_device_t* device, void* context);

// Whether a PNG or JPEG file's bytes decode into a picture that prints;
// the reason otherwise.
bool PictureReadable(const std::string& bytes, const char* format, std::string* reason);

// A grey picture (0 black) laid onto a head `headDots` wide: one pixel a
// dot and centred when it fits, else scaled down to the head's width.
struct GreyPage {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<unsigned char> rows;
};
GreyPage LayOutPicture(const unsigned char* grey, uint32_t width, uint32_t height, uint32_t headDots);

}  // namespace zelp::pa

#endif
