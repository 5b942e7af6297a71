// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// raster_to_ZELP: CUPS raster in, ESC/POS receipt printer bytes out.
//
//   raster_to_ZELP job-id user title copies options [file]
//
// The printer options come from the PPD file named by $PPD, overridden by
// the job's options. Status goes to stderr; stdout carries printer bytes only.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "debug.h"
#include "output_pacing.h"
#include "page_loop.h"
#include "status_link.h"
#include "zelp_cancel.h"
#include "zelp_job.h"
#include "zelp_settings.h"

namespace {

// A page of raster or more, and what Linux lets a user give a pipe.
constexpr int kReadAheadBytes = 1 << 20;

// Opens the raster file read-only; -1 after telling the scheduler why.
int openRasterFile(const char* path) {
    const int fd = open(path, O_RDONLY);
    if (fd < 0) {
        perror("ERROR: Unable to open raster file - ");
        sleep(1);
        Dbg_WriteStr("Failed to open argv 6");
        Dbg_WriteStr(path);
    }
    return fd;
}

// Printer bytes go straight to standard output, whole.
bool writeToStdout(void* /*context*/, const unsigned char* bytes, size_t count) {
    while (count > 0) {
        const ssize_t n = write(STDOUT_FILENO, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

bool canceledBySignal(void* /*context*/) {
    return Canceled != 0;
}

void messageToStderr(void* /*context*/, const char* line) {
    fputs(line, stderr);
}

int reportOutcome(const ZelpJobOutcome& outcome) {
    if (outcome.printerFailed) return 1;  // the job told the scheduler why
    if (outcome.pages == 0) {
        Dbg_WriteStr("page == 0");
        fputs("ERROR: No pages found!\n", stderr);
        return 1;
    }
    fputs("INFO: Ready to print.\n", stderr);
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 6 || argc > 7) {
        fputs("ERROR: raster_to_ZELP job-id user title copies options [file]\n", stderr);
        Dbg_WriteStr("grgc<6 || argc>7");
        return 1;
    }
    // A backend that has gone closes our standard output: the write that
    // finds it so fails and says why, instead of the filter dying unheard.
    signal(SIGPIPE, SIG_IGN);
    int fd = 0;
    if (argc == 7 && (fd = openRasterFile(argv[6])) < 0) return 1;

    ZELP_Init_Setting settings;
    if (GetPrinterSettings(argv[5], &settings) != 0) {
        if (fd != 0) close(fd);
        return 1;
    }
    RegCancelSig();
    // The printer's status is read only where the backend passes its
    // answers back; everywhere else the bytes are those of a printer never
    // asked.
    StatusLink link;
    const bool listening = settings.ReadStatus == 1 && link.Open(settings.modelNumber);
    const ZelpByteSink device = listening ? link.Sink() : ZelpByteSink{nullptr, writeToStdout, nullptr};
    // The scheduler names the printer: the job keeps to its pace.
    std::unique_ptr<ZelpPacedSink> pacing;
    const ZelpByteSink printer = ZelpPaceSink(settings, getenv("DEVICE_URI"), device, &pacing);
    if (pacing != nullptr && listening) pacing->KeepCommandsWhole();
    // Paced, the filter reads no faster than the printer prints: a larger
    // pipe lets the filter before it render the next page meanwhile.
    if (pacing != nullptr) fcntl(fd, F_SETPIPE_SZ, kReadAheadBytes);
    const ZelpJobIo io{printer, {nullptr, canceledBySignal}, {nullptr, messageToStderr}, {}};
    ZelpJobOutcome outcome = PrintRasterJob(fd, settings, io);
    if (listening && !outcome.printerFailed) {
        link.Finish();
        outcome.printerFailed = link.LostConnection();
    }
    signal(SIGTERM, SIG_IGN);

    if (fd != 0) close(fd);
    return reportOutcome(outcome);
}
