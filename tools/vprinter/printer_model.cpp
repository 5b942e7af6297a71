// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "printer_model.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "escpos_png.h"
#include "escpos_render.h"

namespace zelp::vprinter {

namespace {

using escpos::CommandKind;
using escpos::Item;
using escpos::ItemKind;

// Work done in one Advance before it hands back to the event loop (a block
// of empty rows can be long); the rest is done on the next turn.
constexpr size_t kMaxStepsPerAdvance = 20000;
// Status bytes kept for a host that does not read them.
constexpr size_t kMaxOutputBytes = 65536;
// Free room that ends busy.
constexpr size_t kReadyRoom = 512;
constexpr double kNever = std::numeric_limits<double>::max();

bool IsCut(CommandKind kind) {
    return kind == CommandKind::CutOnePoint || kind == CommandKind::CutThreePoints;
}

const char* YesNo(bool value) { return value ? "1" : "0"; }

}  // namespace

Printer::Printer(const PrinterConfig& config, EventLog* log, double now)
    : config_(config),
      log_(log),
      rowsPerSecond_(config.speedMmPerSecond * kDotsPerMm),
      maxRowBytes_((config.widthDots + 7) / 8),
      paperLeftRows_(config.rollMm * kDotsPerMm),
      freeAt_(now),
      lineSpacing_(escpos::kDefaultLineSpacingDots) {
    buffer_.reserve(config_.bufferBytes);
    logged_ = State();
    loggedOnline_ = CanPrint();
    lastAsb_ = AutoStatusBytes(logged_);
}

// --- Link ---

size_t Printer::Room() const {
    const size_t buffered = buffer_.size() - head_;
    return powered_ && buffered < config_.bufferBytes ? config_.bufferBytes - buffered : 0;
}

bool Printer::ReadyForData() const {
    // Stopped, nothing frees room: it takes what it can.
    return Room() > 0 && (!busy_ || !CanPrint());
}

void Printer::Receive(const uint8_t* data, size_t size, double now) {
    if (!powered_ || size == 0) return;
    counters_.received += size;
    const size_t keep = std::min(size, Room());
    if (head_ > 0) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + keep);
    counters_.dropped += size - keep;
    if (Room() == 0) busy_ = true;
    {
        auto line = log_->Event(now, "recv");
        line.Add("bytes", uint64_t{size}).Add("buffered", uint64_t{buffer_.size()});
        if (keep < size) line.Add("dropped", uint64_t{size - keep});
    }
    // The receive side sees every byte, kept or not.
    for (size_t i = 0; i < size; ++i) {
        Item item;
        if (scanner_.Push(data[i], &item)) Realtime(item, now);
    }
    Advance(now);
}

void Printer::Advance(double now) {
    if (!powered_) return;
    Refresh(now);
    size_t step = 0;
    for (; step < kMaxStepsPerAdvance; ++step) {
        if (!CanPrint()) break;
        if (motion_ != Motion::None) {
            if (!Move(now)) break;
            continue;
        }
        if (haveHeld_) {
            haveHeld_ = false;
            ExecuteCommand(held_, now);
            continue;
        }
        Item item;
        bool ready = false;
        const size_t used = reader_.Take(buffer_.data() + head_, buffer_.size() - head_, &item, &ready);
        Consume(used);
        if (!ready) {
            // Nothing to print: the mechanism waits from now on.
            if (freeAt_ < now) freeAt_ = now;
            FlushIgnored(now);
            break;
        }
        Execute(item, now);
    }
    moreWork_ = step == kMaxStepsPerAdvance;
    Refresh(now);
}

double Printer::WakeAt() const {
    if (!powered_ || !CanPrint()) return kNever;
    if (motion_ != Motion::None || haveHeld_ || moreWork_) return freeAt_;
    return kNever;
}

std::string Printer::TakeOutput() {
    std::string out;
    out.swap(output_);
    return out;
}

bool Printer::Idle() const {
    return buffer_.size() == head_ && motion_ == Motion::None && !haveHeld_;
}

