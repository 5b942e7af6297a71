// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// A scratch directory that lives as long as the object.
#ifndef ZELP_TESTS_SUPPORT_TEMP_DIR_H
#define ZELP_TESTS_SUPPORT_TEMP_DIR_H

#include <string>

namespace zelp::test {

class TempDir {
public:
    // Makes a fresh directory under $TMPDIR (or /tmp); Path() is empty when
    // that fails.
    TempDir();
    ~TempDir();  // removes the directory and everything in it
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // Path of `name` inside the directory (not created).
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Writes `bytes` to `name` inside the directory; returns its path, or an
    // empty string when it cannot be written.
    std::string Write(const std::string& name, const std::string& bytes) const;
    // The whole content of a file, or an empty string when it cannot be read.
    static std::string Read(const std::string& path);

private:
    std::string path_;
};

}  // namespace zelp::test

#endif
