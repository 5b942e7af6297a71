// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// One print job through the page core.
#include "zelp_job.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include "debug.h"
#include "page_bounds.h"
#include "page_image.h"
#include "page_stream.h"
#include "printer_output.h"
#include "raster_bands.h"
#include "ximage.h"
#include "zelp_commands.h"

struct ZelpJob {
    ZelpJob(const ZELP_Init_Setting& s, const ZelpJobIo& io) : settings(s), io(io), out(io.printer, io.messages) {}

    bool Canceled() const { return io.cancel.canceled != nullptr && io.cancel.canceled(io.cancel.context); }

    ZELP_Init_Setting settings;
    ZelpJobIo io;
    ZelpOutput out;
    int pages = 0;
    // The page being printed: at most one of the routes is in use.
    cups_page_header2_t header{};
    bool inPage = false;
    std::unique_ptr<PageBands> bands;
    std::unique_ptr<StreamPage> stream;
    std::unique_ptr<WholePage> whole;
};

namespace {

bool Turned(const ZELP_Init_Setting& settings) {
    return settings.PrintRotate >= 1 && settings.PrintRotate <= 3;
}

uint64_t CopiesOf(const ZelpJob& job) {
    return job.header.NumCopies < job.io.limits.copies ? job.header.NumCopies : job.io.limits.copies;
}

// Every page is decided from its header, as the image library would decide
// it on the whole-page route: a depth it does not take, a size it does not
// create, or (turned or not) rows too wide for a raster block. False after
// telling the user, when the page is to be skipped.
bool PagePrintable(ZelpJob& job) {
    const cups_page_header2_t& h = job.header;
    const uint32_t bits = h.cupsBitsPerPixel;
    if (!CxImage::IsArrayDepth(bits) || !CxImage::SizeAllowed(h.cupsWidth, h.cupsHeight, bits)) {
        // Lines that would have gone straight into the page image report
        // the image they could not get; the others fail quietly.
        const bool straight = bits != 32 && CxImage::IsArrayDepth(bits) && h.cupsWidth > 0 &&
                              h.cupsBytesPerLine <= CxImage::RowBytes(h.cupsWidth, bits);
        if (straight) job.out.Message("ERROR: Unable to allocate memory\n");
        return false;
    }
    uint64_t width = h.cupsWidth;
    uint64_t height = h.cupsHeight;
    if (Turned(job.settings)) {
        CxImage::RotatedSize(90.0f * static_cast<float>(job.settings.PrintRotate), h.cupsWidth, h.cupsHeight, &width,
                             &height);
        // A turn the image library cannot hold leaves no picture: quietly.
        if (!CxImage::SizeAllowed(width, height, bits)) return false;
    }
    const uint64_t lDelta = CxImage::RowBytes(width, 1);
    if (lDelta > static_cast<uint64_t>(kMaxBandRowBytes)) {
        ReportTooWide(job.out, static_cast<int64_t>(std::min<uint64_t>(lDelta, INT64_MAX)));
        return false;
    }
    return true;
}

// A page that is not turned streams: its lines become bands as they come.
ZelpPageAction StartStream(ZelpJob& job) {
    const cups_page_header2_t& h = job.header;
    char text[512] = {};
    snprintf(text, sizeof text, "ImageA:%d %d", job.settings.ImageAlgorithm,
             static_cast<int>(CxImage::StoredDepth(h.cupsBitsPerPixel)));
    Dbg_WriteStr(text);
    const int64_t lDelta = static_cast<int64_t>(CxImage::RowBytes(h.cupsWidth, 1));
    TraceNumbers("cjBits=%d,lDelta=%d,cx=%d,cy=%d", lDelta * h.cupsHeight, lDelta, h.cupsWidth, h.cupsHeight);
    job.bands.reset(new (std::nothrow) PageBands(job.out, job.settings, lDelta, h.cupsWidth, CopiesOf(job)));
    if (job.bands != nullptr) job.stream.reset(new (std::nothrow) StreamPage(h, job.settings, lDelta, *job.bands));
    if (job.stream == nullptr) {
        job.out.Message("ERROR: Unable to allocate memory\n");
        return ZelpPageAction::kSkip;
    }
    return ZelpPageAction::kPrint;
}

ZelpPageAction StartWhole(ZelpJob& job) {
    job.whole.reset(new (std::nothrow) WholePage());
    if (job.whole == nullptr || !job.whole->Begin(job.header, job.out)) {
        if (job.whole == nullptr) job.out.Message("ERROR: Unable to allocate memory\n");
        job.whole.reset();
        return ZelpPageAction::kSkip;
    }
    return ZelpPageAction::kPrint;
}

}  // namespace