void Printer::Consume(size_t bytes) {
    head_ += bytes;
    counters_.read += bytes;
    if (head_ == buffer_.size()) {
        buffer_.clear();
        head_ = 0;
    }
    if (busy_ && Room() >= std::min<size_t>(kReadyRoom, config_.bufferBytes / 8 + 1)) busy_ = false;
}

// --- Reading ---

void Printer::Realtime(const Item& item, double now) {
    switch (item.kind) {
        case ItemKind::StatusRequest: {
            auto line = log_->Event(now, "status");
            line.Add("kind", escpos::ItemId(item.kind)).Add("n", item.n);
            if (!config_.answerStatus) {
                line.Add("unanswered", 1);
                return;
            }
            const uint8_t byte = RealtimeStatusByte(item.n, State());
            Send(&byte, 1);
            line.Add("hex", Hex(&byte, 1));
            return;
        }
        case ItemKind::RecoveryRequest:
            log_->Event(now, "recovery").Add("n", item.n);
            return;
        case ItemKind::RealtimePulse:
            log_->Event(now, "drawer")
                .Add("command", escpos::ItemId(item.kind))
                .Add("m", item.m)
                .Add("t", item.t);
            return;
        default:
            return;
    }
}

void Printer::Execute(const Item& item, double now) {
    if (item.kind == ItemKind::Ignored) {
        NoteIgnored(item);
        return;
    }
    switch (item.kind) {
        case ItemKind::StatusRequest:
        case ItemKind::RecoveryRequest:
        case ItemKind::RealtimePulse:
            return;  // done when they arrived
        case ItemKind::SelectPeripheral:
            FlushIgnored(now);
            peripheralEnabled_ = (item.n & 1) != 0;
            log_->Event(now, "command").Add("id", escpos::ItemId(item.kind)).Add("n", item.n);
            return;
        default:
            break;
    }
    // ESC = 0: everything but ESC = itself passes unseen.
    if (!peripheralEnabled_) {
        NoteIgnored(item);
        return;
    }
    FlushIgnored(now);
    switch (item.kind) {
        case ItemKind::AutoStatus: {
            asbMask_ = static_cast<uint8_t>(item.n & 0x0F);
            log_->Event(now, "command").Add("id", escpos::ItemId(item.kind)).Add("n", item.n);
            if (asbMask_ == 0) return;
            // Enabling sends the status once, whatever changed.
            auto line = log_->Event(now, "status");
            line.Add("kind", "asb").Add("reason", "enabled");
            if (!config_.answerStatus) {
                line.Add("unanswered", 1);
                return;
            }
            lastAsb_ = AutoStatusBytes(State());
            Send(lastAsb_.data(), lastAsb_.size());
            line.Add("hex", Hex(lastAsb_.data(), lastAsb_.size()));
            return;
        }
        case ItemKind::TransmitStatus: {
            uint8_t byte = 0;
            auto line = log_->Event(now, "status");
            line.Add("kind", escpos::ItemId(item.kind)).Add("n", item.n);
            if (!TransmitStatusByte(item.n, State(), &byte)) {
                line.Add("invalid", 1);
            } else if (!config_.answerStatus) {
                line.Add("unanswered", 1);
            } else {
                Send(&byte, 1);
                line.Add("hex", Hex(&byte, 1));
            }
            return;
        }
        case ItemKind::BandStart: {
            Printed band;
            band.command = item.command;
            band.command.widthBytes = std::min<uint32_t>(item.command.widthBytes,
                                                         static_cast<uint32_t>(maxRowBytes_));
            band.command.rows = 0;
            band.command.dataSize = 0;
            paper_.push_back(band);
            band_ = item.command;
            if (item.command.rows == 0) {
                log_->Event(now, "band").Add("rows", 0).Add("width_bytes", item.command.widthBytes);
            }
            return;
        }
        case ItemKind::BandRow:
            motion_ = Motion::Row;
            motionRow_.assign(item.row, item.row + std::min(item.rowSize, maxRowBytes_));
            lastRow_ = item.lastRow;
            StartMotion(1);
            return;
        case ItemKind::Command:
            ExecuteCommand(item.command, now);
            return;
        default:
            return;
    }
}

