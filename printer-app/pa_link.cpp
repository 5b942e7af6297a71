// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "pa_link.h"

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "drivers.h"
#include "ipp_options.h"
#include "output_pacing.h"
#include "zelp_options.h"

namespace zelp::pa {

namespace {

// Each wait looks round at least this often: for a cancel, and for the
// link's own times.
constexpr double kTickSeconds = 0.1;
// Once cancelled, a printer that takes none of the rest of the page for
// this long is given up on.
constexpr double kCancelGiveUpSeconds = 5.0;
// An idle printer gets this long to accept a connection and as long again
// to answer; one that answers nothing is left alone for a while, so that
// status queries do not each wait for it.
constexpr double kProbeSeconds = 1.0;
constexpr double kQuietSeconds = 30.0;
// One that has answered before is probably busy with another connection.
constexpr double kBusySeconds = 5.0;
// A job whose printer cannot be reached tries again this often.
constexpr double kUnreachableRetrySeconds = 2.0;

double Now() { return ZelpMonotonicSeconds(); }

int Milliseconds(double seconds) { return seconds <= 0 ? 0 : static_cast<int>(seconds * 1000) + 1; }

// The printer-state-reasons of ours, by keyword.
struct ReasonBit {
    const char* keyword;
    pappl_preason_t bit;
};
const ReasonBit kReasonBits[] = {
    {"media-empty", PAPPL_PREASON_MEDIA_EMPTY}, {"media-low", PAPPL_PREASON_MEDIA_LOW},
    {"cover-open", PAPPL_PREASON_COVER_OPEN},   {"other", PAPPL_PREASON_OTHER},
    {"offline", PAPPL_PREASON_OFFLINE},
};

pappl_preason_t OurReasons() {
    unsigned bits = 0;
    for (const ReasonBit& r : kReasonBits) bits |= r.bit;
    return static_cast<pappl_preason_t>(bits);
}

pappl_preason_t ReasonsOf(const ZelpPrinterState& state) {
    unsigned bits = 0;
    for (const std::string& keyword : ZelpReasonsOf(state, false)) {
        for (const ReasonBit& r : kReasonBits) {
            if (keyword == r.keyword) bits |= r.bit;
        }
    }
    return static_cast<pappl_preason_t>(bits);
}

// What is known of each printer between calls, by printer ID. Never
// destroyed: PAPPL's threads may ask up to the very end.
struct Watch {
    std::mutex probing;      // one idle probe at a time
    double quietUntil = 0;   // no probe before this: the printer answered nothing
    bool answered = false;   // it has answered a probe
    unsigned shown = 0;      // our reasons as last set
};
std::mutex g_watchLock;
std::map<int, Watch*>& g_watches = *new std::map<int, Watch*>;

Watch& WatchOf(pappl_printer_t* printer) {
    std::lock_guard<std::mutex> hold(g_watchLock);
    Watch*& watch = g_watches[papplPrinterGetID(printer)];
    if (watch == nullptr) watch = new Watch;
    return *watch;
}

// Sets our reasons to the state's (PAPPL's status callback may call this
// too, so the reasons are never read back through PAPPL here).
void ShowState(pappl_printer_t* printer, const ZelpPrinterState& state) {
    const pappl_preason_t add = ReasonsOf(state);
    const auto remove = static_cast<pappl_preason_t>(OurReasons() & ~add);
    Watch& watch = WatchOf(printer);
    bool changed;
    {
        std::lock_guard<std::mutex> hold(g_watchLock);
        changed = watch.shown != static_cast<unsigned>(add);
        watch.shown = add;
    }
    papplPrinterSetReasons(printer, add, remove);
    if (changed) {
        const std::string words = ZelpConditionWords(state);
        papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "Printer state: %s.", words.empty() ? "ready" : words.c_str());
    }
}

// The host and port of a socket:// printer; false for any other device.
bool SocketAddress(const char* uri, std::string* host, int* port) {
    if (uri == nullptr || strncmp(uri, "socket://", 9) != 0) return false;
    char scheme[32], user[256], name[256], resource[1024];
    if (httpSeparateURI(HTTP_URI_CODING_ALL, uri, scheme, sizeof scheme, user, sizeof user, name, sizeof name, port,
                        resource, sizeof resource) < HTTP_URI_STATUS_OK) {
        return false;
    }
    if (*port <= 0) *port = 9100;
    *host = name;
    return true;
}

// Whether the printer reads status by its default: the job's own value
// goes with the job's settings.
bool PrinterReadsStatus(pappl_printer_t* printer) {
    ipp_t* attrs = papplPrinterGetDriverAttributes(printer);
    int32_t values[kZelpOptionCount];
    ResolveOptionValues(0, nullptr, attrs, OptionWarnings{nullptr, nullptr}, values);
    ippDelete(attrs);
    ZELP_Init_Setting settings{};
    ZelpSettingsFromValues(values, 0, &settings);
    return settings.ReadStatus == 1;
}

// A connection of our own, made within `seconds`; -1 when none.
int Connect(const std::string& host, int port, double seconds) {
    const std::string service = std::to_string(port);
    http_addrlist_t* list = httpAddrGetList(host.c_str(), AF_UNSPEC, service.c_str());
    if (list == nullptr) return -1;
    int fd = -1;
    if (httpAddrConnect2(list, &fd, Milliseconds(seconds), nullptr) == nullptr) fd = -1;
    httpAddrFreeList(list);
    return fd;
}

// The connection PAPPL 1.3.1 holds for a socket device: the first member
// of its data. Taken only when it is a stream socket connected to the
// device's port; -1 otherwise.
int SocketOf(pappl_device_t* device, int port) {
    const void* data = papplDeviceGetData(device);
    if (data == nullptr) return -1;
    int fd = -1;
    memcpy(&fd, data, sizeof fd);
    int type = 0;
    socklen_t length = sizeof type;
    if (fd < 0 || getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM) return -1;
    struct sockaddr_storage peer {};
    socklen_t peerLength = sizeof peer;
    if (getpeername(fd, reinterpret_cast<struct sockaddr*>(&peer), &peerLength) != 0) return -1;
    int peerPort = -1;
    if (peer.ss_family == AF_INET) peerPort = ntohs(reinterpret_cast<struct sockaddr_in*>(&peer)->sin_port);
    if (peer.ss_family == AF_INET6) peerPort = ntohs(reinterpret_cast<struct sockaddr_in6*>(&peer)->sin6_port);
    return peerPort == port ? fd : -1;
}

enum class Probe { kUnreachable, kSilent, kAnswered };

// Asks an idle printer for its state over a connection of its own.
Probe ProbeStatus(const std::string& host, int port, ZelpPrinterState* state) {
    const int fd = Connect(host, port, kProbeSeconds);
    if (fd < 0) return Probe::kUnreachable;
    ZelpStatusReader reader;
    reader.Sent(kZelpStatusQuery, sizeof kZelpStatusQuery);
    const bool sent = send(fd, kZelpStatusQuery, sizeof kZelpStatusQuery, MSG_DONTWAIT | MSG_NOSIGNAL) ==
                      static_cast<ssize_t>(sizeof kZelpStatusQuery);
    const double deadline = Now() + kProbeSeconds;
    while (sent && reader.AnswersDue() > 0 && Now() < deadline) {
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, Milliseconds(deadline - Now())) <= 0) continue;
        unsigned char data[256];
        const ssize_t n = recv(fd, data, sizeof data, MSG_DONTWAIT);
        if (n > 0) reader.Received(data, static_cast<size_t>(n));
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) break;
    }
    close(fd);
    if (!reader.HeardAny()) return Probe::kSilent;
    *state = reader.State();
    return Probe::kAnswered;
}

}  // namespace

