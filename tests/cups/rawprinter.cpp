// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// zelp-rawprinter: a raw "port 9100" printer for the end-to-end tests. It
// listens on 127.0.0.1 and stores every byte of each connection in a file of
// its own, so a test can compare what the scheduler sent with what it expects.
//
//   zelp-rawprinter --pick-port
//       prints a TCP port on 127.0.0.1 that is free right now, and exits.
//   zelp-rawprinter --dir DIR --port-file FILE [--rate BYTES_PER_SECOND]
//                   [--hang-up-after BYTES]
//       listens on a port of its own choosing and writes the number to FILE
//       once it accepts connections. Connection N is stored in DIR/job-N.part
//       while it lasts and renamed to DIR/job-N.bin when the peer has sent
//       everything. --rate reads slowly (a printer busy printing) until
//       SIGUSR1 arrives; --hang-up-after drops each connection once it has
//       taken that many bytes (a printer switched off in the middle of a
//       job); SIGTERM or SIGINT ends the program with status 0.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

volatile sig_atomic_t g_stop = 0;
volatile sig_atomic_t g_fast = 0;

void OnStop(int) { g_stop = 1; }
void OnFast(int) { g_fast = 1; }

// Signals stay blocked except inside ppoll, so none can slip in between a
// check of the flags and the wait.
sigset_t g_waitMask;

void InstallSignals() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sigemptyset(&sa.sa_mask);
    sa.sa_handler = OnStop;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sa.sa_handler = OnFast;
    sigaction(SIGUSR1, &sa, nullptr);
    // A peer that hangs up while we write nothing back must not kill us.
    signal(SIGPIPE, SIG_IGN);

    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGUSR1);
    sigprocmask(SIG_BLOCK, &blocked, &g_waitMask);
    sigdelset(&g_waitMask, SIGTERM);
    sigdelset(&g_waitMask, SIGINT);
    sigdelset(&g_waitMask, SIGUSR1);
}

// Waits until `fd` is readable (fd < 0: only the timeout), a signal arrives
// or `timeoutMs` passes (-1: no limit). True when fd became readable.
bool WaitReadable(int fd, int timeoutMs) {
    struct pollfd p;
    p.fd = fd;
    p.events = POLLIN;
    p.revents = 0;
    struct timespec ts;
    ts.tv_sec = timeoutMs / 1000;
    ts.tv_nsec = static_cast<long>(timeoutMs % 1000) * 1000000L;
    const int n = ppoll(fd >= 0 ? &p : nullptr, fd >= 0 ? 1 : 0, timeoutMs < 0 ? nullptr : &ts,
                        &g_waitMask);
    return n > 0 && (p.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

int Listen(int rcvbuf, unsigned short* port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // Set before listen so accepted sockets inherit it: a small window keeps
    // the sender waiting on us instead of on kernel buffers.
    if (rcvbuf > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &rcvbuf, sizeof rcvbuf);
    struct sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(*port);
    socklen_t len = sizeof addr;
    if (bind(fd, reinterpret_cast<struct sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd, 4) != 0 ||
        getsockname(fd, reinterpret_cast<struct sockaddr*>(&addr), &len) != 0) {
        close(fd);
        return -1;
    }
    *port = ntohs(addr.sin_port);
    return fd;
}

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Writes `text` to `path` through a temporary name, so a reader never sees
// a half-written file.
bool WriteFileAtomically(const std::string& path, const std::string& text) {
    const std::string tmp = path + ".tmp";
    const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool ok = WriteAll(fd, text.data(), text.size());
    return close(fd) == 0 && ok && rename(tmp.c_str(), path.c_str()) == 0;
}

// Stores one connection. Returns false when the program is to stop.
bool Receive(int conn, const std::string& dir, int index, long rate, long hangUpAfter) {
    const std::string base = dir + "/job-" + std::to_string(index);
    const std::string part = base + ".part";
    const int out = open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        std::fprintf(stderr, "zelp-rawprinter: cannot create %s: %s\n", part.c_str(),
                     std::strerror(errno));
        return false;
    }
    static char buffer[65536];
    bool ok = true;      // the file could be written
    bool whole = false;  // the peer ended the connection in order
    long taken = 0;
    while (!g_stop && (hangUpAfter <= 0 || taken < hangUpAfter)) {
        if (!WaitReadable(conn, -1)) continue;
        // A slow printer takes a small bite and then needs time for it.
        const size_t want = (rate > 0 && !g_fast) ? 1024 : sizeof buffer;
        const ssize_t n = read(conn, buffer, want);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) {
            whole = n == 0;
            break;
        }
        if (!WriteAll(out, buffer, static_cast<size_t>(n))) {
            ok = false;
            break;
        }
        taken += n;
        if (rate > 0 && !g_fast) {
            const long ms = static_cast<long>(n) * 1000L / rate;
            if (ms > 0) WaitReadable(-1, static_cast<int>(ms));
        }
    }
    close(conn);
    if (close(out) != 0) ok = false;
    // A connection cut short keeps its .part name: it was not received whole.
    if (ok && whole && !g_stop) ok = rename(part.c_str(), (base + ".bin").c_str()) == 0;
    return ok && !g_stop;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: zelp-rawprinter --pick-port\n"
                 "       zelp-rawprinter --dir DIR --port-file FILE [--rate BYTES_PER_SECOND]\n"
                 "                       [--hang-up-after BYTES]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir;
    std::string portFile;
    long rate = 0;
    long hangUpAfter = 0;
    bool pick = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--pick-port") {
            pick = true;
        } else if (arg == "--dir" && hasValue) {
            dir = argv[++i];
        } else if (arg == "--port-file" && hasValue) {
            portFile = argv[++i];
        } else if (arg == "--rate" && hasValue) {
            rate = std::strtol(argv[++i], nullptr, 10);
            if (rate <= 0) return Usage();
        } else if (arg == "--hang-up-after" && hasValue) {
            hangUpAfter = std::strtol(argv[++i], nullptr, 10);
            if (hangUpAfter <= 0) return Usage();
        } else {
            return Usage();
        }
    }

    if (pick) {
        unsigned short port = 0;
        const int fd = Listen(0, &port);
        if (fd < 0) {
            std::perror("zelp-rawprinter: no free port");
            return 1;
        }
        close(fd);
        std::printf("%u\n", port);
        return 0;
    }
    if (dir.empty() || portFile.empty()) return Usage();

    InstallSignals();
    unsigned short port = 0;
    const int server = Listen(rate > 0 ? 4096 : 0, &port);
    if (server < 0) {
        std::perror("zelp-rawprinter: cannot listen on 127.0.0.1");
        return 1;
    }
    if (!WriteFileAtomically(portFile, std::to_string(port) + "\n")) {
        std::perror("zelp-rawprinter: cannot write the port file");
        close(server);
        return 1;
    }
    int index = 0;
    bool running = true;
    while (running && !g_stop) {
        if (!WaitReadable(server, -1)) continue;
        const int conn = accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
        if (conn < 0) continue;
        running = Receive(conn, dir, ++index, rate, hangUpAfter);
    }
    close(server);
    return g_stop ? 0 : 1;
}