void Printer::ExecuteCommand(const escpos::Command& command, double now) {
    uint32_t spacing = lineSpacing_;
    const uint64_t rows = escpos::PaperRows(command, &spacing);
    if (IsCut(command.kind) && cutterJammed_) {
        // The cut is not made; it is tried again once the cutter is fixed.
        cutterError_ = true;
        haveHeld_ = true;
        held_ = command;
        log_->Event(now, "cutter-error").Add("command", escpos::CommandId(command.kind));
        return;
    }
    lineSpacing_ = spacing;
    Printed printed;
    printed.command = command;
    if (command.data != nullptr) printed.data.assign(command.data, command.data + command.dataSize);
    printed.command.data = nullptr;
    paper_.push_back(printed);
    if (rows > 0) {
        motion_ = Motion::Command;
        motionCommand_ = command;
        motionCommand_.data = nullptr;
        if (IsCut(command.kind)) cutLengthRows_ = sinceCutRows_;
        StartMotion(rows);
        return;
    }
    switch (command.kind) {
        case CommandKind::Beeper:
            log_->Event(now, "beep").Add("n", command.n).Add("t", command.t);
            return;
        case CommandKind::DrawerKick:
            log_->Event(now, "drawer")
                .Add("command", escpos::CommandId(command.kind))
                .Add("m", command.m)
                .Add("t1", command.t1)
                .Add("t2", command.t2);
            return;
        default:
            log_->Event(now, "command").Add("id", escpos::CommandId(command.kind));
            return;
    }
}

// --- The mechanism ---

void Printer::StartMotion(uint64_t rows) {
    motionRows_ = rows;
    motionTotal_ = rows;
}

bool Printer::Move(double now) {
    if (freeAt_ > now) return false;
    // Rows the mechanism has had time for; at least the one it starts now.
    const double behind = (now - freeAt_) * rowsPerSecond_;
    const uint64_t due = 1 + static_cast<uint64_t>(std::min(behind, 1e12));
    const uint64_t take = std::min({motionRows_, due, paperLeftRows_});
    if (take == 0) return false;
    paperLeftRows_ -= take;
    motionRows_ -= take;
    counters_.paperRows += take;
    sinceCutRows_ += take;
    freeAt_ += static_cast<double>(take) / rowsPerSecond_;
    if (motionRows_ == 0) FinishMotion(now);
    return true;
}

void Printer::FinishMotion(double now) {
    const Motion done = motion_;
    motion_ = Motion::None;
    if (done == Motion::Row) {
        ++counters_.dotRows;
        if (!paper_.empty() && paper_.back().command.kind == CommandKind::RasterBand) {
            Printed& band = paper_.back();
            motionRow_.resize(band.command.widthBytes, 0);
            band.data.insert(band.data.end(), motionRow_.begin(), motionRow_.end());
            ++band.command.rows;
            band.command.dataSize = band.data.size();
        }
        if (lastRow_) {
            log_->Event(now, "band")
                .Add("rows", band_.rows)
                .Add("width_bytes", band_.widthBytes)
                .Add("offset", uint64_t{band_.offset});
        }
        return;
    }
    const escpos::Command& c = motionCommand_;
    switch (c.kind) {
        case CommandKind::FeedLines:
            log_->Event(now, "feed").Add("command", escpos::CommandId(c.kind)).Add("n", c.n).Add("dots", motionTotal_);
            return;
        case CommandKind::FormFeed:
            log_->Event(now, "feed").Add("command", escpos::CommandId(c.kind)).Add("dots", motionTotal_);
            return;
        case CommandKind::CutOnePoint:
        case CommandKind::CutThreePoints:
            ++counters_.cuts;
            log_->Event(now, "cut")
                .Add("command", escpos::CommandId(c.kind))
                .Mm("length_mm", cutLengthRows_)
                .Mm("paper_mm", counters_.paperRows);
            sinceCutRows_ = 0;
            return;
        case CommandKind::PrintLogo:
            log_->Event(now, "logo").Add("n", c.n).Add("m", c.m);
            return;
        default:
            log_->Event(now, "command").Add("id", escpos::CommandId(c.kind)).Add("dots", motionTotal_);
            return;
    }
}

