// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "pa_raster.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "drivers.h"
#include "job_guard.h"
#include "ipp_options.h"
#include "output_pacing.h"
#include "pa_link.h"
#include "zelp_job.h"
#include "zelp_options.h"

namespace zelp::pa {

void WarnUnguarded(pappl_job_t* job) {
    if (HoldsPrinter(job)) return;
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The job runs beside another job of its printer: the job guard is not in place.");
}

namespace {

// One job on its way through the core; the job's data while it prints.
struct RasterJob {
    pappl_job_t* job = nullptr;
    pappl_device_t* device = nullptr;
    ZelpJob* core = nullptr;
    const Model* model = nullptr;
    bool stopped = false;     // the core wants no more pages
    bool pageOpen = false;    // a page was begun in the core
    bool printLines = false;  // its lines go to the core
    LineFit fit;
    std::vector<unsigned char> line;
    // The job's copies of the page: its header and lines, kept while the
    // first copy prints.
    int copies = 1;
    cups_page_header2_t header{};
    std::vector<unsigned char> held;
    bool holding = false;
    // The printer's connection when its status is read; the device's
    // plain writes otherwise.
    std::unique_ptr<JobLink> link;
    // Lines that arrived for the page, and how many its header promised.
    uint32_t linesSeen = 0;
    uint32_t linesDue = 0;
    std::unique_ptr<ZelpPacedSink> pacing;  // when the job is paced to its printer
};

// What the printer offers for "copies" (PAPPL's copies-supported, 1-999):
// a page's header asks for copies too, and both together stay within it.
constexpr int kMaxCopies = 999;

// Lines kept for the copies of one page at most; a larger page prints once.
constexpr size_t kMaxHeldBytes = size_t{512} << 20;

bool WriteToDevice(void* context, const unsigned char* bytes, size_t count) {
    auto* state = static_cast<RasterJob*>(context);
    if (count == 0) return true;
    if (papplDeviceWrite(state->device, bytes, count) < 0) {
        errno = EIO;
        return false;
    }
    // Paced bytes leave at once: the pacing reckons from when they went.
    if (state->pacing != nullptr) papplDeviceFlush(state->device);
    return true;
}

bool JobCanceled(void* context) { return papplJobIsCanceled(static_cast<RasterJob*>(context)->job); }

void JobMessage(void* context, const char* text) {
    auto* state = static_cast<RasterJob*>(context);
    std::string line(text != nullptr ? text : "");
    while (!line.empty() && line.back() == '\n') line.pop_back();
    const bool error = line.compare(0, 6, "ERROR:") == 0;
    papplLogJob(state->job, error ? PAPPL_LOGLEVEL_ERROR : PAPPL_LOGLEVEL_DEBUG, "%s", line.c_str());
}

void WarnJob(void* context, const char* text) {
    papplLogJob(static_cast<pappl_job_t*>(context), PAPPL_LOGLEVEL_WARN, "%s", text);
}

// The first cutting a job asks for as finishings (an enum, or a
// finishings-col template), or 0.
int JobFinishings(pappl_job_t* job) {
    if (ipp_attribute_t* attr = papplJobGetAttribute(job, "finishings")) {
        for (int i = 0; i < ippGetCount(attr); ++i) {
            const int value = ippGetInteger(attr, i);
            if (value == IPP_FINISHINGS_NONE || (value >= IPP_FINISHINGS_TRIM_AFTER_PAGES && value <= IPP_FINISHINGS_TRIM_AFTER_JOB)) {
                return value;
            }
        }
    }
    if (ipp_attribute_t* attr = papplJobGetAttribute(job, "finishings-col")) {
        ipp_t* col = ippGetCollection(attr, 0);
        const char* name = ippGetString(ippFindAttribute(col, "finishing-template", IPP_TAG_ZERO), 0, nullptr);
        const int value = name != nullptr ? ippEnumValue("finishings", name) : 0;
        if (value == IPP_FINISHINGS_NONE || (value >= IPP_FINISHINGS_TRIM_AFTER_PAGES && value <= IPP_FINISHINGS_TRIM_AFTER_JOB)) {
            return value;
        }
    }
    return 0;
}

RasterJob* StateOf(pappl_job_t* job) { return static_cast<RasterJob*>(papplJobGetData(job)); }

// Starts the core's job; the caller has claimed the job.
bool OpenJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
    const Model* model = ModelOfPrinter(papplJobGetPrinter(job));
    if (model == nullptr) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The printer has no driver of this program.");
        return false;
    }
    auto* state = new (std::nothrow) RasterJob;
    if (state == nullptr) return false;
    state->job = job;
    state->device = device;
    state->model = model;

