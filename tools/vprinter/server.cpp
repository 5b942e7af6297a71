// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "control.h"

namespace zelp::vprinter {

namespace {

volatile sig_atomic_t g_stop = 0;
void OnStop(int) { g_stop = 1; }

// Longest control line taken; a longer one is answered with an error.
constexpr size_t kMaxControlLine = 1024;
// The event loop looks round at least this often, and at most this often
// for the mechanism (it catches up on the rows it owes when it wakes).
constexpr double kMaxWaitSeconds = 0.5;
constexpr double kMinWaitSeconds = 0.002;
// A serial printer reads what the line brought at least every 10 ms.
constexpr double kSerialBiteSeconds = 0.01;

bool WriteFileAtomically(const std::string& path, const std::string& text) {
    const std::string tmp = path + ".tmp";
    std::FILE* out = std::fopen(tmp.c_str(), "we");
    if (out == nullptr) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    const bool closed = std::fclose(out) == 0;
    return written && closed && std::rename(tmp.c_str(), path.c_str()) == 0;
}

void SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

// Writes what it can of `pending` to `fd` without waiting.
void WriteSome(int fd, std::string* pending) {
    while (!pending->empty()) {
        const ssize_t n = write(fd, pending->data(), pending->size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        pending->erase(0, static_cast<size_t>(n));
    }
}

struct ControlClient {
    int fd = -1;
    std::string in;
    std::string out;
};

class Server {
public:
    Server(const ServerOptions& options, Printer* printer, EventLog* log)
        : options_(options), printer_(printer), log_(log), port_(options.port) {}
    ~Server();

    bool Setup(std::string* error);
    void Loop();

private:
    bool OpenListener(std::string* error);
    void CloseListener();
    bool OpenPty(std::string* error);
    bool OpenControl(std::string* error);
    void Accept(double now);
    void ReadClient(double now);
    void DropClient(double now, const char* reason, bool reset);
    void ReadPty(double now);
    double PtyWait(double now);
    void DiscardPtyInput();
    void AcceptControl();
    bool ServeControl(ControlClient* client, double now);
    void Act(LinkAction action, double now);
    void WriteOutputs();
    void SavePng(double now);

    ServerOptions options_;
    Printer* printer_;
    EventLog* log_;
    int port_;
    int listener_ = -1;
    int client_ = -1;
    uint64_t clientBytes_ = 0;
    std::string clientOut_;
    int ptyMaster_ = -1;
    int ptySlave_ = -1;
    std::string ptyPath_;
    std::string ptyOut_;
    double ptyTokens_ = 0;
    double ptyTokensAt_ = 0;
    int control_ = -1;
    std::vector<ControlClient> controlClients_;
    std::FILE* capture_ = nullptr;
    bool pngPending_ = false;
    bool quit_ = false;
    uint8_t block_[65536] = {};
};

Server::~Server() {
    if (client_ >= 0) close(client_);
    CloseListener();
    if (ptyMaster_ >= 0) close(ptyMaster_);
    if (ptySlave_ >= 0) close(ptySlave_);
    for (ControlClient& c : controlClients_) close(c.fd);
    if (control_ >= 0) {
        close(control_);
        unlink(options_.controlPath.c_str());
    }
    if (capture_ != nullptr) std::fclose(capture_);
}

bool Server::Setup(std::string* error) {
    if (!options_.capturePath.empty()) {
        capture_ = std::fopen(options_.capturePath.c_str(), "abe");
        if (capture_ == nullptr) {
            *error = "cannot open " + options_.capturePath + ": " + std::strerror(errno);
            return false;
        }
    }
    if (!options_.controlPath.empty() && !OpenControl(error)) return false;
    if (options_.baud > 0 && !OpenPty(error)) return false;
    if (options_.tcp && !OpenListener(error)) return false;

    const double now = MonotonicNow();
    {
        auto line = log_->Event(now, "start");
        if (options_.tcp) line.Add("port", port_);
        if (!ptyPath_.empty()) line.Add("pty", ptyPath_).Add("baud", options_.baud);
        char wall[32];
        struct timespec ts;
        clock_gettime(CLOCK_REALTIME, &ts);
        std::snprintf(wall, sizeof wall, "%lld.%06ld", static_cast<long long>(ts.tv_sec),
                      ts.tv_nsec / 1000);
        line.Add("wall", wall);
    }
    if (options_.startPoweredOff) {
        printer_->PowerOff(now);
        CloseListener();
    }
    // Ready: the files a test waits for come last, the port file last of all.
    if (options_.tcp) std::printf("port=%d\n", port_);
    if (!ptyPath_.empty()) std::printf("pty=%s\n", ptyPath_.c_str());
    if (control_ >= 0) std::printf("control=%s\n", options_.controlPath.c_str());
    std::fflush(stdout);
    if (!options_.ptyFile.empty() && !WriteFileAtomically(options_.ptyFile, ptyPath_ + "\n")) {
        *error = "cannot write " + options_.ptyFile;
        return false;
    }
    if (!options_.portFile.empty() &&
        !WriteFileAtomically(options_.portFile, std::to_string(port_) + "\n")) {
        *error = "cannot write " + options_.portFile;
        return false;
    }
    return true;
}

bool Server::OpenListener(std::string* error) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        *error = std::string("cannot make a socket: ") + std::strerror(errno);
        return false;
    }
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // Set before listen so the connection inherits it: a small window makes
    // the sender wait on the printer, not on kernel buffers.
    if (options_.rcvbuf > 0) {
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &options_.rcvbuf, sizeof options_.rcvbuf);
    }
    struct sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port_));
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<struct sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd, 4) != 0 ||
        getsockname(fd, reinterpret_cast<struct sockaddr*>(&addr), &len) != 0) {
        *error = "cannot listen on 127.0.0.1:" + std::to_string(port_) + ": " + std::strerror(errno);
        close(fd);
        return false;
    }
    port_ = ntohs(addr.sin_port);
    listener_ = fd;
    return true;
}