std::unique_ptr<JobLink> JobLink::Open(pappl_job_t* job, pappl_device_t* device, bool readStatus, bool commands) {
    if (!readStatus || device == nullptr) return nullptr;
    std::string host;
    int port = 0;
    if (!SocketAddress(papplPrinterGetDeviceURI(papplJobGetPrinter(job)), &host, &port)) return nullptr;
    const int fd = SocketOf(device, port);
    if (fd < 0) {
        papplLogJob(job, PAPPL_LOGLEVEL_WARN, "The printer's connection cannot be read; its status is not followed.");
        return nullptr;
    }
    // From here on every byte goes through the link.
    papplDeviceFlush(device);
    const Model* model = ModelOfPrinter(papplJobGetPrinter(job));
    const int32_t modelNumber = model != nullptr ? model->modelNumber : 0;
    return std::unique_ptr<JobLink>(new JobLink(job, device, fd, commands, modelNumber));
}

JobLink::JobLink(pappl_job_t* job, pappl_device_t* device, int fd, bool commands, int32_t modelNumber)
    : job_(job),
      printer_(papplJobGetPrinter(job)),
      device_(device),
      fd_(fd),
      commands_(commands),
      link_(Now(), commands, ZelpResyncBytes(modelNumber)) {}

JobLink::~JobLink() {
    if (waiting_) papplJobSetReasons(job_, PAPPL_JREASON_NONE, PAPPL_JREASON_PRINTER_STOPPED);
}

