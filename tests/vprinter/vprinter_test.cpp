// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// zelp-vprinter as a host sees it: over its TCP port and its pseudo-terminal,
// changed through its control client, judged by the bytes it answers, its
// log and its picture of the paper.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;
using zelp::test::TempDir;

// Every wait is bounded; generous, so a loaded machine never trips it.
constexpr int kWaitMs = 20000;

const Bytes kAllStatusRequests = {0x10, 0x04, 0x01, 0x10, 0x04, 0x02,
                                  0x10, 0x04, 0x03, 0x10, 0x04, 0x04};

// ESC @, `bands` GS v 0 blocks of 24 rows of 72 random bytes, ESC d 3, ESC m.
Bytes Receipt(uint32_t bands, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes job = {0x1B, 0x40};
    for (uint32_t b = 0; b < bands; ++b) {
        const Bytes header = {0x1D, 0x76, 0x30, 0x00, 72, 0, 24, 0};
        job.insert(job.end(), header.begin(), header.end());
        for (int i = 0; i < 72 * 24; ++i) job.push_back(static_cast<uint8_t>(rng()));
    }
    const Bytes end = {0x1B, 0x64, 0x03, 0x1B, 0x6D};
    job.insert(job.end(), end.begin(), end.end());
    return job;
}

bool SendAll(int fd, const Bytes& bytes) {
    size_t at = 0;
    while (at < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        at += static_cast<size_t>(n);
    }
    return true;
}

// Exactly `count` bytes, or fewer when none come for kWaitMs.
Bytes ReadBytes(int fd, size_t count) {
    Bytes got;
    while (got.size() < count) {
        struct pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, kWaitMs) <= 0) break;
        uint8_t block[64];
        const ssize_t n = read(fd, block, std::min(sizeof block, count - got.size()));
        if (n <= 0) break;
        got.insert(got.end(), block, block + n);
    }
    return got;
}

// A running zelp-vprinter in a scratch directory, ended by its process id.
class VPrinter {
public:
    explicit VPrinter(const std::vector<std::string>& options) {
        std::vector<std::string> args = {VPRINTER_PATH,   "--port",    "0",
                                         "--port-file",   dir_.File("port"),
                                         "--control",     dir_.File("ctl"),
                                         "--log",         dir_.File("log"),
                                         "--png",         dir_.File("paper.png"),
                                         "--pty-file",    dir_.File("pty")};
        args.insert(args.end(), options.begin(), options.end());
        pid_ = fork();
        if (pid_ == 0) {
            std::vector<char*> argv;
            for (std::string& a : args) argv.push_back(&a[0]);
            argv.push_back(nullptr);
            const int null = open("/dev/null", O_WRONLY);
            dup2(null, STDOUT_FILENO);
            execv(argv[0], argv.data());
            _exit(127);
        }
        const std::string ready = dir_.File(options.size() > 0 && options[0] == "--no-tcp"
                                                ? "pty" : "port");
        for (int waited = 0; waited < kWaitMs && TempDir::Read(ready).empty(); waited += 10) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        port_ = std::atoi(TempDir::Read(dir_.File("port")).c_str());
    }

    ~VPrinter() {
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        int status = 0;
        for (int waited = 0; waited < kWaitMs; waited += 10) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }

    bool Alive() const { return pid_ > 0 && kill(pid_, 0) == 0; }
    std::string File(const std::string& name) const { return dir_.File(name); }
    std::string Log() const { return TempDir::Read(dir_.File("log")); }

    // A TCP connection to the printer; -1 (errno set) when refused.
    int Connect() const {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        struct sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(static_cast<uint16_t>(port_));
        if (connect(fd, reinterpret_cast<struct sockaddr*>(&addr), sizeof addr) == 0) return fd;
        const int saved = errno;
        close(fd);
        errno = saved;
        return -1;
    }

    // The control client's answer line.
    std::string Control(const std::string& words) const {
        const std::string command = std::string("'") + VPRINTER_PATH + "' --control '" +
                                    dir_.File("ctl") + "' " + words;
        std::string out;
        if (FILE* p = popen(command.c_str(), "r")) {
            char text[1024];
            while (fgets(text, sizeof text, p) != nullptr) out += text;
            pclose(p);
        }
        return out;
    }

    // A key's value in the control answer to "status".
    long long Status(const std::string& key) const {
        const std::string reply = Control("status");
        const size_t at = reply.find(" " + key + "=");
        return at == std::string::npos ? -1 : std::atoll(reply.c_str() + at + key.size() + 2);
    }