void Printer::NoteIgnored(const Item& item) {
    if (ignoredBytes_ == 0) ignoredOffset_ = item.offset;
    ignoredBytes_ += item.size;
}

void Printer::FlushIgnored(double now) {
    if (ignoredBytes_ == 0) return;
    log_->Event(now, "ignored").Add("bytes", ignoredBytes_).Add("offset", uint64_t{ignoredOffset_});
    ignoredBytes_ = 0;
}

void Printer::Send(const uint8_t* bytes, size_t size) {
    if (!powered_ || output_.size() + size > kMaxOutputBytes) return;
    output_.append(reinterpret_cast<const char*>(bytes), size);
    counters_.statusBytes += size;
}

// --- State ---

bool Printer::CanPrint() const {
    return powered_ && !coverOpen_ && !PaperOutNow() && !cutterError_;
}

bool Printer::NearEndNow() const {
    return nearEndForced_ ||
           (config_.nearEndMm > 0 && paperLeftRows_ <= config_.nearEndMm * kDotsPerMm);
}

StatusState Printer::State() const {
    StatusState s;
    s.drawerHigh = drawerHigh_;
    s.coverOpen = coverOpen_;
    s.paperOut = PaperOutNow();
    s.paperEndStop = PaperOutNow();
    s.nearEnd = NearEndNow();
    s.cutterError = cutterError_;
    s.error = cutterError_;
    s.offline = !CanPrint();
    return s;
}

void Printer::Refresh(double now) {
    if (!powered_) return;
    const StatusState s = State();
    if (s.paperOut != logged_.paperOut || s.nearEnd != logged_.nearEnd ||
        s.coverOpen != logged_.coverOpen || s.cutterError != logged_.cutterError ||
        s.drawerHigh != logged_.drawerHigh) {
        log_->Event(now, "sensors")
            .Add("paper", s.paperOut ? "out" : "present")
            .Add("near_end", YesNo(s.nearEnd))
            .Add("cover", s.coverOpen ? "open" : "closed")
            .Add("cutter", s.cutterError ? "error" : "ok")
            .Add("drawer", s.drawerHigh ? "high" : "low");
    }
    std::string reasons;
    if (s.paperOut) reasons += ",paper-end";
    if (s.coverOpen) reasons += ",cover-open";
    if (s.cutterError) reasons += ",cutter-error";
    if (!reasons.empty()) reasons.erase(0, 1);
    const bool online = reasons.empty();
    if (!online && reasons != loggedReasons_) {
        if (loggedOnline_) offlineSince_ = now;
        log_->Event(now, "offline")
            .Add("reason", reasons)
            .Add("buffered", uint64_t{buffer_.size() - head_})
            .Add("printing", YesNo(motion_ != Motion::None || haveHeld_));
    } else if (online && !loggedOnline_) {
        log_->Event(now, "online").Seconds("offline_s", now - offlineSince_);
        // The mechanism starts again from now, not from when it stopped.
        if (freeAt_ < now) freeAt_ = now;
    }
    loggedOnline_ = online;
    loggedReasons_ = reasons;
    logged_ = s;

    if (asbMask_ == 0) return;
    const AsbBytes asb = AutoStatusBytes(s);
    if (!AsbItemChanged(asbMask_, lastAsb_, asb)) return;
    lastAsb_ = asb;
    auto line = log_->Event(now, "status");
    line.Add("kind", "asb").Add("reason", "changed");
    if (!config_.answerStatus) {
        line.Add("unanswered", 1);
        return;
    }
    Send(asb.data(), asb.size());
    line.Add("hex", Hex(asb.data(), asb.size()));
}

void Printer::PaperOut(double now) {
    paperLeftRows_ = 0;
    Advance(now);
}

void Printer::LoadPaper(uint64_t mm, double now) {
    paperLeftRows_ = (mm > 0 ? mm : config_.rollMm) * kDotsPerMm;
    nearEndForced_ = false;
    Advance(now);
}

void Printer::ForceNearEnd(bool on, double now) {
    nearEndForced_ = on;
    Advance(now);
}

