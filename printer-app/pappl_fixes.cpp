// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Two faults of PAPPL 1.3.1 mended in front of the library's own functions
// (the executable defines them; PAPPL calls them through the dynamic
// linker):
//
// papplPrinterCreate: a printer created without an id gets one only after
// its "printer-id" attribute was written, which stays 0; Get-Printers then
// reports 0 for every new printer, and the "delete" and "modify"
// sub-commands, which look the printer up by that id, fail or do nothing.
// The id is chosen here and handed in.
//
// papplDeviceList: without avahi-daemon, the DNS-SD search hands a null
// client to Avahi, whose assertion aborts the whole server (the web
// interface's "Add Printer" page, the Find-Devices operation, the "devices"
// sub-command). The search is left out then, and said so. Avahi's browser
// and resolver get no null client either (a dnssd:// device).
//
// papplSystemDelete: the system is freed as soon as its main loop ends,
// while client threads may still be closing their connections (the one
// that asked for the shutdown among them), which then use it. The
// clients are counted, and the system waits for them (10 s at most).
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <pappl/pappl.h>

namespace {

template <typename Fn>
Fn Next(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

using CreateFn = pappl_printer_t* (*)(pappl_system_t*, int, const char*, const char*, const char*, const char*);
using ListFn = bool (*)(pappl_devtype_t, pappl_device_cb_t, void*, pappl_deverror_cb_t, void*);
using DnssdInitFn = void* (*)(pappl_system_t*);

constexpr const char kNoDnssd[] =
    "Network printers cannot be searched for: DNS-SD needs avahi-daemon, which is not running. "
    "Add a network printer by its address (socket://HOST:9100).";

std::mutex g_createLock;
int g_lastId = 0;

// Never destroyed: a client thread may still be telling it is gone while
// the main thread, having heard it, exits.
std::mutex& g_clientLock = *new std::mutex;
std::condition_variable& g_clientGone = *new std::condition_variable;
int g_clients = 0;

bool DnssdAvailable() {
    static const DnssdInitFn init = Next<DnssdInitFn>("_papplDNSSDInit");
    return init != nullptr && init(nullptr) != nullptr;
}

}  // namespace

extern "C" pappl_printer_t* papplPrinterCreate(pappl_system_t* system, int printerId, const char* name,
                                               const char* driver, const char* deviceId, const char* deviceUri) {
    static const CreateFn create = Next<CreateFn>("papplPrinterCreate");
    if (create == nullptr) return nullptr;
    if (printerId != 0) return create(system, printerId, name, driver, deviceId, deviceUri);
    // One creation at a time: the id is the next free one.
    std::lock_guard<std::mutex> hold(g_createLock);
    int highest = 0;
    papplSystemIteratePrinters(
        system,
        [](pappl_printer_t* printer, void* top) {
            int* value = static_cast<int*>(top);
            *value = std::max(*value, papplPrinterGetID(printer));
        },
        &highest);
    const int id = std::max({papplSystemGetNextPrinterID(system), highest + 1, g_lastId + 1});
    pappl_printer_t* printer = create(system, id, name, driver, deviceId, deviceUri);
    if (printer != nullptr) g_lastId = id;
    return printer;
}

extern "C" bool papplDeviceList(pappl_devtype_t types, pappl_device_cb_t cb, void* data, pappl_deverror_cb_t errorCb,
                                void* errorData) {
    static const ListFn list = Next<ListFn>("papplDeviceList");
    if (list == nullptr) return false;
    if ((types & PAPPL_DEVTYPE_DNS_SD) != 0 && !DnssdAvailable()) {
        types = static_cast<pappl_devtype_t>(types & ~PAPPL_DEVTYPE_DNS_SD);
        if (errorCb != nullptr) {
            errorCb(kNoDnssd, errorData);
        } else {
            fprintf(stderr, "%s\n", kNoDnssd);
        }
    }
    return list(types, cb, data, errorCb, errorData);
}

// NOLINTBEGIN(bugprone-reserved-identifier,readability-identifier-naming): PAPPL's and Avahi's own names
extern "C" pappl_client_t* _papplClientCreate(pappl_system_t* system, int sock) {
    using Fn = pappl_client_t* (*)(pappl_system_t*, int);
    static const Fn create = Next<Fn>("_papplClientCreate");
    pappl_client_t* client = create != nullptr ? create(system, sock) : nullptr;
    if (client != nullptr) {
        std::lock_guard<std::mutex> hold(g_clientLock);
        ++g_clients;
    }
    return client;
}

extern "C" void _papplClientDelete(pappl_client_t* client) {
    using Fn = void (*)(pappl_client_t*);
    static const Fn remove = Next<Fn>("_papplClientDelete");
    if (remove != nullptr) remove(client);
    std::lock_guard<std::mutex> hold(g_clientLock);
    --g_clients;
    g_clientGone.notify_all();
}

extern "C" void papplSystemDelete(pappl_system_t* system) {
    using Fn = void (*)(pappl_system_t*);
    static const Fn remove = Next<Fn>("papplSystemDelete");
    {
        std::unique_lock<std::mutex> hold(g_clientLock);
        g_clientGone.wait_for(hold, std::chrono::seconds(10), [] { return g_clients <= 0; });
    }
    if (remove != nullptr) remove(system);
}

// Avahi's enumerations are ints; its callbacks and objects, pointers.
extern "C" void* avahi_service_browser_new(void* client, int interface, int protocol, const char* type,
                                           const char* domain, int flags, void* callback, void* userdata) {
    using Fn = void* (*)(void*, int, int, const char*, const char*, int, void*, void*);
    static const Fn next = Next<Fn>("avahi_service_browser_new");
    if (client == nullptr || next == nullptr) return nullptr;
    return next(client, interface, protocol, type, domain, flags, callback, userdata);
}

extern "C" void* avahi_service_resolver_new(void* client, int interface, int protocol, const char* name,
                                            const char* type, const char* domain, int aprotocol, int flags,
                                            void* callback, void* userdata) {
    using Fn = void* (*)(void*, int, int, const char*, const char*, const char*, int, int, void*, void*);
    static const Fn next = Next<Fn>("avahi_service_resolver_new");
    if (client == nullptr || next == nullptr) return nullptr;
    return next(client, interface, protocol, name, type, domain, aprotocol, flags, callback, userdata);
}
// NOLINTEND(bugprone-reserved-identifier,readability-identifier-naming)
