// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "status_link.h"

#include <cups/sidechannel.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "output_pacing.h"
#include "zelp_cancel.h"

namespace {

constexpr int kBackChannel = 3;
// Each wait looks round at least this often: for a cancel, and for the
// link's own times.
constexpr double kTickSeconds = 0.1;
// Once cancelled, a printer that takes none of the rest of the page for
// this long is given up on.
constexpr double kCancelGiveUpSeconds = 5.0;
// How long the backend may take to say whether answers come back.
constexpr double kSideChannelSeconds = 1.0;

double Now() { return ZelpMonotonicSeconds(); }

bool IsKind(int fd, bool (*kind)(mode_t)) {
    struct stat st;
    return fstat(fd, &st) == 0 && kind(st.st_mode);
}
bool SocketMode(mode_t mode) { return S_ISSOCK(mode); }
bool PipeMode(mode_t mode) { return S_ISFIFO(mode) || S_ISSOCK(mode); }

// Bytes still in the pipe to the backend; none when it cannot tell.
bool PipeEmpty() {
    int waiting = 0;
    return ioctl(STDOUT_FILENO, FIONREAD, &waiting) != 0 || waiting == 0;
}

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words) text += (text.empty() ? "" : ",") + w;
    return text;
}

}  // namespace

StatusLink::StatusLink() : link_(0.0, true, 0) {}

bool StatusLink::Open(int32_t modelNumber) {
    // Only a backend of CUPS's own kind: a side channel to ask, a back
    // channel to read.
    if (!IsKind(CUPS_SC_FD, SocketMode) || !IsKind(kBackChannel, PipeMode)) return false;
    char data[8] = {};
    int length = sizeof data;
    if (cupsSideChannelDoRequest(CUPS_SC_CMD_GET_BIDI, data, &length, kSideChannelSeconds) != CUPS_SC_STATUS_OK ||
        length < 1 || data[0] != CUPS_SC_BIDI_SUPPORTED) {
        return false;
    }
    const int flags = fcntl(STDOUT_FILENO, F_GETFL);
    if (flags < 0 || fcntl(STDOUT_FILENO, F_SETFL, flags | O_NONBLOCK) != 0) return false;
    // A backend that has gone shows as a failed write, not as a signal.
    signal(SIGPIPE, SIG_IGN);
    // Reasons an earlier job of ours left are ours to clear.
    const std::vector<std::string> ours = ZelpAllReasons(true);
    if (const char* env = getenv("PRINTER_STATE_REASONS")) {
        const std::string list = std::string(",") + env + ",";
        for (const std::string& reason : ours) {
            if (list.find("," + reason + ",") != std::string::npos) shown_.insert(reason);
        }
    }
    link_ = ZelpPrinterLink(Now(), true, ZelpResyncBytes(modelNumber));
    return true;
}

ZelpByteSink StatusLink::Sink() { return ZelpByteSink{this, WriteCallback, FailureCallback}; }

bool StatusLink::WriteCallback(void* context, const unsigned char* bytes, size_t count) {
    return static_cast<StatusLink*>(context)->Write(bytes, count);
}

const char* StatusLink::FailureCallback(void* context) {
    auto* self = static_cast<StatusLink*>(context);
    return self->lost_ ? self->failure_.c_str() : nullptr;
}

bool StatusLink::Write(const unsigned char* bytes, size_t count) {
    if (!Prepare()) return false;
    const bool sent = SendAll(bytes, count);
    Report();
    return sent;
}

bool StatusLink::Prepare() {
    for (;;) {
        if (lost_) {
            errno = lostError_;
            return false;
        }
        std::vector<unsigned char> requests;
        link_.TakeRequests(Now(), &requests);
        if (!requests.empty() && !SendAll(requests.data(), requests.size())) return false;
        AskConnected();
        if (Canceled != 0 || link_.MaySend(Now())) return true;
        Report();
        if (!Pump(kTickSeconds, false)) return false;
    }
}

bool StatusLink::SendAll(const unsigned char* bytes, size_t count) {
    double progress = Now();
    while (count > 0) {
        const ssize_t n = write(STDOUT_FILENO, bytes, count);
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
        if (Canceled != 0 && Now() - progress > kCancelGiveUpSeconds) {
            Lost(ETIMEDOUT);
            return false;
        }
        if (!Pump(kTickSeconds, true)) return false;
        Report();
    }
    return true;
}