    bool WaitLog(const std::string& text) const {
        for (int waited = 0; waited < kWaitMs; waited += 10) {
            if (Log().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    bool WaitStatus(const std::string& key, long long value) const {
        for (int waited = 0; waited < kWaitMs; waited += 20) {
            if (Status(key) == value) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

private:
    TempDir dir_;
    pid_t pid_ = -1;
    int port_ = 0;
};

struct StateCase {
    const char* name;
    std::vector<std::string> options;
    Bytes answers;  // DLE EOT 1, 2, 3, 4
};

TEST(VirtualPrinter, AnswersStatusRequestsForEachState) {
    const StateCase cases[] = {
        {"ready", {}, {0x12, 0x12, 0x12, 0x12}},
        {"near end", {"--near-end"}, {0x12, 0x12, 0x12, 0x1E}},
        {"paper out", {"--paper-out"}, {0x1A, 0x32, 0x12, 0x7E}},
        {"cover open", {"--cover-open"}, {0x1A, 0x16, 0x12, 0x12}},
        {"cutter error", {"--cutter-error"}, {0x1A, 0x52, 0x1A, 0x12}},
        {"drawer pin high", {"--drawer-high"}, {0x16, 0x12, 0x12, 0x12}},
        {"paper out, cover open", {"--paper-out", "--cover-open"}, {0x1A, 0x36, 0x12, 0x7E}},
    };
    for (const StateCase& tc : cases) {
        VPrinter printer(tc.options);
        const int fd = printer.Connect();
        ASSERT_GE(fd, 0) << tc.name;
        ASSERT_TRUE(SendAll(fd, kAllStatusRequests));
        EXPECT_EQ(ReadBytes(fd, 4), tc.answers) << tc.name;
        close(fd);
    }
}

struct AsbStep {
    const char* command;
    Bytes asb;
};

TEST(VirtualPrinter, SendsAutomaticStatusOnEveryChange) {
    VPrinter printer({"--near-end-mm", "10"});
    const int fd = printer.Connect();
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(SendAll(fd, {0x1D, 0x61, 0x0F}));
    EXPECT_EQ(ReadBytes(fd, 4), (Bytes{0x10, 0x00, 0x00, 0x00})) << "when enabled";
    const AsbStep steps[] = {
        {"near-end on", {0x10, 0x00, 0x03, 0x00}},
        {"paper out", {0x18, 0x00, 0x0F, 0x00}},
        {"paper load 500", {0x10, 0x00, 0x00, 0x00}},
        {"cover open", {0x38, 0x00, 0x00, 0x00}},
        {"cover close", {0x10, 0x00, 0x00, 0x00}},
        {"cutter fail", {0x18, 0x08, 0x00, 0x00}},
        {"cutter fix", {0x10, 0x00, 0x00, 0x00}},
        {"drawer high", {0x14, 0x00, 0x00, 0x00}},
    };
    for (const AsbStep& step : steps) {
        ASSERT_EQ(printer.Control(step.command).compare(0, 3, "ok "), 0) << step.command;
        EXPECT_EQ(ReadBytes(fd, 4), step.asb) << step.command;
    }
    close(fd);
}

// The sender writes a long job through a small socket buffer; once its
// last write returns, how much has the printer taken from its buffer?
TEST(VirtualPrinter, HoldsTheSenderBackUnlessTheLinkHasNoFlowControl) {
    const Bytes job = Receipt(150, 3);  // 260 kB, 450 mm
    for (bool flowControl : {true, false}) {
        std::vector<std::string> options = {"--speed", "1000"};
        if (!flowControl) options.push_back("--no-flow-control");
        VPrinter printer(options);
        const int fd = printer.Connect();
        ASSERT_GE(fd, 0);
        const int sndbuf = 8192;
        setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sndbuf, sizeof sndbuf);
        ASSERT_TRUE(SendAll(fd, job));
        const long long read = printer.Status("read");
        const long long dropped = printer.Status("dropped");
        if (flowControl) {
            // Its buffer, the kernel's two socket buffers and a little more.
            EXPECT_GE(read, static_cast<long long>(job.size()) - 64 * 1024);
            EXPECT_EQ(dropped, 0);
        } else {
            EXPECT_GT(dropped, 0);
        }
        close(fd);
    }
}

TEST(VirtualPrinter, ResumesAfterPaperOutWithTheWholeReceipt) {
    const Bytes job = Receipt(30, 7);  // 90 mm of rows, then a feed and a cut
    VPrinter printer({"--roll-mm", "40", "--near-end-mm", "10", "--speed", "1000"});
    const int fd = printer.Connect();
    ASSERT_GE(fd, 0);
    std::thread sender([fd, &job] { SendAll(fd, job); });
    ASSERT_TRUE(printer.WaitLog("event=offline reason=paper-end"));
    // Stopped, it goes on filling its buffer.
    EXPECT_TRUE(printer.WaitStatus("buffered", 4096));
    const std::string before = printer.Log();
    EXPECT_EQ(before.find("event=cut"), std::string::npos);

    EXPECT_EQ(printer.Control("paper load 1000").compare(0, 3, "ok "), 0);
    sender.join();
    close(fd);
    ASSERT_TRUE(printer.WaitLog("event=cut"));
    const std::string log = printer.Log();
    EXPECT_NE(log.find("event=online"), std::string::npos);
    // One cut, after the whole receipt: 720 rows and 90 feed rows.
    EXPECT_NE(log.find("event=cut command=esc_m length_mm=101.2 "), std::string::npos) << log;
    EXPECT_EQ(log.find("event=cut"), log.rfind("event=cut"));

    // The paper is the same as that of the bytes printed without a stop.
    ASSERT_EQ(printer.Control("save").compare(0, 3, "ok "), 0);
    const std::string bin = printer.File("job.bin");
    FILE* out = fopen(bin.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    fwrite(job.data(), 1, job.size(), out);
    fclose(out);
    const std::string preview = std::string("'") + ESCPOS_PREVIEW_PATH + "' -o '" +
                                printer.File("preview.png") + "' '" + bin + "' >/dev/null";
    ASSERT_EQ(std::system(preview.c_str()), 0);
    const std::string paper = TempDir::Read(printer.File("paper.png"));
    EXPECT_FALSE(paper.empty());
    EXPECT_TRUE(paper == TempDir::Read(printer.File("preview.png")));
}

TEST(VirtualPrinter, SurvivesGarbageAndPrintsAfterASwitchOffAndOn) {
    VPrinter printer({"--speed", "100000", "--roll-mm", "100000000"});
    Bytes garbage(65536);
    std::mt19937 rng(2024);
    for (uint8_t& b : garbage) b = static_cast<uint8_t>(rng());
    int fd = printer.Connect();
    ASSERT_GE(fd, 0);
    std::thread sender([fd, &garbage] { SendAll(fd, garbage); });
    ASSERT_TRUE(printer.WaitLog("event=ignored"));
    // Garbage may hold a header that waits for more than will ever come:
    // switching off and on clears it, as on a real printer.
    EXPECT_EQ(printer.Control("power off").compare(0, 3, "ok "), 0);
    sender.join();
    close(fd);
    EXPECT_EQ(printer.Control("power on").compare(0, 3, "ok "), 0);

    fd = printer.Connect();
    ASSERT_GE(fd, 0) << printer.Log();
    ASSERT_TRUE(SendAll(fd, {0x10, 0x04, 0x01}));
    EXPECT_EQ(ReadBytes(fd, 1), Bytes{0x12});
    ASSERT_TRUE(SendAll(fd, Receipt(2, 1)));
    EXPECT_TRUE(printer.WaitLog("event=cut"));
    close(fd);
    EXPECT_TRUE(printer.Alive());
}

TEST(VirtualPrinter, RefusesConnectionsWhenOffAndDropsOneWhenUnplugged) {
    VPrinter printer({"--power-off"});
    EXPECT_EQ(printer.Connect(), -1);
    EXPECT_EQ(errno, ECONNREFUSED);
    EXPECT_EQ(printer.Control("power on").compare(0, 3, "ok "), 0);

    const int fd = printer.Connect();
    ASSERT_GE(fd, 0) << printer.Log();
    std::atomic<bool> sent{true};
    std::thread sender([fd, &sent] { sent = SendAll(fd, Receipt(2000, 5)); });
    ASSERT_TRUE(printer.WaitLog("event=recv"));
    EXPECT_EQ(printer.Control("unplug").compare(0, 3, "ok "), 0);
    sender.join();
    EXPECT_FALSE(sent);
    close(fd);
    EXPECT_TRUE(printer.WaitLog("event=disconnect reason=unplug"));
    EXPECT_TRUE(printer.Alive());
}

TEST(VirtualPrinter, WithoutABackChannelNeverAnswers) {
    VPrinter printer({"--no-status"});
    const int fd = printer.Connect();
    ASSERT_GE(fd, 0);
    Bytes job = {0x1D, 0x61, 0x0F, 0x10, 0x04, 0x01, 0x1D, 0x72, 0x01};
    const Bytes receipt = Receipt(1, 2);
    job.insert(job.end(), receipt.begin(), receipt.end());
    ASSERT_TRUE(SendAll(fd, job));
    ASSERT_TRUE(printer.WaitLog("event=cut"));
    uint8_t byte = 0;
    EXPECT_EQ(recv(fd, &byte, 1, MSG_DONTWAIT), -1);
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_NE(printer.Log().find("kind=dle_eot n=1 unanswered=1"), std::string::npos);
    close(fd);
}

TEST(VirtualPrinter, SerialLinkAnswersAndPrints) {
    VPrinter printer({"--no-tcp", "--serial", "115200"});
    std::string path = TempDir::Read(printer.File("pty"));
    while (!path.empty() && path.back() == '\n') path.pop_back();
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0) << path;
    struct termios tio;
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    const Bytes request = {0x10, 0x04, 0x04};
    ASSERT_EQ(write(fd, request.data(), request.size()), 3);
    EXPECT_EQ(ReadBytes(fd, 1), Bytes{0x12});
    const Bytes job = Receipt(2, 4);
    ASSERT_EQ(write(fd, job.data(), job.size()), static_cast<ssize_t>(job.size()));
    EXPECT_TRUE(printer.WaitLog("event=cut"));
    close(fd);
}

}  // namespace
