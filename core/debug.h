// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Trace hook. Text is dropped unless ZELP_TRACE names a file, in which case
// each text is appended there as one line. Never touches stdout or stderr.
#ifndef ZELP_FILTER_DEBUG_H
#define ZELP_FILTER_DEBUG_H

void Dbg_WriteStr(const char* text);

#endif
