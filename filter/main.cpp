// raster_to_ZELP: CUPS raster in, ESC/POS receipt printer bytes out.
//
//   raster_to_ZELP job-id user title copies options [file]
//
// The printer options come from the PPD file named by $PPD, overridden by
// the job's options. Status goes to stderr; stdout carries printer bytes only.
#include <cups/raster.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "debug.h"
#include "page_loop.h"
#include "raster_input.h"
#include "zelp_cancel.h"
#include "zelp_commands.h"
#include "zelp_settings.h"

namespace {

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

int reportOutcome(int pages) {
    if (pages == 0) {
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
    int fd = 0;
    if (argc == 7 && (fd = openRasterFile(argv[6])) < 0) return 1;

    ZELP_Init_Setting settings;
    if (GetPrinterSettings(argv[5], &settings) != 0) {
        if (fd != 0) close(fd);
        return 1;
    }
    RegCancelSig();
    jobSetup(settings);

    cups_raster_t* ras = OpenRasterInput(fd);
    const int pages = ZelpPrintFlow(ras, &settings);
    endJob(settings);

    CloseRasterInput(ras);
    if (fd != 0) close(fd);
    return reportOutcome(pages);
}
