// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// One job at a time per printer, whatever PAPPL 1.3.1's scheduler does.
//
// PAPPL 1.3.1 checks whether a printer is busy without its lock and marks
// a job as processing only once the job's own thread runs, so two threads
// that hand in documents at the same moment may each start a job of one
// printer (or the same job twice). Both then print on the one device, and
// the first to finish closes it under the other: a crash, or a printer left
// "in use" for good. Its streamed raster jobs are refused as busy meanwhile.
//
// PAPPL calls its job thread, its raster hand-over and its job check
// through the dynamic linker, so the executable defines them here, in
// front of the library's own: a job thread that finds its printer taken
// ends at once and leaves the job pending, the job that holds the printer
// starts the next one when it has finished in full (device closed), and a
// raster stream waits for the printer instead of being refused.
#include "job_guard.h"

#include <dlfcn.h>

#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>

#include "pa_link.h"

namespace {

using ProcessFn = void* (*)(pappl_job_t*);
using CopyFn = void (*)(pappl_client_t*, pappl_job_t*);
using CheckFn = void (*)(pappl_printer_t*);

// The library's own definitions, behind ours.
template <typename Fn>
Fn Next(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

struct Slot {
    pappl_job_t* holder = nullptr;  // the job that has the printer
    int streamsWaiting = 0;         // raster streams waiting for it
};

// Never destroyed: PAPPL's job threads are not joined and may outlive
// the exit of the main thread.
struct Guard {
    std::mutex lock;
    std::condition_variable released;
    std::map<pappl_printer_t*, Slot> slots;
};
Guard& g_guard = *new Guard;

// A raster document is read from its client's connection by the client's
// own thread, never from a spool file.
bool IsStream(pappl_job_t* job) {
    const char* format = papplJobGetFormat(job);
    return format != nullptr && (strcmp(format, "image/pwg-raster") == 0 || strcmp(format, "image/urf") == 0);
}

void Release(pappl_printer_t* printer) {
    {
        std::lock_guard<std::mutex> hold(g_guard.lock);
        g_guard.slots[printer].holder = nullptr;
    }
    g_guard.released.notify_all();
}

// Starts the printer's next pending job, unless the printer went away
// with the job that just ended.
void StartNext(pappl_system_t* system, int printerId, pappl_printer_t* printer) {
    if (papplSystemFindPrinter(system, nullptr, printerId, nullptr) != printer) return;
    static const CheckFn check = Next<CheckFn>("_papplPrinterCheckJobs");
    if (check != nullptr) check(printer);
}

}  // namespace

namespace zelp::pa {

bool HoldsPrinter(pappl_job_t* job) {
    std::lock_guard<std::mutex> hold(g_guard.lock);
    auto at = g_guard.slots.find(papplJobGetPrinter(job));
    return at != g_guard.slots.end() && at->second.holder == job;
}

}  // namespace zelp::pa

// NOLINTBEGIN(bugprone-reserved-identifier,readability-identifier-naming): PAPPL's own names
extern "C" void* _papplJobProcess(pappl_job_t* job) {
    static const ProcessFn process = Next<ProcessFn>("_papplJobProcess");
    pappl_printer_t* printer = papplJobGetPrinter(job);
    pappl_system_t* system = papplPrinterGetSystem(printer);
    const int printerId = papplPrinterGetID(printer);
    // A raster stream is printed by its client's thread; this is a second start.
    if (process == nullptr || IsStream(job)) return nullptr;
    bool mine = false;
    {
        std::lock_guard<std::mutex> hold(g_guard.lock);
        Slot& slot = g_guard.slots[printer];
        // The holder starts the next job when it is done.
        if (slot.holder != nullptr || slot.streamsWaiting > 0) return nullptr;
        // Not pending: started twice, or cancelled while pending.
        mine = papplJobGetState(job) == IPP_JSTATE_PENDING;
        if (mine) slot.holder = job;
    }
    if (!mine) {
        StartNext(system, printerId, printer);
        return nullptr;
    }
    // A printer that cannot be reached keeps the job pending, with a
    // reason; a job cancelled meanwhile is over already.
    zelp::pa::WaitForPrinter(job);
    if (papplJobGetState(job) == IPP_JSTATE_PENDING) process(job);  // prints, closes the device, marks the job done
    Release(printer);
    StartNext(system, printerId, printer);
    return nullptr;
}

extern "C" void _papplJobCopyDocumentData(pappl_client_t* client, pappl_job_t* job) {
    static const CopyFn copy = Next<CopyFn>("_papplJobCopyDocumentData");
    if (copy == nullptr) return;
    if (!IsStream(job)) {
        copy(client, job);  // spooled, then started as a job of its own
        return;
    }
    pappl_printer_t* printer = papplJobGetPrinter(job);
    pappl_system_t* system = papplPrinterGetSystem(printer);
    const int printerId = papplPrinterGetID(printer);
    {
        std::unique_lock<std::mutex> hold(g_guard.lock);
        Slot& slot = g_guard.slots[printer];
        ++slot.streamsWaiting;
        g_guard.released.wait(hold, [&slot] { return slot.holder == nullptr; });
        --slot.streamsWaiting;
        slot.holder = job;
    }
    zelp::pa::WaitForPrinter(job);
    copy(client, job);  // reads, prints and finishes the job in this thread
    Release(printer);
    StartNext(system, printerId, printer);
}
// NOLINTEND(bugprone-reserved-identifier,readability-identifier-naming)