bool StatusLink::Pump(double seconds, bool wantWrite) {
    struct pollfd fds[3] = {};
    nfds_t count = 0;
    fds[count++] = {STDOUT_FILENO, static_cast<short>(wantWrite ? POLLOUT : 0), 0};
    const nfds_t back = backOpen_ ? count++ : 0;
    if (backOpen_) fds[back] = {kBackChannel, POLLIN, 0};
    const nfds_t side = waitConnected_ ? count++ : 0;
    if (waitConnected_) fds[side] = {CUPS_SC_FD, POLLIN, 0};
    if (poll(fds, count, static_cast<int>(seconds * 1000)) < 0) return errno == EINTR || errno == EAGAIN;
    // The backend has gone: nothing reads the printer bytes any more.
    if ((fds[0].revents & (POLLERR | POLLHUP)) != 0) {
        Lost(EPIPE);
        return false;
    }
    const double now = Now();
    if (backOpen_ && (fds[back].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        unsigned char data[1024];
        const ssize_t n = read(kBackChannel, data, sizeof data);
        if (n > 0) link_.Received(data, static_cast<size_t>(n), now);
        if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) backOpen_ = false;
    }
    if (waitConnected_ && (fds[side].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        cups_sc_command_t command = CUPS_SC_CMD_NONE;
        cups_sc_status_t status = CUPS_SC_STATUS_NONE;
        char data[8] = {};
        int length = sizeof data;
        waitConnected_ = false;
        // A backend that cannot tell is taken as connected.
        const bool read = cupsSideChannelRead(&command, &status, data, &length, 0.0) == 0;
        const bool notConnected = read && command == CUPS_SC_CMD_GET_CONNECTED && status == CUPS_SC_STATUS_OK &&
                                  length >= 1 && data[0] == CUPS_SC_NOT_CONNECTED;
        link_.SetConnected(!notConnected, now);
    }
    return true;
}

void StatusLink::AskConnected() {
    // Asked once the first requests are on their way: a backend waits for
    // the job's first bytes before it connects. Until it answers, it is
    // taken to be connecting (CUPS's network backends answer once they
    // are connected).
    if (askedConnected_) return;
    askedConnected_ = true;
    if (cupsSideChannelWrite(CUPS_SC_CMD_GET_CONNECTED, CUPS_SC_STATUS_NONE, nullptr, 0, kSideChannelSeconds) != 0) return;
    waitConnected_ = true;
    link_.SetConnected(false, Now());
}

void StatusLink::Finish() {
    if (lost_ || Canceled != 0) return;
    link_.Finish(Now());
    while (!lost_ && Canceled == 0) {
        std::vector<unsigned char> requests;
        link_.TakeRequests(Now(), &requests);
        if (!requests.empty() && !SendAll(requests.data(), requests.size())) break;
        const ZelpLinkEnd end = link_.Finished(Now(), PipeEmpty());
        if (end == ZelpLinkEnd::kNoAnswer) Lost(0);
        if (end != ZelpLinkEnd::kWaiting) break;
        Report();
        if (!Pump(kTickSeconds, false)) break;
    }
    Report();
    // Lost after the job's last byte: the page core has said nothing.
    if (lost_) fprintf(stderr, "ERROR: %s\n", failure_.c_str());
}

void StatusLink::Report() {
    // Until the first answers are in (or known not to come), nothing is
    // known, so nothing shown changes; once the connection is lost, what it
    // left shown stays.
    if (lost_ || link_.Phase() == ZelpLinkPhase::kAsking) return;
    const ZelpPrinterState state = link_.State();
    const std::vector<std::string> want = ZelpReasonsOf(state, true);
    std::vector<std::string> added, removed;
    for (const std::string& reason : want) {
        if (shown_.count(reason) == 0) added.push_back(reason);
    }
    for (const std::string& reason : shown_) {
        if (std::find(want.begin(), want.end(), reason) == want.end()) removed.push_back(reason);
    }
    if (!removed.empty()) fprintf(stderr, "STATE: -%s\n", Joined(removed).c_str());
    if (!added.empty()) fprintf(stderr, "STATE: +%s\n", Joined(added).c_str());
    shown_ = std::set<std::string>(want.begin(), want.end());
    const std::string words = ZelpConditionWords(state);
    if (words != words_) {
        fprintf(stderr, "INFO: %s\n", words.empty() ? "Printer ready" : words.c_str());
        words_ = words;
    }
}

void StatusLink::Lost(int error) {
    if (lost_) return;
    lost_ = true;
    lostError_ = error != 0 ? error : ECONNRESET;
    if (Canceled != 0) {
        failure_ = "The printer took none of the rest of the cancelled page; it was not sent";
    } else if (error == 0) {
        failure_ = "The printer stopped answering before it had taken the whole receipt (its connection was "
                   "probably lost): the receipt may not have printed in full";
    } else {
        failure_ = std::string("Lost the connection to the printer in the middle of the receipt (") + strerror(error) +
                   "): the receipt was not printed in full";
    }
}
