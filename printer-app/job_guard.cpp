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
//
// A document hand-over that fails (the client hangs up, the spool is full)
// aborts its job taking the printer's lock and then the system's, while a
// state save takes the system's and then each printer's: the two may wait
// on each other for good, and every other thread soon waits behind them.
// No abort runs here while the state is saved (see SaveGate).
//
// A raster stream is read as it prints: a client that stops sending ends
// its job after the stream timeout, and the job is aborted (pa_raster.cpp
// sees the page fall short), instead of the printer waiting on it.
#include "job_guard.h"

#include <dlfcn.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <shared_mutex>

#include "pa_link.h"

namespace {

using ProcessFn = void* (*)(pappl_job_t*);
using CopyFn = void (*)(pappl_client_t*, pappl_job_t*);
using CheckFn = void (*)(pappl_printer_t*);
using FlushFn = void (*)(pappl_client_t*);

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

// Held shared by a hand-over from the moment it aborts its job until it
// returns, exclusively by a state save.
std::shared_mutex g_saveGate;
thread_local bool t_handingOver = false;
thread_local bool t_aborting = false;

double g_streamTimeout = 30.0;

// A stream that sent nothing for the stream timeout: no more is read from
// it (the rest of its reads end at once), so its job ends short.
int StreamStalled(http_t* http, void* /*context*/) {
    shutdown(httpGetFd(http), SHUT_RD);
    return 0;
}

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

// True while `printer` is one of the system's printers.
bool StillThere(pappl_system_t* system, pappl_printer_t* printer) {
    struct Search {
        pappl_printer_t* printer;
        bool found;
    } search{printer, false};
    papplSystemIteratePrinters(
        system,
        [](pappl_printer_t* one, void* data) {
            auto* s = static_cast<Search*>(data);
            if (one == s->printer) s->found = true;
        },
        &search);
    return search.found;
}

// Starts the printer's next pending job, unless the printer went away
// with the job that just ended.
void StartNext(pappl_system_t* system, pappl_printer_t* printer) {
    if (StillThere(system, printer)) zelp::pa::StartPendingJobs(printer);
}

// Hands a document over with the save gate opened again afterwards.
void HandOver(pappl_client_t* client, pappl_job_t* job) {
    static const CopyFn copy = Next<CopyFn>("_papplJobCopyDocumentData");
    t_handingOver = true;
    copy(client, job);
    t_handingOver = false;
    if (t_aborting) {
        t_aborting = false;
        g_saveGate.unlock_shared();
    }
}

}  // namespace

namespace zelp::pa {

void StartPendingJobs(pappl_printer_t* printer) {
    static const CheckFn check = Next<CheckFn>("_papplPrinterCheckJobs");
    if (check != nullptr) check(printer);
}

void SetStreamTimeout(int seconds) { g_streamTimeout = seconds > 0 ? seconds : 30; }

SaveGate::SaveGate() { g_saveGate.lock(); }
SaveGate::~SaveGate() { g_saveGate.unlock(); }

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
        StartNext(system, printer);
        return nullptr;
    }
    // A printer that cannot be reached keeps the job pending, with a
    // reason; a job cancelled meanwhile is over already.
    zelp::pa::WaitForPrinter(job);
    if (papplJobGetState(job) == IPP_JSTATE_PENDING) process(job);  // prints, closes the device, marks the job done
    Release(printer);
    StartNext(system, printer);
    return nullptr;
}

extern "C" void _papplJobCopyDocumentData(pappl_client_t* client, pappl_job_t* job) {
    static const CopyFn copy = Next<CopyFn>("_papplJobCopyDocumentData");
    if (copy == nullptr) return;
    if (!IsStream(job)) {
        HandOver(client, job);  // spooled, then started as a job of its own
        return;
    }
    pappl_printer_t* printer = papplJobGetPrinter(job);
    pappl_system_t* system = papplPrinterGetSystem(printer);
    bool canceled = false;
    {
        std::unique_lock<std::mutex> hold(g_guard.lock);
        Slot& slot = g_guard.slots[printer];
        ++slot.streamsWaiting;
        // A job cancelled while it waits is heard within a second.
        while (slot.holder != nullptr) {
            canceled = papplJobIsCanceled(job);
            if (canceled) break;
            g_guard.released.wait_for(hold, std::chrono::seconds(1));
        }
        --slot.streamsWaiting;
        if (!canceled) slot.holder = job;
    }
    if (!canceled) {
        // A printer that cannot be reached keeps the stream waiting, with a
        // reason, as it does a spooled job.
        zelp::pa::WaitForPrinter(job);
        canceled = papplJobIsCanceled(job);
        if (canceled) Release(printer);
    }
    if (canceled) {
        // PAPPL would take a cancelled job up again and finish it a second
        // time: its document is read and dropped here.
        char buffer[8192];
        while (httpRead(papplClientGetHTTP(client), buffer, sizeof buffer) > 0) {
        }
        papplClientRespondIPP(client, IPP_STATUS_ERROR_NOT_POSSIBLE, "The job was canceled.");
        g_guard.released.notify_all();
        StartNext(system, printer);
        return;
    }
    http_t* http = papplClientGetHTTP(client);
    httpSetTimeout(http, g_streamTimeout, StreamStalled, nullptr);
    HandOver(client, job);  // reads, prints and finishes the job in this thread
    httpSetTimeout(http, 0.0, nullptr, nullptr);
    Release(printer);
    StartNext(system, printer);
}
// In a hand-over, PAPPL flushes the document only to abort the job, just
// before it takes the printer's lock and then the system's.
extern "C" void _papplClientFlushDocumentData(pappl_client_t* client) {
    static const FlushFn flush = Next<FlushFn>("_papplClientFlushDocumentData");
    if (flush != nullptr) flush(client);
    if (t_handingOver && !t_aborting) {
        g_saveGate.lock_shared();
        t_aborting = true;
    }
}
// NOLINTEND(bugprone-reserved-identifier,readability-identifier-naming)
