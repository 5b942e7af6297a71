// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "pa_actions.h"

#include <fcntl.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <jpeglib.h>

#include "draw.h"
#include "drivers.h"
#include "pa_link.h"
#include "pa_raster.h"
#include "picture.h"
#include "zelp_commands.h"

namespace zelp::pa {

namespace {

// Pictures larger than this many pixels are refused: a receipt has no use
// for them and the decoded picture must stay small.
constexpr uint64_t kMaxPicturePixels = uint64_t{1} << 26;

// Prints a spooled document on the device PAPPL opened for the job.
template <typename Print>
bool PrintSpooled(pappl_job_t* job, pappl_device_t* device, Print print) {
    WarnUnguarded(job);
    if (device == nullptr) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The printer could not be opened.");
        return false;
    }
    return print(job, device);
}

bool ReadWholeFile(const char* path, std::string* bytes) {
    const int fd = open(path, O_RDONLY);
    if (fd < 0) return false;
    char buffer[65536];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) bytes->append(buffer, static_cast<size_t>(got));
    close(fd);
    return got == 0;
}

struct JpegError {
    jpeg_error_mgr manager;
    jmp_buf escape;
    char message[JMSG_LENGTH_MAX];
};

void JpegFail(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    longjmp(error->escape, 1);
}

// Decodes a JPEG file to grey; false with a reason otherwise.
bool DecodeJpegGrey(const std::string& bytes, Picture* out, std::string* reason) {
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = JpegFail;
    error.manager.output_message = [](j_common_ptr) {};  // warnings say nothing a job needs
    // Nothing with a destructor lives between here and a longjmp.
    std::vector<uint8_t>* pixels = &out->pixels;
    if (setjmp(error.escape) != 0) {
        jpeg_destroy_decompress(&info);
        *reason = error.message;
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_GRAYSCALE;
    jpeg_start_decompress(&info);
    const uint64_t count = uint64_t{info.output_width} * info.output_height;
    if (info.output_components != 1 || count == 0 || count > kMaxPicturePixels) {
        jpeg_destroy_decompress(&info);
        *reason = "unusable size or colour";
        return false;
    }
    out->width = static_cast<int>(info.output_width);
    out->height = static_cast<int>(info.output_height);
    out->channels = 1;
    pixels->resize(count);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels->data() + size_t{info.output_scanline} * info.output_width;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool LoadGreyPicture(pappl_job_t* job, Picture* picture, std::string* reason) {
    std::string bytes;
    if (!ReadWholeFile(papplJobGetFilename(job), &bytes)) {
        *reason = "cannot read the document";
        return false;
    }
    const char* format = papplJobGetFormat(job);
    if (format != nullptr && strcmp(format, "image/jpeg") == 0) return DecodeJpegGrey(bytes, picture, reason);
    if (!DecodePng(bytes, picture, reason)) return false;
    if (uint64_t(picture->width) * uint64_t(picture->height) > kMaxPicturePixels) {
        *reason = "picture too large";
        return false;
    }
    *picture = ToGrey(*picture);
    return true;
}

}  // namespace

bool PictureReadable(const std::string& bytes, const char* format, std::string* reason) {
    Picture picture;
    if (format != nullptr && strcmp(format, "image/jpeg") == 0) return DecodeJpegGrey(bytes, &picture, reason);
    if (!DecodePng(bytes, &picture, reason)) return false;
    if (uint64_t(picture.width) * uint64_t(picture.height) > kMaxPicturePixels) {
        *reason = "picture too large";
        return false;
    }
    return true;
}

namespace {

void Identify(pappl_printer_t* printer, pappl_identify_actions_t /*actions*/, const char* /*message*/) {
    // A printer busy with a job is heard soon enough; identify never waits.
    pappl_device_t* device = papplPrinterOpenDevice(printer);
    if (device == nullptr) {
        papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "Identify: the printer is busy or cannot be reached.");
        return;
    }
    const command beep = tableEntry(beeperCommand, 2);
    if (papplDeviceWrite(device, beep.bytes, static_cast<size_t>(beep.count)) < 0) {
        papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN, "Identify: writing to the printer failed.");
    }
    papplDeviceFlush(device);
    papplPrinterCloseDevice(printer);
}

const char* TestPage(pappl_printer_t* printer, char* buffer, size_t size) {
    const Model* model = ModelOfPrinter(printer);
    if (model == nullptr) return nullptr;
    Picture page = DrawReceipt(model->headDots);
    // The printer's name above the receipt, so a shop can tell its printers apart.
    const std::string name = papplPrinterGetName(printer);
    const int band = 2 * kCellHeight + 8;
    Picture framed = MakePicture(page.width, page.height + band, page.channels, 255);
    for (int y = 0; y < page.height; ++y) memcpy(framed.At(0, y + band), page.At(0, y), size_t(page.width) * page.channels);
    DrawText(framed, 4, 4, name.substr(0, static_cast<size_t>((page.width - 8) / (2 * kCellWidth))), 2, kBlack);

    std::string png, reason;
    if (!EncodePng(framed, &png, &reason)) {
        papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "Test page: %s", reason.c_str());
        return nullptr;
    }
    const int fd = papplPrinterOpenFile(printer, buffer, size, nullptr, "testpage", "png", "w");
    if (fd < 0) {
        papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "Test page: cannot create %s.", buffer);
        return nullptr;
    }
    const bool written = write(fd, png.data(), png.size()) == static_cast<ssize_t>(png.size());
    close(fd);
    if (!written) {
        papplLogPrinter(printer, PAPPL_LOGLEVEL_ERROR, "Test page: cannot write %s.", buffer);
        unlink(buffer);
        return nullptr;
    }
    return buffer;
}

