// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "debug.h"

#include <cstdio>
#include <cstdlib>

void Dbg_WriteStr(const char* text) {
    // Opened per call: traces are rare and the file must survive a SIGTERM.
    const char* path = getenv("ZELP_TRACE");
    if (path == nullptr || *path == '\0' || text == nullptr) return;
    FILE* log = fopen(path, "a");
    if (log == nullptr) return;
    fputs(text, log);
    fputc('\n', log);
    fclose(log);
}