    ZELP_Init_Setting settings{};
    ResolveJobSettings(job, options, *model, &settings);

    state->link = JobLink::Open(job, device, settings.ReadStatus == 1, true);
    ZelpJobIo io{};
    const int jobCopies = options != nullptr && options->copies > 1 ? options->copies : 1;
    io.limits.copies = static_cast<uint64_t>(jobCopies < kMaxCopies ? kMaxCopies / jobCopies : 1);
    // Paced over the status link where the printer answers, else straight to the device.
    const ZelpByteSink direct = state->link != nullptr ? state->link->Sink() : ZelpByteSink{state, WriteToDevice, nullptr};
    io.printer = ZelpPaceSink(settings, papplPrinterGetDeviceURI(papplJobGetPrinter(job)), direct, &state->pacing);
    if (state->pacing != nullptr && state->link != nullptr) state->pacing->KeepCommandsWhole();
    io.cancel = ZelpCancelTest{state, JobCanceled};
    io.messages = ZelpMessageSink{state, JobMessage};
    state->core = ZelpStartJob(settings, io);
    if (state->core == nullptr) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "No memory for the job.");
        delete state;
        return false;
    }
    papplJobSetData(job, state);
    return true;
}

bool StartJob(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device) {
    WarnUnguarded(job);
    return OpenJob(job, options, device);
}

bool StartPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* /*device*/, unsigned /*page*/) {
    RasterJob* state = StateOf(job);
    if (state == nullptr) return false;
    state->printLines = false;
    state->pageOpen = false;
    state->linesSeen = 0;
    state->linesDue = options->header.cupsHeight;
    // Once the core has stopped (a cancelled job), pages pass unprinted.
    if (state->stopped) return true;

    state->header = FitPageHeader(options->header, state->model->headDots, &state->fit);
    state->copies = options->copies > 1 ? options->copies : 1;
    const uint32_t headerCopies = state->header.NumCopies;
    if (headerCopies > 1 && uint64_t{headerCopies} * static_cast<uint64_t>(state->copies) > kMaxCopies) {
        papplLogJob(job, PAPPL_LOGLEVEL_WARN, "The page asks for %u copies; it prints %d (at most %d with the job's copies).",
                    headerCopies, kMaxCopies / state->copies, kMaxCopies);
    }
    state->held.clear();
    state->holding = state->copies > 1;
    switch (ZelpStartPage(state->core, state->header)) {
        case ZelpPageAction::kPrint:
            state->pageOpen = true;
            state->printLines = true;
            break;
        case ZelpPageAction::kSkip:
            state->pageOpen = true;
            papplLogJob(job, PAPPL_LOGLEVEL_WARN, "Page of %u x %u at %u bits per pixel cannot be printed.",
                        options->header.cupsWidth, options->header.cupsHeight, options->header.cupsBitsPerPixel);
            break;
        case ZelpPageAction::kStop:
            state->stopped = true;
            break;
    }
    state->line.assign(state->fit.keptBytes, 0);
    return true;
}

