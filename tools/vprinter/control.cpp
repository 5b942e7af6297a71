// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "control.h"

#include <cctype>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace zelp::vprinter {

namespace {

struct ControlCommand {
    const char* words;
    const char* help;
    bool takesNumber;   // an optional number follows
    void (*run)(Printer* printer, uint64_t number, double now);
    LinkAction action;
};

void Nothing(Printer*, uint64_t, double) {}

const ControlCommand kCommands[] = {
    {"paper out", "the roll runs out (paper end)", false,
     [](Printer* p, uint64_t, double now) { p->PaperOut(now); }, LinkAction::None},
    {"paper load", "a new roll (of MM mm; default the --roll-mm length)", true,
     [](Printer* p, uint64_t mm, double now) { p->LoadPaper(mm, now); }, LinkAction::None},
    {"near-end on", "the near-end sensor says near end", false,
     [](Printer* p, uint64_t, double now) { p->ForceNearEnd(true, now); }, LinkAction::None},
    {"near-end off", "the near-end sensor reads the roll again", false,
     [](Printer* p, uint64_t, double now) { p->ForceNearEnd(false, now); }, LinkAction::None},
    {"cover open", "open the cover (printing stops)", false,
     [](Printer* p, uint64_t, double now) { p->SetCover(true, now); }, LinkAction::None},
    {"cover close", "close the cover", false,
     [](Printer* p, uint64_t, double now) { p->SetCover(false, now); }, LinkAction::None},
    {"cutter fail", "a cutter error now (printing stops)", false,
     [](Printer* p, uint64_t, double now) { p->CutterFail(now); }, LinkAction::None},
    {"cutter jam", "the next cut fails with a cutter error", false,
     [](Printer* p, uint64_t, double now) { p->CutterJam(now); }, LinkAction::None},
    {"cutter fix", "clear the cutter; a failed cut is made and printing goes on", false,
     [](Printer* p, uint64_t, double now) { p->CutterFix(now); }, LinkAction::None},
    {"drawer high", "drawer kick-out connector pin 3 high", false,
     [](Printer* p, uint64_t, double now) { p->SetDrawer(true, now); }, LinkAction::None},
    {"drawer low", "drawer kick-out connector pin 3 low", false,
     [](Printer* p, uint64_t, double now) { p->SetDrawer(false, now); }, LinkAction::None},
    {"power off", "switch off: connections refused, the buffer lost", false,
     [](Printer* p, uint64_t, double now) { p->PowerOff(now); }, LinkAction::PowerOff},
    {"power on", "switch on again", false,
     [](Printer* p, uint64_t, double now) { p->PowerOn(now); }, LinkAction::PowerOn},
    {"unplug", "drop the network connection now (mid-job); the printer stays on", false, Nothing,
     LinkAction::Unplug},
    {"status", "the state and counters", false, Nothing, LinkAction::None},
    {"save", "write the picture of the paper (--png) now", false, Nothing, LinkAction::Save},
    {"quit", "end the program (picture and counters written)", false, Nothing, LinkAction::Quit},
};

std::string Normalise(const std::string& line) {
    std::string out;
    bool space = true;  // drops leading and repeated separators
    for (char c : line) {
        const bool separator = c == ' ' || c == '\t' || c == '-' || c == '_' || c == '\r' || c == '\n';
        if (separator) {
            if (!space) out += ' ';
            space = true;
        } else {
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            space = false;
        }
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

bool ParseNumber(const std::string& text, uint64_t* value) {
    if (text.empty() || text.size() > 12) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    *value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

}  // namespace

ControlReply RunControl(const std::string& line, Printer* printer, EventLog* log, double now) {
    const std::string words = Normalise(line);
    ControlReply reply;
    if (words == "help") {
        reply.ok = true;
        reply.text = "ok commands:";
        for (const ControlCommand& c : kCommands) {
            reply.text += std::string(" '") + c.words + (c.takesNumber ? " [MM]'" : "'");
        }
        return reply;
    }
    for (const ControlCommand& c : kCommands) {
        const std::string name = Normalise(c.words);
        uint64_t number = 0;
        if (words != name) {
            if (!c.takesNumber || words.compare(0, name.size() + 1, name + " ") != 0) continue;
            if (!ParseNumber(words.substr(name.size() + 1), &number) || number == 0) {
                reply.text = "error: '" + name + "' takes a length in mm (a whole number above 0)";
                return reply;
            }
        }
        std::string id = name;
        for (char& ch : id) {
            if (ch == ' ') ch = '-';
        }
        if (name != "status") {
            auto event = log->Event(now, "control");
            event.Add("command", id);
            if (number > 0) event.Add("mm", number);
        }
        c.run(printer, number, now);
        reply.ok = true;
        reply.action = c.action;
        reply.text = "ok " + printer->Describe();
        return reply;
    }
    reply.text = "error: unknown command '" + words + "' (try 'help')";
    return reply;
}

std::string ControlHelp() {
    std::ostringstream text;
    for (const ControlCommand& c : kCommands) {
        const std::string name = std::string(c.words) + (c.takesNumber ? " [MM]" : "");
        text << "  " << name;
        for (size_t i = name.size(); i < 16; ++i) text << ' ';
        text << c.help << "\n";
    }
    return text.str();
}

}  // namespace zelp::vprinter