// Documents in the printer's own language go out unchanged.
bool CopyRaw(pappl_job_t* job, pappl_device_t* device, bool readStatus);

bool PrintRaw(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
    const Model* model = ModelOfPrinter(papplJobGetPrinter(job));
    if (model == nullptr) return false;
    ZELP_Init_Setting settings{};
    ResolveJobSettings(job, options, *model, &settings);
    return PrintSpooled(job, device, [&settings](pappl_job_t* j, pappl_device_t* d) {
        return CopyRaw(j, d, settings.ReadStatus == 1);
    });
}

bool CopyRaw(pappl_job_t* job, pappl_device_t* device, bool readStatus) {
    const int fd = open(papplJobGetFilename(job), O_RDONLY);
    if (fd < 0) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Cannot open the document.");
        return false;
    }
    papplJobSetImpressions(job, 1);
    // The document's bytes stay as they are: the printer is asked only
    // before them, and the job ends once it has taken them.
    const std::unique_ptr<JobLink> link = JobLink::Open(job, device, readStatus, false);
    char buffer[65536];
    ssize_t got;
    bool ok = true;
    while (ok && (got = read(fd, buffer, sizeof buffer)) > 0) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(buffer);
        ok = link != nullptr ? link->Write(bytes, static_cast<size_t>(got))
                             : papplDeviceWrite(device, buffer, static_cast<size_t>(got)) >= 0;
    }
    close(fd);
    papplDeviceFlush(device);
    if (ok && link != nullptr) ok = link->Finish();
    if (!ok) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Writing to the printer failed.");
        return false;
    }
    papplJobSetImpressionsCompleted(job, 1);
    return true;
}

}  // namespace

void SetActionCallbacks(pappl_pr_driver_data_t* data) {
    data->identify_cb = Identify;
    data->testpage_cb = TestPage;
    data->printfile_cb = PrintRaw;
}

namespace {
bool PrintPicture(pappl_job_t* job, pappl_device_t* device, const Model& model);
}  // namespace

GreyPage LayOutPicture(const unsigned char* grey, uint32_t width, uint32_t height, uint32_t headDots) {
    GreyPage page;
    page.width = headDots;
    if (width == 0 || height == 0 || headDots == 0) return page;
    if (width <= headDots) {
        page.height = height;
        page.rows.assign(size_t{headDots} * height, 255);
        const uint32_t left = (headDots - width) / 2;
        for (uint32_t y = 0; y < height; ++y) {
            memcpy(&page.rows[size_t{y} * headDots + left], grey + size_t{y} * width, width);
        }
        return page;
    }
    // Wider than the head: each dot is the mean of the pixels it covers.
    page.height = static_cast<uint32_t>((uint64_t{height} * headDots + width / 2) / width);
    if (page.height == 0) page.height = 1;
    page.rows.assign(size_t{headDots} * page.height, 255);
    for (uint32_t oy = 0; oy < page.height; ++oy) {
        const uint32_t y0 = static_cast<uint32_t>(uint64_t{oy} * height / page.height);
        uint32_t y1 = static_cast<uint32_t>(uint64_t{oy + 1} * height / page.height);
        if (y1 <= y0) y1 = y0 + 1;
        for (uint32_t ox = 0; ox < headDots; ++ox) {
            const uint32_t x0 = static_cast<uint32_t>(uint64_t{ox} * width / headDots);
            uint32_t x1 = static_cast<uint32_t>(uint64_t{ox + 1} * width / headDots);
            if (x1 <= x0) x1 = x0 + 1;
            uint64_t sum = 0;
            for (uint32_t y = y0; y < y1; ++y) {
                const unsigned char* row = grey + size_t{y} * width;
                for (uint32_t x = x0; x < x1; ++x) sum += row[x];
            }
            const uint64_t count = uint64_t{y1 - y0} * (x1 - x0);
            page.rows[size_t{oy} * headDots + ox] = static_cast<unsigned char>((sum + count / 2) / count);
        }
    }
    return page;
}

bool PictureFilter(pappl_job_t* job, pappl_device_t* device, void* /*context*/) {
    const Model* model = ModelOfPrinter(papplJobGetPrinter(job));
    if (model == nullptr) return false;
    return PrintSpooled(job, device, [model](pappl_job_t* j, pappl_device_t* d) { return PrintPicture(j, d, *model); });
}

namespace {

bool PrintPicture(pappl_job_t* job, pappl_device_t* device, const Model& model) {
    Picture picture;
    std::string reason;
    if (!LoadGreyPicture(job, &picture, &reason)) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Cannot print the picture: %s.", reason.c_str());
        papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
        return false;
    }
    const GreyPage page = LayOutPicture(picture.pixels.data(), static_cast<uint32_t>(picture.width),
                                        static_cast<uint32_t>(picture.height), static_cast<uint32_t>(model.headDots));
    pappl_pr_options_t* options = papplJobCreatePrintOptions(job, 1, false);
    if (options == nullptr) return false;
    const bool ok = PrintGreyPage(job, options, device, page.width, page.height, page.rows.data());
    papplJobDeletePrintOptions(options);
    return ok;
}

}  // namespace

}  // namespace zelp::pa
