// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// Running a program as a child process with pipes on all three standard
// streams, for black-box tests of command-line programs.
#ifndef ZELP_TESTS_SUPPORT_PROCESS_RUNNER_H
#define ZELP_TESTS_SUPPORT_PROCESS_RUNNER_H

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace zelp::test {

// What to run, and with what environment and input.
struct Launch {
    std::string program;            // path of the executable; also argv[0]
    std::vector<std::string> args;  // argv[1] onwards
    // Environment changes on top of the parent's environment.
    std::vector<std::pair<std::string, std::string>> setEnv;
    std::vector<std::string> unsetEnv;
    // Standard input: the bytes of `stdinBytes`, or the file `stdinFile`
    // when that is not empty.
    std::string stdinBytes;
    std::string stdinFile;
};

struct ProcessResult {
    std::string out;      // standard output, bytes
    std::string err;      // standard error
    bool exited = false;  // ended through exit() with status `exitCode`
    int exitCode = -1;
    int termSignal = 0;   // the signal that ended it, when it did not exit
    bool timedOut = false;  // the hang guard killed it
    std::string failure;    // why the child could not be run; empty when it ran

    // "exit 0", "signal 9", "not run: ..." for failure messages.
    std::string Describe() const;
};

// Hang guard for every wait: a child still running after this long is
// killed and reported as timed out. Generous, so a slow sanitizer build
// never trips it; it only keeps a broken run from blocking the suite.
constexpr int kHangGuardMs = 120000;

// Runs the program to its end, feeding standard input and collecting both
// output streams at the same time so that no pipe can fill up and block.
ProcessResult RunProcess(const Launch& launch);

// In a forked child: a fresh signal state (SIGPIPE and SIGTERM at their
// defaults, nothing blocked), so the program behaves as under the scheduler
// whatever the test process ignores or blocks.
void ResetSignalsForChild();

// The child's environment: this process's, less launch.unsetEnv, plus
// launch.setEnv, as NAME=VALUE entries.
std::vector<std::string> ChildEnvironment(const Launch& launch);

// A child that the test drives while it runs: it writes standard input in
// pieces, watches the output, signals the child, then collects the result.
class RunningProcess {
public:
    RunningProcess() = default;
    ~RunningProcess();
    RunningProcess(const RunningProcess&) = delete;
    RunningProcess& operator=(const RunningProcess&) = delete;

    // Starts the child; false (with Failure() set) when it cannot. Standard
    // input is a pipe that WriteStdin feeds (`stdinBytes` is ignored), or the
    // file `stdinFile` when one is named.
    bool Start(const Launch& launch);

    // Writes all bytes to the child's standard input while draining its
    // output. Returns false once the child has closed its end (the rest is
    // dropped) or when the hang guard trips.
    bool WriteStdin(const std::string& bytes);
    void CloseStdin();

    // Drains output until standard error (or output) contains `text`; false
    // when the child ends or the hang guard trips first.
    bool WaitForStderr(const std::string& text);
    bool WaitForStdout(const std::string& text);

    // Drains output until the child has closed both output streams (it has
    // ended), leaving standard input open: shows that the child finished
    // without waiting for more input. False when the hang guard trips.
    bool WaitForOutputEnd();

    bool Signal(int sig);

    // Closes standard input, waits for the end and returns what was seen.
    ProcessResult Finish();

    const std::string& Out() const { return result_.out; }
    const std::string& Err() const { return result_.err; }
    const std::string& Failure() const { return result_.failure; }

private:
    // One poll round over the open pipes; `writeFrom` is the pending input.
    // Returns false when nothing is open or the poll failed.
    bool PumpOnce(int timeoutMs, const std::string* pending, size_t* written);
    bool WaitFor(const std::string& text, const std::string& stream);
    void Reap(bool block);

    pid_t pid_ = -1;
    int inFd_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    bool reaped_ = false;
    ProcessResult result_;
};

}  // namespace zelp::test

#endif
