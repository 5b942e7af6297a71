// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
// zelp-vprinter: a virtual ESC/POS receipt printer, to try the driver (and
// test it) without a printer. It listens as a raw network printer on
// 127.0.0.1, prints onto a modelled roll at a set speed, answers status
// requests, and writes a picture of its paper and a log of what it did.
// With words after the options it is instead a client that sends those
// words to a running printer's control socket.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "control.h"
#include "event_log.h"
#include "printer_model.h"
#include "server.h"

namespace {

using namespace zelp::vprinter;

constexpr int kExitUsage = 2;

void PrintHelp() {
    std::printf(
        "Usage: zelp-vprinter [OPTIONS]                  run a virtual receipt printer\n"
        "       zelp-vprinter --control PATH COMMAND...  change a running one\n"
        "\n"
        "Links:\n"
        "  --port N            raw TCP port on 127.0.0.1 (default 9100; 0: a free one)\n"
        "  --port-file FILE    write the port number to FILE once the printer is ready\n"
        "  --no-tcp            no network link (use with --serial)\n"
        "  --serial BAUD       also a serial printer on a pseudo-terminal, read at\n"
        "                      BAUD/10 bytes per second; its path is printed\n"
        "  --pty-file FILE     write the pseudo-terminal's path to FILE\n"
        "  --control PATH      a control socket (Unix socket) for the commands below\n"
        "  --rcvbuf BYTES      kernel receive buffer of the connection (default 4096)\n"
        "Printer:\n"
        "  --buffer BYTES      receive buffer (default 4096)\n"
        "  --speed MM          print speed in mm per second (default 150)\n"
        "  --width-dots N      head width in dots (default 576, 80 mm paper; 384 for 58 mm)\n"
        "  --roll-mm MM        length of a roll (default 50000)\n"
        "  --near-end-mm MM    paper left when the near-end sensor trips (default 1000;\n"
        "                      0: no near-end sensor)\n"
        "  --no-status         no back channel: status requests are never answered\n"
        "  --no-flow-control   never hold the sender back: bytes that find the buffer\n"
        "                      full are lost, as on a serial line without handshake\n"
        "State at start:\n"
        "  --paper-out  --near-end  --cover-open  --cutter-error  --cutter-jam\n"
        "  --drawer-high  --power-off\n"
        "Output:\n"
        "  --log FILE          event log, one key=value line per event (default: standard\n"
        "                      error; '-' too)\n"
        "  --png FILE          picture of the paper: written when a connection ends and\n"
        "                      all is printed, on 'save' and at exit\n"
        "  --capture FILE      append every byte received to FILE\n"
        "\n"
        "Control commands (through --control PATH, or one per line on the socket):\n"
        "%s"
        "  help            list the commands\n"
        "The answer is 'ok' and the printer's state as key=value pairs, or 'error: ...'.\n"
        "Exit status 0; 1 when a link cannot be set up (or, as a client, when the\n"
        "answer is not 'ok'); 2 for a wrong command line. SIGTERM and SIGINT end the\n"
        "printer after writing the picture and the counters.\n",
        ControlHelp().c_str());
}

bool ParseCount(const char* text, uint64_t low, uint64_t high, uint64_t* value) {
    char* end = nullptr;
    errno = 0;
    if (text[0] < '0' || text[0] > '9') return false;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0' || v < low || v > high) return false;
    *value = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    PrinterConfig config;
    ServerOptions server;
    std::string logPath = "-";
    bool paperOut = false, nearEnd = false, coverOpen = false, cutterError = false;
    bool cutterJam = false, drawerHigh = false;
    std::string words;

    struct Number {
        const char* name;
        uint64_t low;
        uint64_t high;
        uint64_t* value;
    };
    uint64_t port = 9100, rcvbuf = 4096, baud = 0, buffer = config.bufferBytes, speed = 150;
    uint64_t width = config.widthDots, roll = config.rollMm, nearEndMm = config.nearEndMm;
    const Number numbers[] = {
        {"--port", 0, 65535, &port},           {"--rcvbuf", 0, 1 << 24, &rcvbuf},
        {"--serial", 50, 4000000, &baud},      {"--buffer", 1, 1 << 24, &buffer},
        {"--speed", 1, 100000, &speed},        {"--width-dots", 8, 65535 * 8, &width},
        {"--roll-mm", 1, 100000000, &roll},    {"--near-end-mm", 0, 100000000, &nearEndMm},
    };
    struct Text {
        const char* name;
        std::string* value;
    };
    const Text texts[] = {
        {"--port-file", &server.portFile}, {"--pty-file", &server.ptyFile},
        {"--control", &server.controlPath}, {"--log", &logPath},
        {"--png", &server.pngPath},         {"--capture", &server.capturePath},
    };
    struct Flag {
        const char* name;
        bool* value;
        bool set;
    };
    const Flag flags[] = {
        {"--no-tcp", &server.tcp, false},         {"--no-status", &config.answerStatus, false},
        {"--no-flow-control", &config.flowControl, false},
        {"--paper-out", &paperOut, true},         {"--near-end", &nearEnd, true},
        {"--cover-open", &coverOpen, true},       {"--cutter-error", &cutterError, true},
        {"--cutter-jam", &cutterJam, true},       {"--drawer-high", &drawerHigh, true},
        {"--power-off", &server.startPoweredOff, true},
    };

    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (!words.empty() || (arg.empty() || arg[0] != '-')) {
            words += (words.empty() ? "" : " ") + arg;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            PrintHelp();
            return 0;
        }
        bool known = false;
        for (const Flag& f : flags) {
            if (arg == f.name) {
                *f.value = f.set;
                known = true;
            }
        }
        for (const Number& n : numbers) {
            if (arg != n.name) continue;
            known = true;
            if (i + 1 >= argc || !ParseCount(argv[i + 1], n.low, n.high, n.value)) {
                std::fprintf(stderr, "zelp-vprinter: %s needs a whole number from %llu to %llu\n",
                             n.name, static_cast<unsigned long long>(n.low),
                             static_cast<unsigned long long>(n.high));
                return kExitUsage;
            }
            ++i;
        }
        for (const Text& t : texts) {
            if (arg != t.name) continue;
            known = true;
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                std::fprintf(stderr, "zelp-vprinter: %s needs a file name\n", t.name);
                return kExitUsage;
            }
            *t.value = argv[++i];
        }
        if (!known) {
            std::fprintf(stderr, "zelp-vprinter: unknown option %s (see --help)\n", arg.c_str());
            return kExitUsage;
        }
    }

    if (!words.empty()) {
        if (server.controlPath.empty()) {
            std::fprintf(stderr, "zelp-vprinter: a command needs --control PATH (see --help)\n");
            return kExitUsage;
        }
        return SendControl(server.controlPath, words);
    }
    if (!server.tcp && baud == 0) {
        std::fprintf(stderr, "zelp-vprinter: --no-tcp leaves no link; add --serial BAUD\n");
        return kExitUsage;
    }

    server.port = static_cast<int>(port);
    server.rcvbuf = static_cast<int>(rcvbuf);
    server.baud = static_cast<uint32_t>(baud);
    // Both within the ranges read above (at most 2^24 and 65535 x 8).
    config.bufferBytes = static_cast<size_t>(buffer);
    config.speedMmPerSecond = static_cast<double>(speed);
    config.widthDots = static_cast<size_t>(width);
    config.rollMm = roll;
    config.nearEndMm = nearEndMm;

    EventLog log;
    if (!log.Open(logPath)) {
        std::fprintf(stderr, "zelp-vprinter: cannot open the log %s: %s\n", logPath.c_str(),
                     std::strerror(errno));
        return 1;
    }
    const double now = MonotonicNow();
    Printer printer(config, &log, now);
    if (paperOut) printer.PaperOut(now);
    if (nearEnd) printer.ForceNearEnd(true, now);
    if (coverOpen) printer.SetCover(true, now);
    if (cutterError) printer.CutterFail(now);
    if (cutterJam) printer.CutterJam(now);
    if (drawerHigh) printer.SetDrawer(true, now);
    return Serve(server, &printer, &log);
}