void Server::CloseListener() {
    if (listener_ < 0) return;
    close(listener_);
    listener_ = -1;
}

bool Server::OpenPty(std::string* error) {
    ptyMaster_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128];
    if (ptyMaster_ < 0 || grantpt(ptyMaster_) != 0 || unlockpt(ptyMaster_) != 0 ||
        ptsname_r(ptyMaster_, name, sizeof name) != 0) {
        *error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    ptyPath_ = name;
    // Holding the other end open keeps the line up between the host's
    // opens; raw, so no byte is changed or echoed on the way.
    ptySlave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    struct termios tio;
    if (ptySlave_ < 0 || tcgetattr(ptySlave_, &tio) != 0) {
        *error = "cannot open " + ptyPath_ + ": " + std::strerror(errno);
        return false;
    }
    cfmakeraw(&tio);
    speed_t speed = B9600;
    switch (options_.baud) {
        case 1200: speed = B1200; break;
        case 2400: speed = B2400; break;
        case 4800: speed = B4800; break;
        case 19200: speed = B19200; break;
        case 38400: speed = B38400; break;
        case 57600: speed = B57600; break;
        case 115200: speed = B115200; break;
        case 230400: speed = B230400; break;
        default: break;
    }
    cfsetspeed(&tio, speed);
    tcsetattr(ptySlave_, TCSANOW, &tio);
    SetNonBlocking(ptyMaster_);
    ptyTokensAt_ = MonotonicNow();
    return true;
}