bool WriteLine(pappl_job_t* job, pappl_pr_options_t* /*options*/, pappl_device_t* /*device*/, unsigned /*y*/,
               const unsigned char* line) {
    RasterJob* state = StateOf(job);
    if (state == nullptr) return false;
    ++state->linesSeen;
    if (!state->printLines) return true;
    FitLine(state->fit, line, state->line.data());
    if (state->holding) {
        if (state->held.size() + state->line.size() <= kMaxHeldBytes) {
            state->held.insert(state->held.end(), state->line.begin(), state->line.end());
        } else {
            papplLogJob(job, PAPPL_LOGLEVEL_WARN, "The page is too large to keep for its copies; it prints once.");
            state->holding = false;
            state->copies = 1;
            std::vector<unsigned char>().swap(state->held);
        }
    }
    if (!ZelpPageLines(state->core, state->line.data(), 1)) {
        state->printLines = false;
        state->stopped = true;
        return false;
    }
    return true;
}

bool EndPage(pappl_job_t* job, pappl_pr_options_t* /*options*/, pappl_device_t* /*device*/, unsigned /*page*/) {
    RasterJob* state = StateOf(job);
    if (state == nullptr) return false;
    // A stream that ended or fell silent within a page: the job is aborted,
    // not completed (the rows that came are printed).
    const bool cut = state->linesSeen < state->linesDue && !papplJobIsCanceled(job);
    if (cut) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The document ended after %u of the page's %u rows.", state->linesSeen,
                    state->linesDue);
    }
    if (!state->pageOpen) return !cut;
    state->pageOpen = false;
    state->printLines = false;
    if (!ZelpEndPage(state->core)) state->stopped = true;
    // The further copies, each a page of its own.
    const uint32_t rows = state->fit.keptBytes > 0 ? static_cast<uint32_t>(state->held.size() / state->fit.keptBytes) : 0;
    for (int copy = 2; copy <= state->copies && !state->stopped && !cut; ++copy) {
        const ZelpPageAction action = ZelpStartPage(state->core, state->header);
        if (action == ZelpPageAction::kStop) {
            state->stopped = true;
            break;
        }
        if (action == ZelpPageAction::kPrint && rows > 0 && !ZelpPageLines(state->core, state->held.data(), rows)) {
            state->stopped = true;
        }
        if (!ZelpEndPage(state->core)) state->stopped = true;
    }
    std::vector<unsigned char>().swap(state->held);
    state->holding = false;
    papplDeviceFlush(state->device);
    return !cut;
}

// Ends the core's job and frees it; the claim stays with the caller.
bool CloseJob(pappl_job_t* job) {
    RasterJob* state = StateOf(job);
    if (state == nullptr) return false;
    papplJobSetData(job, nullptr);
    const ZelpJobOutcome outcome = ZelpEndJob(state->core);
    papplDeviceFlush(state->device);
    // Done once the printer has taken the job and can print it.
    const bool taken = outcome.printerFailed || state->link == nullptr || state->link->Finish();
    delete state;
    if (outcome.printerFailed || !taken) {
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "Writing to the printer failed.");
        return false;
    }
    return true;
}

bool EndJob(pappl_job_t* job, pappl_pr_options_t* /*options*/, pappl_device_t* /*device*/) {
    return CloseJob(job);
}

}  // namespace

void SetRasterCallbacks(pappl_pr_driver_data_t* data) {
    data->rstartjob_cb = StartJob;
    data->rstartpage_cb = StartPage;
    data->rwriteline_cb = WriteLine;
    data->rendpage_cb = EndPage;
    data->rendjob_cb = EndJob;
}

bool PrintGreyPage(pappl_job_t* job, pappl_pr_options_t* options, pappl_device_t* device, uint32_t width,
                   uint32_t height, const unsigned char* rows) {
    cups_page_header2_t& header = options->header;
    header = cups_page_header2_t{};
    header.HWResolution[0] = header.HWResolution[1] = kResolutionDpi;
    header.cupsWidth = width;
    header.cupsHeight = height;
    header.cupsBitsPerColor = 8;
    header.cupsBitsPerPixel = 8;
    header.cupsBytesPerLine = width;
    header.cupsColorSpace = CUPS_CSPACE_SW;
    header.cupsColorOrder = CUPS_ORDER_CHUNKED;
    header.NumCopies = 1;  // the job's copies follow as pages of their own
    if (!OpenJob(job, options, device)) return false;
    papplJobSetImpressions(job, 1);
    bool ok = StartPage(job, options, device, 0);
    for (uint32_t y = 0; ok && y < height; ++y) ok = WriteLine(job, options, device, y, rows + size_t{y} * width);
    ok = EndPage(job, options, device, 0) && ok;
    ok = CloseJob(job) && ok;
    if (ok) papplJobSetImpressionsCompleted(job, 1);
    return ok;
}

