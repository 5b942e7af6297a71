// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <map>

extern char** environ;

namespace zelp::test {

void ResetSignalsForChild() {
    signal(SIGPIPE, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
}

std::vector<std::string> ChildEnvironment(const Launch& launch) {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const size_t eq = entry.find('=');
        if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    for (const std::string& name : launch.unsetEnv) env.erase(name);
    for (const auto& [name, value] : launch.setEnv) env[name] = value;
    std::vector<std::string> entries;
    for (const auto& [name, value] : env) entries.push_back(name + "=" + value);
    return entries;
}

namespace {

using Clock = std::chrono::steady_clock;

// Everything the child needs, prepared before fork so that the child only
// calls async-signal-safe functions.
struct ExecPlan {
    std::vector<std::string> argStore;
    std::vector<std::string> envStore;
    std::vector<char*> argv;
    std::vector<char*> envp;
};

ExecPlan MakePlan(const Launch& launch) {
    ExecPlan plan;
    plan.argStore.push_back(launch.program);
    plan.argStore.insert(plan.argStore.end(), launch.args.begin(), launch.args.end());

    plan.envStore = ChildEnvironment(launch);

    for (std::string& s : plan.argStore) plan.argv.push_back(s.data());
    plan.argv.push_back(nullptr);
    for (std::string& s : plan.envStore) plan.envp.push_back(s.data());
    plan.envp.push_back(nullptr);
    return plan;
}

void CloseFd(int* fd) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
}

bool ReadSome(int* fd, std::string* into) {
    char buffer[65536];
    const ssize_t n = read(*fd, buffer, sizeof buffer);
    if (n > 0) {
        into->append(buffer, static_cast<size_t>(n));
        return true;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return true;
    CloseFd(fd);  // end of stream or a real error: either way nothing more comes
    return false;
}

// Starts the child with stdin from `stdinSource` (a pipe end or a file) and
// both outputs into pipes. Returns the pid, or -1 with `failure` set.
pid_t Spawn(const Launch& launch, int stdinSource, int outPipe[2], int errPipe[2], std::string* failure) {
    ExecPlan plan = MakePlan(launch);
    const pid_t pid = fork();
    if (pid < 0) {
        *failure = std::string("fork: ") + strerror(errno);
        return -1;
    }
    if (pid == 0) {
        ResetSignalsForChild();
        dup2(stdinSource, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        for (int fd = 3; fd < 1024; ++fd) close(fd);
        execve(plan.argv[0], plan.argv.data(), plan.envp.data());
        static const char kMessage[] = "exec failed\n";
        (void)!write(2, kMessage, sizeof kMessage - 1);
        _exit(127);
    }
    return pid;
}

}  // namespace

std::string ProcessResult::Describe() const {
    if (!failure.empty()) return "not run: " + failure;
    if (timedOut) return "killed by the hang guard";
    if (exited) return "exit " + std::to_string(exitCode);
    return "signal " + std::to_string(termSignal);
}

RunningProcess::~RunningProcess() {
    CloseFd(&inFd_);
    CloseFd(&outFd_);
    CloseFd(&errFd_);
    if (pid_ > 0 && !reaped_) {
        kill(pid_, SIGKILL);
        Reap(true);
    }
}

bool RunningProcess::Start(const Launch& launch) {
    // A child that closes its input must not kill the test with SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    int inPipe[2] = {-1, -1};
    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    int fileFd = -1;
    if (!launch.stdinFile.empty()) {
        fileFd = open(launch.stdinFile.c_str(), O_RDONLY | O_CLOEXEC);
        if (fileFd < 0) {
            result_.failure = "open " + launch.stdinFile + ": " + strerror(errno);
            return false;
        }
    } else if (pipe2(inPipe, O_CLOEXEC) != 0) {
        result_.failure = std::string("pipe: ") + strerror(errno);
        return false;
    }
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        result_.failure = std::string("pipe: ") + strerror(errno);
        for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1], fileFd}) {
            if (fd >= 0) close(fd);
        }
        return false;
    }
    pid_ = Spawn(launch, fileFd >= 0 ? fileFd : inPipe[0], outPipe, errPipe, &result_.failure);
    for (int fd : {inPipe[0], outPipe[1], errPipe[1], fileFd}) {
        if (fd >= 0) close(fd);
    }
    inFd_ = inPipe[1];
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
    if (pid_ < 0) {
        CloseFd(&inFd_);
        CloseFd(&outFd_);
        CloseFd(&errFd_);
        return false;
    }
    if (inFd_ >= 0) fcntl(inFd_, F_SETFL, fcntl(inFd_, F_GETFL) | O_NONBLOCK);
    return true;
}

