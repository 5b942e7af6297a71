// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "measured_run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <thread>

extern char** environ;

namespace zelp::test {

namespace {

// Closes the wrapped stream when it goes out of scope.
struct ScratchFile {
    FILE* file = tmpfile();
    ~ScratchFile() {
        if (file != nullptr) fclose(file);
    }
    int Fd() const { return file != nullptr ? fileno(file) : -1; }
};

std::string ReadAll(int fd) {
    std::string bytes;
    if (lseek(fd, 0, SEEK_SET) != 0) return bytes;
    char buffer[65536];
    ssize_t n;
    while ((n = read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0) bytes.append(buffer, static_cast<size_t>(n));
    }
    return bytes;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return lseek(fd, 0, SEEK_SET) == 0;
}


}  // namespace

MeasuredResult RunMeasured(const Launch& launch, StdinMode stdinMode) {
    MeasuredResult measured;
    ProcessResult& result = measured.result;
    ScratchFile in;
    ScratchFile out;
    ScratchFile err;
    int inFd = -1;
    if (stdinMode == StdinMode::kFromLaunch) {
        if (!launch.stdinFile.empty()) {
            inFd = open(launch.stdinFile.c_str(), O_RDONLY | O_CLOEXEC);
            if (inFd < 0) {
                result.failure = "open " + launch.stdinFile + ": " + strerror(errno);
                return measured;
            }
        } else if (in.Fd() < 0 || !WriteAll(in.Fd(), launch.stdinBytes)) {
            result.failure = "cannot write standard input to a scratch file";
            return measured;
        }
    }
    if (out.Fd() < 0 || err.Fd() < 0) {
        result.failure = "cannot make scratch files for the output";
        if (inFd >= 0) close(inFd);
        return measured;
    }

    // Everything the child needs is built before fork.
    std::vector<std::string> argStore{launch.program};
    argStore.insert(argStore.end(), launch.args.begin(), launch.args.end());
    std::vector<std::string> envStore = ChildEnvironment(launch);
    std::vector<char*> argv;
    std::vector<char*> envp;
    for (std::string& s : argStore) argv.push_back(s.data());
    argv.push_back(nullptr);
    for (std::string& s : envStore) envp.push_back(s.data());
    envp.push_back(nullptr);
    const int stdinSource = inFd >= 0 ? inFd : in.Fd();

    const pid_t pid = fork();
    if (pid < 0) {
        result.failure = std::string("fork: ") + strerror(errno);
        if (inFd >= 0) close(inFd);
        return measured;
    }
    if (pid == 0) {
        ResetSignalsForChild();
        // Lifted above 2 first: a test run without standard input may have
        // been handed descriptor 0, 1 or 2 for a scratch file.
        const int outFd = fcntl(out.Fd(), F_DUPFD, 3);
        const int errFd = fcntl(err.Fd(), F_DUPFD, 3);
        const int inSource = stdinMode == StdinMode::kClosed ? -1 : fcntl(stdinSource, F_DUPFD, 3);
        if (inSource >= 0) {
            dup2(inSource, 0);
        } else {
            close(0);
        }
        dup2(outFd, 1);
        dup2(errFd, 2);
        for (int fd = 3; fd < 1024; ++fd) close(fd);
        execve(argv[0], argv.data(), envp.data());
        static const char kMessage[] = "exec failed\n";
        (void)!write(2, kMessage, sizeof kMessage - 1);
        _exit(127);
    }
    if (inFd >= 0) close(inFd);

    // Polled, so that a child that hangs is killed by the guard instead of
    // blocking the suite.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangGuardMs);
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t got = wait4(pid, &status, WNOHANG, &usage);
        if (got == pid) break;
        if (got < 0 && errno != EINTR) {
            result.failure = std::string("wait4: ") + strerror(errno);
            return measured;
        }
        if (!result.timedOut && std::chrono::steady_clock::now() > deadline) {
            result.timedOut = true;
            kill(pid, SIGKILL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (WIFEXITED(status)) {
        result.exited = true;
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.termSignal = WTERMSIG(status);
    }
    measured.maxRssKiB = usage.ru_maxrss;
    result.out = ReadAll(out.Fd());
    result.err = ReadAll(err.Fd());
    return measured;
}

}  // namespace zelp::test