ZelpByteSink JobLink::Sink() { return ZelpByteSink{this, WriteCallback, FailureCallback}; }

bool JobLink::WriteCallback(void* context, const unsigned char* bytes, size_t count) {
    return static_cast<JobLink*>(context)->Write(bytes, count);
}

const char* JobLink::FailureCallback(void* context) {
    auto* self = static_cast<JobLink*>(context);
    return self->lost_ ? self->failure_.c_str() : nullptr;
}

bool JobLink::Write(const unsigned char* bytes, size_t count) {
    if (!Prepare()) return false;
    begun_ = true;
    const bool sent = SendAll(bytes, count);
    Report();
    return sent;
}

bool JobLink::Prepare() {
    for (;;) {
        if (lost_) {
            errno = lostError_;
            return false;
        }
        // A document passed on unchanged has no command boundaries known:
        // nothing is put inside it, and it is not held back halfway.
        if (begun_ && !commands_) return true;
        std::vector<unsigned char> requests;
        link_.TakeRequests(Now(), &requests);
        if (!requests.empty() && !SendAll(requests.data(), requests.size())) return false;
        if (papplJobIsCanceled(job_) || link_.MaySend(Now())) return true;
        Report();
        if (!Pump(kTickSeconds, false)) return false;
    }
}

bool JobLink::SendAll(const unsigned char* bytes, size_t count) {
    double progress = Now();
    while (count > 0) {
        const ssize_t n = send(fd_, bytes, count, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n > 0) {
            link_.Sent(bytes, static_cast<size_t>(n));
            bytes += n;
            count -= static_cast<size_t>(n);
            progress = Now();
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) {
            Lost(errno);
            return false;
        }
        if (papplJobIsCanceled(job_) && Now() - progress > kCancelGiveUpSeconds) {
            Lost(ETIMEDOUT);
            return false;
        }
        if (!Pump(kTickSeconds, true)) return false;
        Report();
    }
    return true;
}

bool JobLink::Pump(double seconds, bool wantWrite) {
    struct pollfd p = {fd_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0};
    if (poll(&p, 1, Milliseconds(seconds)) < 0) return errno == EINTR || errno == EAGAIN;
    if ((p.revents & (POLLIN | POLLERR | POLLHUP)) == 0) return true;
    // Ready to read: PAPPL's read waits for nothing.
    unsigned char data[1024];
    errno = 0;
    const ssize_t n = papplDeviceRead(device_, data, sizeof data);
    if (n > 0) {
        link_.Received(data, static_cast<size_t>(n), Now());
        return true;
    }
    Lost(n == 0 || errno == 0 ? ECONNRESET : errno);
    return false;
}

bool JobLink::Drained() const {
    int unsent = 0;
    return ioctl(fd_, SIOCOUTQ, &unsent) != 0 || unsent == 0;
}

bool JobLink::Finish() {
    if (lost_) return false;
    if (papplJobIsCanceled(job_)) return true;
    link_.Finish(Now(), commands_);
    while (!lost_ && !papplJobIsCanceled(job_)) {
        std::vector<unsigned char> requests;
        link_.TakeRequests(Now(), &requests);
        if (!requests.empty() && !SendAll(requests.data(), requests.size())) break;
        const ZelpLinkEnd end = link_.Finished(Now(), Drained());
        if (end == ZelpLinkEnd::kNoAnswer) Lost(0);
        if (end != ZelpLinkEnd::kWaiting) break;
        Report();
        if (!Pump(kTickSeconds, false)) break;
    }
    Report();
    // A message left from a wait would otherwise stand for the whole job.
    if (!lost_ && papplJobGetMessage(job_) != nullptr) papplJobSetMessage(job_, "Job completed.");
    return !lost_;
}

