// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// zelp-wire: the tests' table of printer commands for the shell tests.
//
//   zelp-wire options                        the framing options' keywords, one a line
//   zelp-wire POINT [KEYWORD=NUMBER...]      the bytes at that point, as lowercase hex
//
// POINT is job-start (ESC @ included), page-start, page-end or job-end; an
// option not given, or given as -1, is absent.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "printer_commands.h"

namespace {

using zelp::test::wire::Point;

bool ParsePoint(const char* text, Point* point) {
    const struct {
        const char* name;
        Point point;
    } points[] = {{"job-start", Point::kJobStart},
                  {"page-start", Point::kPageStart},
                  {"page-end", Point::kPageEnd},
                  {"job-end", Point::kJobEnd}};
    for (const auto& p : points) {
        if (strcmp(text, p.name) == 0) {
            *point = p.point;
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
    namespace wire = zelp::test::wire;
    if (argc == 2 && strcmp(argv[1], "options") == 0) {
        for (const std::string& keyword : wire::FramingOptions()) printf("%s\n", keyword.c_str());
        return 0;
    }
    Point point;
    if (argc < 2 || !ParsePoint(argv[1], &point)) {
        fprintf(stderr, "usage: zelp-wire options | zelp-wire job-start|page-start|page-end|job-end [KEYWORD=NUMBER...]\n");
        return 2;
    }
    wire::Values values;
    for (int i = 2; i < argc; ++i) {
        const char* equals = strchr(argv[i], '=');
        if (equals == nullptr) {
            fprintf(stderr, "zelp-wire: %s is not KEYWORD=NUMBER\n", argv[i]);
            return 2;
        }
        values[std::string(argv[i], static_cast<size_t>(equals - argv[i]))] = static_cast<int32_t>(strtol(equals + 1, nullptr, 10));
    }
    std::string bytes = wire::At(point, values);
    if (point == Point::kJobStart) bytes = wire::Init() + bytes;
    for (unsigned char byte : bytes) printf("%02x", byte);
    printf("\n");
    return 0;
}