void ResolveJobSettings(pappl_job_t* job, pappl_pr_options_t* options, const Model& model,
                        ZELP_Init_Setting* settings) {
    // Job options hold only what the job gave; the printer's defaults live
    // in its driver attributes.
    ipp_t* printerAttrs = papplPrinterGetDriverAttributes(papplJobGetPrinter(job));
    int count = options != nullptr ? options->num_vendor : 0;
    cups_option_t* given = options != nullptr ? options->vendor : nullptr;
    // Cutting asked for as finishings, unless the job names zelp-cutting.
    cups_option_t* withCut = nullptr;
    const char* cut = cupsGetOption("zelp-cutting", count, given) == nullptr
                          ? CuttingForFinishings(JobFinishings(job),
                                                 AttributeText(ippFindAttribute(printerAttrs, "zelp-cutting-default", IPP_TAG_ZERO)))
                          : nullptr;
    if (cut != nullptr) {
        int withCount = 0;
        for (int i = 0; i < count; ++i) withCount = cupsAddOption(given[i].name, given[i].value, withCount, &withCut);
        count = cupsAddOption("zelp-cutting", cut, withCount, &withCut);
        given = withCut;
    }
    int32_t values[kZelpOptionCount];
    PapplValues pappl;
    if (options != nullptr) pappl = PapplValues{options->print_darkness, options->darkness_configured};
    ResolveOptionValues(count, given, printerAttrs, OptionWarnings{job, WarnJob}, values, nullptr, &pappl);
    cupsFreeOptions(cut != nullptr ? count : 0, withCut);
    ippDelete(printerAttrs);
    ZelpSettingsFromValues(values, model.modelNumber, settings);
}

cups_page_header2_t FitPageHeader(const cups_page_header2_t& arriving, int headDots, LineFit* fit) {
    cups_page_header2_t header = arriving;
    *fit = LineFit{};
    fit->keptBytes = arriving.cupsBytesPerLine;
    const uint32_t bpp = arriving.cupsBitsPerPixel;
    const uint32_t head = static_cast<uint32_t>(headDots);
    if (arriving.cupsWidth > head && bpp > 0 && (bpp % 8 == 0 || 8 % bpp == 0)) {
        uint32_t offsetPixels = (arriving.cupsWidth - head) / 2;
        // Below a byte a pixel, the cut falls on a byte boundary.
        if (bpp < 8) offsetPixels -= offsetPixels % (8 / bpp);
        const uint64_t offsetBytes = uint64_t{offsetPixels} * bpp / 8;
        const uint64_t keptBytes = (uint64_t{head} * bpp + 7) / 8;
        if (offsetBytes + keptBytes <= arriving.cupsBytesPerLine) {
            fit->offsetBytes = static_cast<uint32_t>(offsetBytes);
            fit->keptBytes = static_cast<uint32_t>(keptBytes);
            header.cupsWidth = head;
            header.cupsBytesPerLine = fit->keptBytes;
        }
    }
    if (arriving.cupsBitsPerColor == 8 && arriving.cupsColorSpace == CUPS_CSPACE_K) {
        fit->invert = true;
        header.cupsColorSpace = CUPS_CSPACE_SW;
    }
    if (header.NumCopies == 0) header.NumCopies = 1;
    return header;
}

void FitLine(const LineFit& fit, const unsigned char* line, unsigned char* out) {
    const unsigned char* from = line + fit.offsetBytes;
    if (!fit.invert) {
        memcpy(out, from, fit.keptBytes);
        return;
    }
    for (uint32_t i = 0; i < fit.keptBytes; ++i) out[i] = static_cast<unsigned char>(255 - from[i]);
}

}  // namespace zelp::pa