void Printer::SetCover(bool open, double now) {
    coverOpen_ = open;
    Advance(now);
}

void Printer::CutterFail(double now) {
    cutterError_ = true;
    Advance(now);
}

void Printer::CutterJam(double now) {
    cutterJammed_ = true;
    Advance(now);
}

void Printer::CutterFix(double now) {
    cutterJammed_ = false;
    cutterError_ = false;
    Advance(now);
}

void Printer::SetDrawer(bool high, double now) {
    drawerHigh_ = high;
    Advance(now);
}

void Printer::PowerOff(double now) {
    if (!powered_) return;
    FlushIgnored(now);
    log_->Event(now, "power")
        .Add("state", "off")
        .Add("lost", uint64_t{buffer_.size() - head_ + reader_.Pending()});
    powered_ = false;
    busy_ = false;
    buffer_.clear();
    head_ = 0;
    reader_.Reset();
    scanner_.Reset();
    motion_ = Motion::None;
    motionRows_ = 0;
    haveHeld_ = false;
    moreWork_ = false;
    // Switching off clears an error; a jam that is still there comes back
    // at the next cut.
    cutterError_ = false;
    asbMask_ = 0;
    peripheralEnabled_ = true;
    lineSpacing_ = escpos::kDefaultLineSpacingDots;
    output_.clear();
}

void Printer::PowerOn(double now) {
    if (powered_) return;
    powered_ = true;
    freeAt_ = now;
    // The picture follows the printer's settings back to their defaults.
    Printed reset;
    reset.command.kind = CommandKind::Initialize;
    paper_.push_back(reset);
    log_->Event(now, "power").Add("state", "on");
    Advance(now);
}

std::string Printer::Describe() const {
    const StatusState s = State();
    char text[512];
    std::snprintf(text, sizeof text,
                  "powered=%s online=%s paper=%s near_end=%s cover=%s cutter=%s drawer=%s "
                  "paper_left_mm=%llu buffered=%zu printing=%s asb=0x%02X received=%llu "
                  "dropped=%llu read=%llu dot_rows=%llu paper_mm=%llu cuts=%llu",
                  YesNo(powered_), YesNo(CanPrint()), s.paperOut ? "out" : "present",
                  YesNo(s.nearEnd), s.coverOpen ? "open" : "closed",
                  cutterError_ ? "error" : (cutterJammed_ ? "jammed" : "ok"),
                  s.drawerHigh ? "high" : "low",
                  static_cast<unsigned long long>(paperLeftRows_ / kDotsPerMm),
                  buffer_.size() - head_, YesNo(motion_ != Motion::None || haveHeld_), asbMask_,
                  static_cast<unsigned long long>(counters_.received),
                  static_cast<unsigned long long>(counters_.dropped),
                  static_cast<unsigned long long>(counters_.read),
                  static_cast<unsigned long long>(counters_.dotRows),
                  static_cast<unsigned long long>(counters_.paperRows / kDotsPerMm),
                  static_cast<unsigned long long>(counters_.cuts));
    return text;
}

void Printer::LogCounters(double now, const char* when) {
    FlushIgnored(now);
    log_->Event(now, "counters")
        .Add("when", when)
        .Add("received", counters_.received)
        .Add("dropped", counters_.dropped)
        .Add("read", counters_.read)
        .Add("dot_rows", counters_.dotRows)
        .Mm("paper_mm", counters_.paperRows)
        .Add("cuts", counters_.cuts)
        .Add("status_bytes", counters_.statusBytes);
}

bool Printer::SavePicture(const std::string& path, std::string* error) const {
    std::vector<escpos::Command> commands;
    commands.reserve(paper_.size());
    for (const Printed& printed : paper_) {
        commands.push_back(printed.command);
        if (!printed.data.empty()) commands.back().data = printed.data.data();
    }
    escpos::Preview preview;
    if (!escpos::RenderPreview(commands, &preview, error)) return false;
    const std::string temporary = path + ".tmp";
    if (!escpos::WritePicturePng(temporary, preview.picture, error)) return false;
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        *error = "cannot rename " + temporary + " to " + path;
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace zelp::vprinter
