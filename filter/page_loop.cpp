#include "page_loop.h"

#include <cstdio>
#include <cstring>

#include "debug.h"
#include "page_image.h"
#include "zelp_cancel.h"
#include "zelp_commands.h"

namespace {
char g_dbgBuffer[2048];
}

int ZelpPrintFlow(cups_raster_t* ras, ZELP_Init_Setting* settings) {
    cups_page_header2_t header;
    int page = 0;
    while (ras != nullptr && cupsRasterReadHeader2(ras, &header)) {
        if (header.cupsHeight == 0 || header.cupsBytesPerLine == 0) {
            Dbg_WriteStr("header.cupsHeight == 0");
            break;
        }
        if (Canceled) break;
        ZelpPageSetup(*settings);
        // The record points at the loop's header only while the loop runs;
        // it is set back to null before the loop returns.
        // cppcheck-suppress autoVariables
        settings->pageHeader = &header;
        ++page;
        fprintf(stderr, "PAGE: %d %d\n", page, header.NumCopies);
        memset(g_dbgBuffer, 0, sizeof g_dbgBuffer);
        snprintf(g_dbgBuffer, sizeof g_dbgBuffer, "cupsBitsPerColor=%d,cupsBytesPerLine=%d,cupsHeight=%d",
                 header.cupsBitsPerColor, header.cupsBytesPerLine, header.cupsHeight);
        Dbg_WriteStr(g_dbgBuffer);
        ZelpPrintImage(ras, &header, settings);
        endPage(*settings);
        if (Canceled) break;
    }
    // The header dies with the loop; nothing after it may point there.
    settings->pageHeader = nullptr;
    return page;
}