ZelpJob* ZelpStartJob(const ZELP_Init_Setting& settings, const ZelpJobIo& io) {
    ZelpJob* job = new (std::nothrow) ZelpJob(settings, io);
    if (job == nullptr) return nullptr;
    jobSetup(job->out, settings, job->Canceled());
    job->out.Deliver();
    return job;
}

ZelpPageAction ZelpStartPage(ZelpJob* job, const cups_page_header2_t& header) {
    if (job->out.Failed()) return ZelpPageAction::kStop;
    if (header.cupsHeight == 0 || header.cupsBytesPerLine == 0) {
        Dbg_WriteStr("header.cupsHeight == 0");
        return ZelpPageAction::kStop;
    }
    if (job->Canceled()) return ZelpPageAction::kStop;
    ZelpPageSetup(job->out, job->settings);
    job->header = header;
    job->inPage = true;
    ++job->pages;
    char line[128];
    snprintf(line, sizeof line, "PAGE: %d %d\n", job->pages, static_cast<int>(header.NumCopies));
    job->out.Message(line);
    char text[2048] = {};
    snprintf(text, sizeof text, "cupsBitsPerColor=%d,cupsBytesPerLine=%d,cupsHeight=%d", header.cupsBitsPerColor,
             header.cupsBytesPerLine, header.cupsHeight);
    Dbg_WriteStr(text);

    ZelpPageAction action = ZelpPageAction::kSkip;
    if (!PageBuffersFit(header, job->settings.PrintRotate, job->io.limits.pageBufferBytes)) {
        job->out.Message("ERROR: Unable to allocate memory\n");
    } else {
        TracePageRead(header);
        if (PagePrintable(*job)) action = Turned(job->settings) ? StartWhole(*job) : StartStream(*job);
    }
    job->out.Deliver();
    return job->out.Failed() ? ZelpPageAction::kStop : action;
}

bool ZelpPageLines(ZelpJob* job, const unsigned char* lines, uint32_t count) {
    if (job->out.Failed()) return false;
    // A turned page sends nothing before its end: once cancelled, its
    // remaining lines are not worth reading.
    if (job->whole != nullptr && job->Canceled()) return false;
    if (job->stream != nullptr) job->stream->Lines(lines, count);
    if (job->whole != nullptr) job->whole->Lines(lines, count, job->out);
    return job->out.Deliver();
}

bool ZelpEndPage(ZelpJob* job) {
    if (job->inPage) {
        if (job->stream != nullptr) job->stream->End();
        if (job->whole != nullptr) job->whole->End(job->out, job->settings, CopiesOf(*job), job->io.cancel);
        job->stream.reset();
        job->bands.reset();
        job->whole.reset();
        job->inPage = false;
        endPage(job->out, job->settings, job->Canceled());
    }
    return job->out.Deliver() && !job->Canceled();
}

ZelpJobOutcome ZelpEndJob(ZelpJob* job) {
    // A page the front end left open is ended, unless the printer is gone.
    if (job->inPage && !job->out.Failed()) ZelpEndPage(job);
    endJob(job->out, job->settings, job->Canceled());
    job->out.Deliver();
    const ZelpJobOutcome outcome{job->pages, job->out.Failed()};
    delete job;
    return outcome;
}
