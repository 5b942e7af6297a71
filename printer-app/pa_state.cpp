// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "pa_state.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "job_guard.h"

namespace zelp::pa {

namespace {

// Job attribute files kept while a save rewrites them in place.
constexpr const char* kAttrSuffix = ".ipp";
constexpr const char* kAsideSuffix = ".ipp.aside";

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::vector<std::string> FilesEndingIn(const std::string& folder, const char* suffix) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return names;
    while (const dirent* entry = readdir(dir)) {
        if (EndsWith(entry->d_name, suffix)) names.push_back(folder + "/" + entry->d_name);
    }
    closedir(dir);
    return names;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool SyncFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return false;
    const bool synced = fsync(fd) == 0;
    return close(fd) == 0 && synced;
}

// The rename itself reaches the disk only with its folder.
void SyncFolder(const std::string& path) {
    const int fd = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

bool Commit(const std::string& temporary, const std::string& path) {
    if (!SyncFile(temporary) || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    SyncFolder(path);
    return true;
}

// Every second while the server runs (a timer that ends would be lost by
// PAPPL 1.3.1, which never frees it). PAPPL saves a change when its main
// loop next wakes, which may be half a minute away on a quiet server: a new
// job could be lost to a crash meanwhile, and "shutdown" waited as long.
// The first time, the jobs kept in the state start.
bool EverySecond(pappl_system_t* system, void* /*context*/) {
    static bool started = false;  // only the main loop runs timers
    if (started) return true;
    started = true;
    // The timer runs under the system's lock, which the iteration only reads.
    std::vector<pappl_printer_t*> printers;
    papplSystemIteratePrinters(
        system, [](pappl_printer_t* printer, void* list) {
            static_cast<std::vector<pappl_printer_t*>*>(list)->push_back(printer);
        },
        &printers);
    for (pappl_printer_t* printer : printers) StartPendingJobs(printer);
    return true;
}

}  // namespace

bool ReplaceFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".new";
    FILE* out = fopen(temporary.c_str(), "w");
    if (out == nullptr) return false;
    const bool written = fwrite(text.data(), 1, text.size(), out) == text.size();
    if (fclose(out) != 0 || !written) {
        unlink(temporary.c_str());
        return false;
    }
    return Commit(temporary, path);
}

bool SaveStateSafely(pappl_system_t* system, const std::string& path, const std::string& spool) {
    // No job is aborted meanwhile: see job_guard.cpp.
    const SaveGate gate;
    // PAPPL truncates and rewrites each pending job's attribute file: the
    // whole old one stays aside until the new state is in place.
    std::vector<std::string> aside;
    for (const std::string& file : FilesEndingIn(spool, kAttrSuffix)) {
        const std::string kept = file.substr(0, file.size() - 4) + kAsideSuffix;
        if (rename(file.c_str(), kept.c_str()) == 0) aside.push_back(kept);
    }
    const std::string temporary = path + ".new";
    bool saved = papplSystemSaveState(system, temporary.c_str()) && Commit(temporary, path);
    if (!saved) {
        papplLog(system, PAPPL_LOGLEVEL_ERROR, "Cannot save the state in %s; the last saved state stays.", path.c_str());
        RecoverInterruptedSave(path, spool);
        return false;
    }
    for (const std::string& kept : aside) unlink(kept.c_str());
    return true;
}

bool RecoverInterruptedSave(const std::string& path, const std::string& spool) {
    bool cut = unlink((path + ".new").c_str()) == 0;
    for (const std::string& kept : FilesEndingIn(spool, kAsideSuffix)) {
        const std::string file = kept.substr(0, kept.size() - 10) + kAttrSuffix;
        cut = rename(kept.c_str(), file.c_str()) == 0 || cut;
    }
    return cut;
}

void StartKeptJobsAtRun(pappl_system_t* system) {
    papplSystemAddTimerCallback(system, time(nullptr), 1, EverySecond, nullptr);
}

}  // namespace zelp::pa