bool RunningProcess::PumpOnce(int timeoutMs, const std::string* pending, size_t* written) {
    pollfd fds[3];
    int count = 0;
    const bool wantWrite = pending != nullptr && inFd_ >= 0 && *written < pending->size();
    if (outFd_ >= 0) fds[count++] = {outFd_, POLLIN, 0};
    if (errFd_ >= 0) fds[count++] = {errFd_, POLLIN, 0};
    if (wantWrite) fds[count++] = {inFd_, POLLOUT, 0};
    if (count == 0) return false;
    const int ready = poll(fds, static_cast<nfds_t>(count), timeoutMs);
    if (ready < 0) return errno == EINTR;
    for (int i = 0; i < count; ++i) {
        if (fds[i].revents == 0) continue;
        if (fds[i].fd == outFd_) {
            ReadSome(&outFd_, &result_.out);
        } else if (fds[i].fd == errFd_) {
            ReadSome(&errFd_, &result_.err);
        } else if (fds[i].fd == inFd_) {
            const ssize_t n = write(inFd_, pending->data() + *written, pending->size() - *written);
            if (n > 0) {
                *written += static_cast<size_t>(n);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                CloseFd(&inFd_);  // EPIPE: the child no longer reads
            }
        }
    }
    return true;
}

bool RunningProcess::WriteStdin(const std::string& bytes) {
    size_t written = 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kHangGuardMs);
    while (inFd_ >= 0 && written < bytes.size()) {
        if (Clock::now() > deadline) {
            result_.timedOut = true;
            return false;
        }
        if (!PumpOnce(100, &bytes, &written)) return false;
    }
    return written == bytes.size();
}

void RunningProcess::CloseStdin() { CloseFd(&inFd_); }

bool RunningProcess::WaitFor(const std::string& text, const std::string& stream) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kHangGuardMs);
    while (stream.find(text) == std::string::npos) {
        if (Clock::now() > deadline) {
            result_.timedOut = true;
            return false;
        }
        if (!PumpOnce(100, nullptr, nullptr)) return false;
    }
    return true;
}

bool RunningProcess::WaitForStderr(const std::string& text) { return WaitFor(text, result_.err); }
bool RunningProcess::WaitForStdout(const std::string& text) { return WaitFor(text, result_.out); }

bool RunningProcess::WaitForOutputEnd() {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kHangGuardMs);
    while (outFd_ >= 0 || errFd_ >= 0) {
        if (Clock::now() > deadline) {
            result_.timedOut = true;
            return false;
        }
        if (!PumpOnce(100, nullptr, nullptr)) return false;
    }
    return true;
}

bool RunningProcess::Signal(int sig) { return pid_ > 0 && !reaped_ && kill(pid_, sig) == 0; }

void RunningProcess::Reap(bool block) {
    int status = 0;
    pid_t got;
    do {
        got = waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got != pid_) return;
    reaped_ = true;
    if (WIFEXITED(status)) {
        result_.exited = true;
        result_.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result_.termSignal = WTERMSIG(status);
    }
}

ProcessResult RunningProcess::Finish() {
    CloseStdin();
    if (pid_ <= 0) return result_;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kHangGuardMs);
    while (outFd_ >= 0 || errFd_ >= 0) {
        if (Clock::now() > deadline) {
            result_.timedOut = true;
            kill(pid_, SIGKILL);
            break;
        }
        if (!PumpOnce(100, nullptr, nullptr)) break;
    }
    CloseFd(&outFd_);
    CloseFd(&errFd_);
    Reap(true);
    return result_;
}

ProcessResult RunProcess(const Launch& launch) {
    RunningProcess child;
    if (!child.Start(launch)) {
        ProcessResult failed;
        failed.failure = child.Failure();
        return failed;
    }
    if (launch.stdinFile.empty()) child.WriteStdin(launch.stdinBytes);
    return child.Finish();
}

}  // namespace zelp::test
