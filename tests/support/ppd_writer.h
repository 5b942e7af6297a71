// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Writing small PPD files that libcups's ppdOpenFile accepts, for tests
// that steer a filter through its printer options.
#ifndef ZELP_TESTS_SUPPORT_PPD_WRITER_H
#define ZELP_TESTS_SUPPORT_PPD_WRITER_H

#include <optional>
#include <string>
#include <vector>

namespace zelp::test {

// One PickOne option. Without `defaultChoice` the file has no *Default line
// for it; a default need not name one of the choices.
struct PpdOption {
    std::string keyword;
    std::optional<std::string> defaultChoice;
    std::vector<std::string> choices;
};

struct PpdContents {
    int modelNumber = 20;
    // In file order. An option named "PageSize" gets page-size code for each
    // choice; every other option gets empty code.
    std::vector<PpdOption> options;
};

// The text of the PPD file.
std::string BuildPpd(const PpdContents& contents);

// An option whose choices are the numbers first..last (as text), with the
// given default; the default is added as a choice when it is not among them.
PpdOption NumberedOption(const std::string& keyword, const std::string& defaultChoice, int first = 0,
                         int last = 20);

}  // namespace zelp::test

#endif