bool Server::OpenControl(std::string* error) {
    const std::string& path = options_.controlPath;
    struct sockaddr_un addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        *error = "control socket path too long: " + path;
        return false;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    struct stat st;
    if (lstat(path.c_str(), &st) == 0) {
        // A socket left behind by an earlier run goes; anything else stays.
        if (!S_ISSOCK(st.st_mode)) {
            *error = path + " exists and is not a socket";
            return false;
        }
        unlink(path.c_str());
    }
    control_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (control_ < 0 || bind(control_, reinterpret_cast<struct sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(control_, 8) != 0) {
        *error = "cannot make the control socket " + path + ": " + std::strerror(errno);
        if (control_ >= 0) close(control_);
        control_ = -1;
        return false;
    }
    return true;
}

void Server::Accept(double now) {
    struct sockaddr_in peer;
    socklen_t len = sizeof peer;
    const int fd = accept4(listener_, reinterpret_cast<struct sockaddr*>(&peer), &len,
                           SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    client_ = fd;
    clientBytes_ = 0;
    clientOut_.clear();
    char text[64];
    std::snprintf(text, sizeof text, "%s:%u", inet_ntoa(peer.sin_addr), ntohs(peer.sin_port));
    log_->Event(now, "connect").Add("peer", text);
}

void Server::ReadClient(double now) {
    size_t want = sizeof block_;
    if (printer_->Config().flowControl) want = std::min(want, printer_->Room());
    if (want == 0) return;
    const ssize_t n = read(client_, block_, want);
    if (n > 0) {
        if (capture_ != nullptr) {
            std::fwrite(block_, 1, static_cast<size_t>(n), capture_);
            std::fflush(capture_);
        }
        clientBytes_ += static_cast<uint64_t>(n);
        printer_->Receive(block_, static_cast<size_t>(n), now);
    } else if (n == 0) {
        DropClient(now, "eof", false);
    } else if (errno != EAGAIN && errno != EINTR) {
        DropClient(now, errno == ECONNRESET ? "reset" : "error", false);
    }
}

void Server::DropClient(double now, const char* reason, bool reset) {
    if (client_ < 0) return;
    if (reset) {
        // As a pulled cable looks to the sender: the next write fails.
        struct linger hard = {1, 0};
        setsockopt(client_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }
    close(client_);
    client_ = -1;
    clientOut_.clear();
    log_->Event(now, "disconnect").Add("reason", reason).Add("received", clientBytes_);
    printer_->LogCounters(now, "disconnect");
    pngPending_ = true;
}

double Server::PtyWait(double now) {
    const double rate = options_.baud / 10.0;
    ptyTokens_ = std::min(ptyTokens_ + (now - ptyTokensAt_) * rate,
                          std::max(1.0, rate * 5 * kSerialBiteSeconds));
    ptyTokensAt_ = now;
    const double bite = std::max(1.0, rate * kSerialBiteSeconds);
    return ptyTokens_ >= bite ? 0 : (bite - ptyTokens_) / rate;
}

void Server::ReadPty(double now) {
    PtyWait(now);
    size_t want = std::min(sizeof block_, static_cast<size_t>(ptyTokens_));
    if (printer_->Config().flowControl) want = std::min(want, printer_->Room());
    if (want == 0) return;
    const ssize_t n = read(ptyMaster_, block_, want);
    if (n <= 0) return;
    ptyTokens_ -= static_cast<double>(n);
    if (capture_ != nullptr) {
        std::fwrite(block_, 1, static_cast<size_t>(n), capture_);
        std::fflush(capture_);
    }
    printer_->Receive(block_, static_cast<size_t>(n), now);
}

void Server::DiscardPtyInput() {
    if (ptyMaster_ < 0) return;
    while (read(ptyMaster_, block_, sizeof block_) > 0) {
    }
    ptyTokens_ = 0;
}

void Server::AcceptControl() {
    const int fd = accept4(control_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    ControlClient client;
    client.fd = fd;
    controlClients_.push_back(client);
}

// False when the client is gone.
bool Server::ServeControl(ControlClient* client, double now) {
    char text[512];
    const ssize_t n = read(client->fd, text, sizeof text);
    if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return false;
    if (n > 0) client->in.append(text, static_cast<size_t>(n));
    size_t end;
    while ((end = client->in.find('\n')) != std::string::npos) {
        const std::string line = client->in.substr(0, end);
        client->in.erase(0, end + 1);
        const ControlReply reply = RunControl(line, printer_, log_, now);
        // The links change before the answer goes: a client that has its
        // "ok" finds the printer as it said.
        Act(reply.action, now);
        client->out += reply.text + "\n";
        WriteSome(client->fd, &client->out);
    }
    if (client->in.size() > kMaxControlLine) {
        client->out += "error: line too long\n";
        WriteSome(client->fd, &client->out);
        return false;
    }
    return true;
}

void Server::Act(LinkAction action, double now) {
    switch (action) {
        case LinkAction::PowerOff:
            DropClient(now, "power-off", true);
            CloseListener();
            return;
        case LinkAction::PowerOn: {
            DiscardPtyInput();
            std::string error;
            if (options_.tcp && listener_ < 0 && !OpenListener(&error)) {
                log_->Event(now, "error").Add("what", error);
            }
            return;
        }
        case LinkAction::Unplug:
            DropClient(now, "unplug", true);
            return;
        case LinkAction::Save:
            SavePng(now);
            return;
        case LinkAction::Quit:
            quit_ = true;
            return;
        case LinkAction::None:
            return;
    }
}

void Server::WriteOutputs() {
    const std::string out = printer_->TakeOutput();
    if (!out.empty()) {
        if (client_ >= 0) clientOut_ += out;
        if (ptyMaster_ >= 0) ptyOut_ += out;
    }
    if (client_ >= 0) WriteSome(client_, &clientOut_);
    if (ptyMaster_ >= 0) WriteSome(ptyMaster_, &ptyOut_);
}

void Server::SavePng(double now) {
    pngPending_ = false;
    if (options_.pngPath.empty()) return;
    std::string error;
    if (printer_->SavePicture(options_.pngPath, &error)) {
        log_->Event(now, "picture").Add("path", options_.pngPath);
    } else {
        log_->Event(now, "error").Add("what", error);
    }
}

void Server::Loop() {
    sigset_t blocked;
    sigset_t waitMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigprocmask(SIG_BLOCK, &blocked, &waitMask);
    sigdelset(&waitMask, SIGTERM);
    sigdelset(&waitMask, SIGINT);

    std::vector<struct pollfd> fds;
    while (!g_stop && !quit_) {
        double now = MonotonicNow();
        printer_->Advance(now);
        WriteOutputs();
        if (pngPending_ && printer_->Idle()) SavePng(now);

        const bool flow = printer_->Config().flowControl;
        const bool room = printer_->ReadyForData() || !flow;
        const bool powered = printer_->Powered();
        fds.clear();
        auto add = [&fds](int fd, short events) {
            fds.push_back({fd, events, 0});
            return fds.size() - 1;
        };
        const size_t none = static_cast<size_t>(-1);
        const size_t controlAt = control_ >= 0 ? add(control_, POLLIN) : none;
        const size_t clientsAt = fds.size();
        const size_t clientCount = controlClients_.size();
        for (const ControlClient& c : controlClients_) add(c.fd, POLLIN);
        // One connection at a time: others wait in the backlog.
        const size_t listenAt = (listener_ >= 0 && client_ < 0) ? add(listener_, POLLIN) : none;
        size_t clientAt = none;
        if (client_ >= 0) {
            clientAt = add(client_, static_cast<short>((room ? POLLIN : 0) |
                                                       (clientOut_.empty() ? 0 : POLLOUT)));
        }
        double wait = std::min(kMaxWaitSeconds, std::max(kMinWaitSeconds, printer_->WakeAt() - now));
        size_t ptyAt = none;
        if (ptyMaster_ >= 0 && powered) {
            const double ptyWait = PtyWait(now);
            const bool readable = room && ptyWait == 0;
            if (readable || !ptyOut_.empty()) {
                ptyAt = add(ptyMaster_, static_cast<short>((readable ? POLLIN : 0) |
                                                           (ptyOut_.empty() ? 0 : POLLOUT)));
            }
            if (room && ptyWait > 0) wait = std::min(wait, ptyWait);
        }
        struct timespec ts;
        ts.tv_sec = static_cast<time_t>(wait);
        ts.tv_nsec = static_cast<long>((wait - std::floor(wait)) * 1e9);
        const int ready = ppoll(fds.data(), fds.size(), &ts, &waitMask);
        if (ready <= 0) continue;
        now = MonotonicNow();

        // Served back to front, so a client that leaves is erased safely;
        // one accepted now waits for the next round.
        for (size_t i = clientCount; i-- > 0;) {
            if (fds[clientsAt + i].revents == 0) continue;
            if (!ServeControl(&controlClients_[i], now)) {
                close(controlClients_[i].fd);
                controlClients_.erase(controlClients_.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
        if (controlAt != none && (fds[controlAt].revents & POLLIN) != 0) AcceptControl();
        // A control command may have closed what was polled.
        if (listenAt != none && listener_ >= 0 && fds[listenAt].fd == listener_ &&
            (fds[listenAt].revents & POLLIN) != 0) {
            Accept(now);
        } else if (clientAt != none && client_ >= 0 && fds[clientAt].fd == client_) {
            if ((fds[clientAt].revents & (POLLIN | POLLHUP | POLLERR)) != 0) ReadClient(now);
            if (client_ >= 0 && (fds[clientAt].revents & POLLOUT) != 0) {
                WriteSome(client_, &clientOut_);
            }
        }
        if (ptyAt != none && printer_->Powered() && (fds[ptyAt].revents & POLLIN) != 0) {
            ReadPty(now);
        }
    }
    const double now = MonotonicNow();
    DropClient(now, "exit", false);
    printer_->LogCounters(now, "exit");
    SavePng(now);
    log_->Event(now, "stop");
}

}  // namespace

int Serve(const ServerOptions& options, Printer* printer, EventLog* log) {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sigemptyset(&sa.sa_mask);
    sa.sa_handler = OnStop;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    // A host that hangs up while we answer must not end the printer.
    signal(SIGPIPE, SIG_IGN);

    Server server(options, printer, log);
    std::string error;
    if (!server.Setup(&error)) {
        std::fprintf(stderr, "zelp-vprinter: %s\n", error.c_str());
        return 1;
    }
    server.Loop();
    return 0;
}

int SendControl(const std::string& path, const std::string& line) {
    signal(SIGPIPE, SIG_IGN);
    struct sockaddr_un addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sun_family = AF_UNIX;
    if (path.size() >= sizeof addr.sun_path) {
        std::fprintf(stderr, "zelp-vprinter: control socket path too long: %s\n", path.c_str());
        return 1;
    }
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, reinterpret_cast<struct sockaddr*>(&addr), sizeof addr) != 0) {
        std::fprintf(stderr, "zelp-vprinter: cannot reach the printer at %s: %s\n", path.c_str(),
                     std::strerror(errno));
        if (fd >= 0) close(fd);
        return 1;
    }
    std::string pending = line + "\n";
    WriteSome(fd, &pending);
    std::string reply;
    char text[512];
    // A printer that does not answer within 10 s is taken as gone.
    for (int rounds = 0; reply.find('\n') == std::string::npos && rounds < 100; ++rounds) {
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = read(fd, text, sizeof text);
        if (n <= 0) break;
        reply.append(text, static_cast<size_t>(n));
    }
    close(fd);
    const size_t end = reply.find('\n');
    if (end == std::string::npos) {
        std::fprintf(stderr, "zelp-vprinter: no answer from the printer at %s\n", path.c_str());
        return 1;
    }
    reply.resize(end);
    std::printf("%s\n", reply.c_str());
    return reply.compare(0, 3, "ok ") == 0 ? 0 : 1;
}

}  // namespace zelp::vprinter
