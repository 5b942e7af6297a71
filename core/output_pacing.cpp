// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "output_pacing.h"

#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "zelp_models.h"
#include "zelp_options.h"

namespace {

// A 203 dpi head: 8 dot rows to the millimetre.
constexpr double kRowsPerMm = 8;
// Dots a line feed takes until ESC 3 sets another spacing.
constexpr uint32_t kDefaultLineDots = 30;
// An autocutter's stroke: the head waits for it.
constexpr double kCutSeconds = 0.1;
// What the stream does not tell: a form feed runs to the next mark, a
// stored logo is as tall as it was made. Taken as short rather than long,
// so that pacing never starves the head.
constexpr uint64_t kFormFeedRows = 60;
constexpr uint64_t kLogoRows = 64;
// A model's buffer, when the job's model is not in the table.
constexpr size_t kDefaultBufferBytes = 4096;
constexpr uint32_t kDefaultSerialBaud = 9600;

// The link's baud rate, from a serial device URI (CUPS's "+" between
// settings, the Printer Application's "&"); 0 for other links.
double SerialBaud(const char* uri) {
    if (strncmp(uri, "serial:", 7) != 0) return 0;
    const char* query = strchr(uri, '?');
    for (const char* p = query; p != nullptr; p = strpbrk(p + 1, "+&")) {
        if (strncmp(p + 1, "baud=", 5) != 0) continue;
        const long baud = strtol(p + 6, nullptr, 10);
        if (baud > 0) return static_cast<double>(baud);
    }
    return kDefaultSerialBaud;
}

const ZelpModel* ModelOfNumber(int32_t number) {
    for (const ZelpModel& model : kZelpModels) {
        if (model.modelNumber == number) return &model;
    }
    return nullptr;
}

// The speed PaceSpeed names, in mm/s; 0 for the model's.
int32_t ChosenSpeed(const ZELP_Init_Setting& settings) {
    for (const ZelpOption& option : kZelpOptions) {
        if (option.field != &ZELP_Init_Setting::PaceSpeed) continue;
        const ZelpChoice* choice = ZelpFindChoiceByNumber(option, settings.PaceSpeed);
        return choice != nullptr ? choice->amount : 0;
    }
    return 0;
}

double Now(void* /*context*/) { return ZelpMonotonicSeconds(); }

void WaitUntil(void* /*context*/, double when) {
    struct timespec ts;
    ts.tv_sec = static_cast<time_t>(when);
    ts.tv_nsec = static_cast<long>((when - static_cast<double>(ts.tv_sec)) * 1e9);
    if (ts.tv_nsec >= 1000000000L) ts.tv_nsec = 999999999L;
    // A signal ends the wait early; the caller looks at the clock again.
    clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);
}

}  // namespace

double ZelpMonotonicSeconds() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

bool ZelpPaceForJob(const ZELP_Init_Setting& settings, const char* deviceUri, ZelpPace* pace) {
    if (settings.Pacing != 1 || deviceUri == nullptr || deviceUri[0] == '\0') return false;
    if (strncmp(deviceUri, "file:", 5) == 0) return false;
    const ZelpModel* model = ModelOfNumber(settings.modelNumber);
    int32_t mmPerSecond = ChosenSpeed(settings);
    if (mmPerSecond <= 0 && model != nullptr) mmPerSecond = model->printMmPerSecond;
    if (mmPerSecond <= 0) return false;
    *pace = ZelpPace{};
    pace->rowsPerSecond = mmPerSecond * kRowsPerMm;
    pace->baud = SerialBaud(deviceUri);
    pace->bufferBytes = model != nullptr ? model->bufferBytes : kDefaultBufferBytes;
    return true;
}

ZelpByteSink ZelpPaceSink(const ZELP_Init_Setting& settings, const char* deviceUri, ZelpByteSink sink,
                          std::unique_ptr<ZelpPacedSink>* holder) {
    ZelpPace pace;
    if (!ZelpPaceForJob(settings, deviceUri, &pace)) return sink;
    holder->reset(new (std::nothrow) ZelpPacedSink(pace, sink));
    return *holder != nullptr ? (*holder)->Sink() : sink;
}

// --- The printing time in a stream ---

size_t ZelpPrintTime::FinishCommand(const unsigned char* bytes, size_t count, double* seconds) {
    size_t i = 0;
    while (i < count && InCommand()) i += Read(bytes + i, count - i, 0, seconds, true);
    return i;
}