void JobLink::Report() {
    if (lost_ || link_.Phase() == ZelpLinkPhase::kAsking) return;
    const ZelpPrinterState state = link_.State();
    if (!reported_ || state != shown_) {
        ShowState(printer_, state);
        shown_ = state;
        reported_ = true;
    }
    // The job waits while the printer cannot print; its message says why.
    const bool waiting = !state.CanPrint() && !papplJobIsCanceled(job_);
    if (waiting) {
        // Set only when it changes: PAPPL 1.3.1 frees the old message while
        // its clients may be reading it.
        const std::string message = "Waiting for the printer: " + ZelpConditionWords(state) + ".";
        if (message != message_) papplJobSetMessage(job_, "%s", message.c_str());
        message_ = message;
        if (!waiting_) papplJobSetReasons(job_, PAPPL_JREASON_PRINTER_STOPPED, PAPPL_JREASON_NONE);
    } else if (waiting_) {
        papplJobSetMessage(job_, "Printing.");
        message_.clear();
        papplJobSetReasons(job_, PAPPL_JREASON_NONE, PAPPL_JREASON_PRINTER_STOPPED);
    }
    waiting_ = waiting;
}

void JobLink::Lost(int error) {
    if (lost_) return;
    lost_ = true;
    lostError_ = error != 0 ? error : ECONNRESET;
    if (papplJobIsCanceled(job_)) {
        failure_ = "The printer took none of the rest of the cancelled page; it was not sent";
    } else {
        if (error == 0) {
            failure_ = "The printer stopped answering before it had taken the whole receipt (its connection was "
                       "probably lost): the receipt may not have printed in full";
        } else {
            failure_ = std::string("Lost the connection to the printer in the middle of the receipt (") +
                       strerror(error) + "): the receipt was not printed in full";
        }
        ZelpPrinterState gone;
        gone.unreachable = true;
        ShowState(printer_, gone);
    }
    papplJobSetMessage(job_, "%s.", failure_.c_str());
    if (waiting_) papplJobSetReasons(job_, PAPPL_JREASON_NONE, PAPPL_JREASON_PRINTER_STOPPED);
    waiting_ = false;
}

bool StatusCallback(pappl_printer_t* printer) {
    std::string host;
    int port = 0;
    if (!SocketAddress(papplPrinterGetDeviceURI(printer), &host, &port) || !PrinterReadsStatus(printer)) return true;
    Watch& watch = WatchOf(printer);
    std::unique_lock<std::mutex> probing(watch.probing, std::try_to_lock);
    if (!probing.owns_lock()) return true;
    {
        std::lock_guard<std::mutex> hold(g_watchLock);
        if (Now() < watch.quietUntil) return true;
    }
    ZelpPrinterState state;
    switch (ProbeStatus(host, port, &state)) {
        case Probe::kUnreachable:
            state.unreachable = true;
            break;
        case Probe::kSilent: {
            // Nothing is known but that it is there: a printer that takes
            // one connection at a time is still busy with the last job's.
            // What it said before stays shown.
            {
                std::lock_guard<std::mutex> hold(g_watchLock);
                watch.quietUntil = Now() + (watch.answered ? kBusySeconds : kQuietSeconds);
                watch.shown &= ~static_cast<unsigned>(PAPPL_PREASON_OFFLINE);
            }
            papplPrinterSetReasons(printer, PAPPL_PREASON_NONE, PAPPL_PREASON_OFFLINE);
            return true;
        }
        case Probe::kAnswered: {
            std::lock_guard<std::mutex> hold(g_watchLock);
            watch.answered = true;
            break;
        }
    }
    ShowState(printer, state);
    return true;
}

void WaitForPrinter(pappl_job_t* job) {
    pappl_printer_t* printer = papplJobGetPrinter(job);
    std::string host;
    int port = 0;
    if (!SocketAddress(papplPrinterGetDeviceURI(printer), &host, &port) || !PrinterReadsStatus(printer)) return;
    pappl_system_t* system = papplPrinterGetSystem(printer);
    auto waiting = [&] {
        // Pending, or held while its raster streams in.
        return papplSystemIsRunning(system) && papplJobGetState(job) <= IPP_JSTATE_HELD && !papplJobIsCanceled(job);
    };
    bool waited = false;
    while (waiting()) {
        const int fd = Connect(host, port, kProbeSeconds);
        if (fd >= 0) {
            close(fd);
            break;
        }
        if (!waited) {
            ZelpPrinterState gone;
            gone.unreachable = true;
            ShowState(printer, gone);
            papplJobSetMessage(job, "Waiting for the printer: %s.", ZelpConditionWords(gone).c_str());
            waited = true;
        }
        for (double until = Now() + kUnreachableRetrySeconds; Now() < until && waiting();) usleep(100000);
    }
    if (waited) ShowState(printer, ZelpPrinterState{});
}

}  // namespace zelp::pa
