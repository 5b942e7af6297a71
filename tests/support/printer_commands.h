// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// The printer's commands as the tests expect them: one table, written out
// by hand from the printer's command set, never taken from the filter's
// own tables, so that a wrong entry there shows. It says, for each option
// that frames the job, what each choice sends at each framing point, in the
// order the printer gets them there; every test that expects framing bytes
// (in C++, and through zelp-wire in shell) takes them from here.
#ifndef ZELP_TESTS_SUPPORT_PRINTER_COMMANDS_H
#define ZELP_TESTS_SUPPORT_PRINTER_COMMANDS_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace zelp::test::wire {

enum class Point { kJobStart, kPageStart, kPageEnd, kJobEnd };

// A job's option values by PPD keyword; an option not named is absent from
// the PPD file (-1), and so is a value of -1.
using Values = std::map<std::string, int32_t>;

// ESC @, the printer initialisation.
std::string Init();

// What the options send at `point` with these values, in sending order.
// The job start's ESC @ is not part of it.
std::string At(Point point, const Values& values);

// The keywords of every option that sends bytes at some point, the black
// mark's parameters among them, in the table's order.
std::vector<std::string> FramingOptions();

// The choice numbers past which an option sends nothing: one past its
// table.
int32_t ChoiceCount(const std::string& keyword);

// The page-start black-mark set-up: 32-bit parameters that wrap, of which
// only the low bytes go out.
std::string BlackMark(int32_t setting, int32_t height, int32_t offset, int32_t distance);

// Bytes from hex text ("1B40").
std::string FromHex(const std::string& hex);

}  // namespace zelp::test::wire

#endif