size_t ZelpPrintTime::Read(const unsigned char* bytes, size_t count, double limitSeconds, double* seconds,
                           bool oneStep) {
    double taken = 0;
    size_t i = 0;
    while (i < count && (taken < limitSeconds || (oneStep && i == 0))) {
        if (state_ == State::kData) {
            // Raster data: a dot row's time once its last byte is in.
            const uint64_t span = rowBytes_ > 0 ? rowLeft_ : dataLeft_;
            const uint64_t n = std::min<uint64_t>(span, count - i);
            i += static_cast<size_t>(n);
            dataLeft_ -= n;
            if (rowBytes_ > 0) {
                rowLeft_ -= n;
                if (rowLeft_ == 0) {
                    taken += rowSeconds_;
                    rowLeft_ = std::min(rowBytes_, dataLeft_);
                }
            }
            if (dataLeft_ == 0) state_ = State::kCommand;
            continue;
        }
        const unsigned char byte = bytes[i++];
        if (state_ == State::kHead) {
            head_[have_++] = byte;
            if (have_ == need_) taken += Headed();
            continue;
        }
        switch (byte) {
            case 0x0A: taken += Rows(lineSpacing_); break;  // LF: prints the line, feeds the spacing
            case 0x0C: taken += Rows(kFormFeedRows); break;  // FF
            case 0x10:  // DLE
            case 0x1B:  // ESC
            case 0x1C:  // FS
            case 0x1D:  // GS
            case 0x1F:  // the vendor's black-mark commands
                head_[0] = byte;
                have_ = 1;
                need_ = 2;
                state_ = State::kHead;
                break;
            default: break;  // a byte to itself
        }
    }
    *seconds += taken;
    return i;
}

double ZelpPrintTime::Headed() {
    // Asks for the head to be `n` bytes long; true once it is.
    const auto has = [this](size_t n) {
        if (have_ >= n) return true;
        need_ = n;
        return false;
    };
    // Dot rows of `units` of the vertical motion unit.
    const auto dots = [this](uint64_t units) {
        return unitsPerInch_ == 0 ? units : units * kZelpResolutionDpi / unitsPerInch_;
    };
    uint64_t dataBytes = 0;
    uint64_t rowBytes = 0;
    double work = 0;
    const unsigned char f = head_[1];
    switch (head_[0]) {
        case 0x1B:
            switch (f) {
                case 0x40: lineSpacing_ = kDefaultLineDots; unitsPerInch_ = 0; break;  // ESC @
                case 0x32: lineSpacing_ = kDefaultLineDots; break;                      // ESC 2
                case 0x69:                                                               // ESC i, ESC m: cut
                case 0x6D: work = kCutSeconds; break;
                case 0x33:  // ESC 3 n: line spacing
                    if (!has(3)) return 0;
                    lineSpacing_ = static_cast<uint32_t>(dots(head_[2]));
                    break;
                case 0x64:  // ESC d n: n lines
                    if (!has(3)) return 0;
                    work = Rows(uint64_t{head_[2]} * lineSpacing_);
                    break;
                case 0x4A:  // ESC J n: n units
                    if (!has(3)) return 0;
                    work = Rows(dots(head_[2]));
                    break;
                case 0x21: case 0x2D: case 0x45: case 0x47: case 0x4D: case 0x61: case 0x74: case 0x7B:
                    if (!has(3)) return 0;  // one parameter: print modes, justification, code page
                    break;
                case 0x42:  // ESC B n t: beeps
                    if (!has(4)) return 0;
                    break;
                case 0x70:  // ESC p m t1 t2: drawer kick
                    if (!has(5)) return 0;
                    break;
                case 0x2A:  // ESC * m nL nH: columns of 8 or 24 dots, printed by the LF after them
                    if (!has(5)) return 0;
                    dataBytes = (uint64_t{head_[3]} + 256 * uint64_t{head_[4]}) * (head_[2] >= 32 ? 3 : 1);
                    break;
                default: break;
            }
            break;
        case 0x1D:
            switch (f) {
                case 0x76:  // GS v 0 m xL xH yL yH: raster rows
                    if (!has(8)) return 0;
                    rowBytes = uint64_t{head_[4]} + 256 * uint64_t{head_[5]};
                    dataBytes = rowBytes * (uint64_t{head_[6]} + 256 * uint64_t{head_[7]});
                    break;
                case 0x28: {  // GS ( fn pL pH ...: a length, then that many bytes
                    if (!has(5)) return 0;
                    const uint64_t length = uint64_t{head_[3]} + 256 * uint64_t{head_[4]};
                    dataBytes = length;
                    if (head_[2] != 0x4C) break;
                    // GS ( L: graphics stored (fn 112, its rows in yL yH) or printed (fn 50).
                    const size_t seen = static_cast<size_t>(std::min<uint64_t>(length, 10));
                    if (!has(5 + seen)) return 0;
                    dataBytes = length - seen;
                    if (seen >= 2 && head_[6] == 50) work = Rows(storedRows_);
                    if (seen == 10 && head_[6] == 112) storedRows_ = head_[13] + 256 * uint64_t{head_[14]};
                    break;
                }
                case 0x50:  // GS P x y: motion units
                    if (!has(4)) return 0;
                    unitsPerInch_ = head_[3];
                    break;
                case 0x56:  // GS V m [n]: cut, after feeding n units for m 65 and 66
                    if (!has(3)) return 0;
                    if (head_[2] == 65 || head_[2] == 66) {
                        if (!has(4)) return 0;
                        work = Rows(dots(head_[3]));
                    }
                    work += kCutSeconds;
                    break;
                case 0x21: case 0x42: case 0x48: case 0x61: case 0x66: case 0x68: case 0x72: case 0x77:
                    if (!has(3)) return 0;  // one parameter: character size, status requests, ...
                    break;
                default: break;
            }
            break;
        case 0x1C:
            if (f == 0x70) {  // FS p n m: stored logo
                if (!has(4)) return 0;
                work = Rows(kLogoRows);
            }
            break;
        case 0x1F:
            if (f == 0x1B) {  // 1F 1B 1F k 04 05 06 ...: mode (k 80h) or a 16-bit setting
                if (!has(4)) return 0;
                if (!has(head_[3] == 0x80 ? 8 : (head_[3] == 0x81 || head_[3] == 0x82) ? 9 : 4)) return 0;
            }
            break;
        case 0x10:
            if (f == 0x04 || f == 0x05) {  // DLE EOT n, DLE ENQ n
                if (!has(3)) return 0;
            } else if (f == 0x14) {  // DLE DC4 fn m t
                if (!has(5)) return 0;
            }
            break;
        default: break;
    }
    have_ = 0;
    if (dataBytes > 0) {
        state_ = State::kData;
        dataLeft_ = dataBytes;
        rowBytes_ = rowBytes;
        rowLeft_ = std::min(rowBytes, dataBytes);
    } else {
        state_ = State::kCommand;
    }
    return work;
}

