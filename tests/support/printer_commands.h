// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The printer's commands as the tests expect them: one table, written out
// by hand from the printer's command set, never taken from the filter's
// own tables, so that a wrong entry there shows.
#ifndef ZELP_TESTS_SUPPORT_PRINTER_COMMANDS_H
#define ZELP_TESTS_SUPPORT_PRINTER_COMMANDS_H

#include <cstdint>
#include <string>

namespace zelp::test::wire {

// ESC @, the printer initialisation.
std::string Init();
// The bytes each option choice sends; nothing for a choice outside the
// table (-1, an absent option, among them).
std::string Feed(int32_t choice);        // FeedDist_B at job start, FeedDist after each page
std::string Beeper(int32_t choice);      // at job end
std::string CashDrawer(int32_t choice);  // 1-3 at job start, 4-6 at job end
std::string Logo(int32_t choice);        // Logo at page start, Logo_A at page end
std::string PageEndCut(int32_t cutting);
std::string JobEndCut(int32_t cutting);

}  // namespace zelp::test::wire

#endif