// --- The clock ---

ZelpClock ZelpSystemClock() {
    return ZelpClock{nullptr, Now, WaitUntil};
}

// --- The paced sink ---

ZelpPacedSink::ZelpPacedSink(const ZelpPace& pace, const ZelpByteSink& inner, const ZelpClock& clock)
    : pace_(pace), inner_(inner), clock_(clock), time_(pace.rowsPerSecond) {
    // A quarter of the buffer stays free: the head starts a little after
    // the model's, by the time the bytes take to get there.
    maxLeadBytes_ = std::max<size_t>(1, pace.bufferBytes - pace.bufferBytes / 4);
    // Small pieces, so that the lead stays near its bound.
    pieceBytes_ = std::max<size_t>(1, maxLeadBytes_ / 4);
    pieceSeconds_ = pace.leadSeconds / 8;
}

const char* ZelpPacedSink::FailureThrough(void* context) {
    const ZelpByteSink& inner = static_cast<ZelpPacedSink*>(context)->inner_;
    return inner.failure != nullptr ? inner.failure(inner.context) : nullptr;
}

bool ZelpPacedSink::WriteThrough(void* context, const unsigned char* bytes, size_t count) {
    return static_cast<ZelpPacedSink*>(context)->Write(bytes, count);
}

bool ZelpPacedSink::Write(const unsigned char* bytes, size_t count) {
    while (count > 0) {
        double seconds = 0;
        size_t n = time_.Read(bytes, std::min(count, pieceBytes_), pieceSeconds_, &seconds);
        if (wholeCommands_) n += time_.FinishCommand(bytes + n, count - n, &seconds);
        double now = clock_.now(clock_.context);
        double due = DueAt(n, seconds, now);
        while (due > now) {
            clock_.waitUntil(clock_.context, due);
            now = clock_.now(clock_.context);
            due = DueAt(n, seconds, now);
        }
        if (!inner_.write(inner_.context, bytes, n)) return false;
        // A write that waited for the link (a printer that holds it, a full
        // pipe) moves the model on to when it was taken.
        Sent(n, seconds, clock_.now(clock_.context));
        bytes += n;
        count -= n;
    }
    return true;
}

double ZelpPacedSink::DueAt(size_t bytes, double seconds, double now) {
    while (!pieces_.empty() && pieces_.front().printedAt <= now) {
        piecesBytes_ -= pieces_.front().bytes;
        pieces_.pop_front();
    }
    // No more than the lead of printing ahead of the head once the piece
    // is sent (a piece longer than the lead waits for the head to be idle).
    const double carried = pace_.baud > 0 ? static_cast<double>(bytes) * 10 / pace_.baud : 0;
    double due = std::min(std::max(headFree_ + seconds, linkFree_ + carried) - pace_.leadSeconds, headFree_);
    // No more bytes sent and not yet printed than the printer's buffer
    // holds (bytes still on the link count too: the lead is as short as
    // either bound makes it).
    size_t held = piecesBytes_;
    for (const Piece& piece : pieces_) {
        if (held + bytes <= maxLeadBytes_) break;
        held -= piece.bytes;
        due = std::max(due, piece.printedAt);
    }
    return due;
}

void ZelpPacedSink::Sent(size_t bytes, double seconds, double now) {
    const double start = std::max(now, linkFree_);
    linkFree_ = pace_.baud > 0 ? start + static_cast<double>(bytes) * 10 / pace_.baud : start;
    // The head prints as the bytes come, and is through them no sooner
    // than the last of them has come.
    headFree_ = std::max(std::max(headFree_, start) + seconds, linkFree_);
    pieces_.push_back(Piece{bytes, headFree_});
    piecesBytes_ += bytes;
}
