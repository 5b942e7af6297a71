// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "escpos_decode.h"

#include <cstdio>

namespace zelp::escpos {

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kFs = 0x1C;
constexpr uint8_t kGs = 0x1D;
constexpr uint8_t kUs = 0x1F;
constexpr uint8_t kFf = 0x0C;
constexpr uint8_t kSo = 0x0E;
constexpr uint8_t kLf = 0x0A;
constexpr uint8_t kDle = 0x10;

// Bytes of a GS v 0 header before the row data.
constexpr size_t kBandHeaderSize = 8;
// The vendor family: 1F 1B 1F k 04 05 06, then the command's own bytes.
constexpr size_t kVendorPrefixSize = 7;
// GS ( F, GS ( K and GS ( L up to and including pH.
constexpr size_t kAdjustHeaderSize = 5;
// ESC * m nL nH.
constexpr size_t kBitImageHeaderSize = 5;
// The only ESC * mode the filter sends: 24-dot double density.
constexpr uint8_t kBitImage24Dot = 33;
// GS ( L fn 112 from m to yH.
constexpr uint32_t kGraphicsParams = 10;

std::string Hex(uint8_t byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

// Reads one stream; every read checks the bytes left first.
class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    DecodeResult Run() {
        DecodeResult result;
        while (pos_ < size_) {
            Command command;
            command.offset = pos_;
            if (!DecodeOne(&command, &result.error)) {
                result.ok = false;
                result.errorOffset = pos_;
                return result;
            }
            pos_ += command.size;
            result.commands.push_back(command);
        }
        return result;
    }

private:
    size_t Left() const { return size_ - pos_; }
    uint8_t At(size_t i) const { return data_[pos_ + i]; }

    // True when `need` bytes are there; otherwise names the shortfall and
    // keeps the count for readers fed piece by piece.
    bool Have(size_t need, const char* name, std::string* error) const {
        if (Left() >= need) return true;
        need_ = need;
        *error = std::string("truncated ") + name + " (needs " + std::to_string(need) +
                 " bytes, " + std::to_string(Left()) + " left)";
        return false;
    }

    bool DecodeOne(Command* c, std::string* error) {
        switch (At(0)) {
            case kFf:
                c->kind = CommandKind::FormFeed;
                c->size = 1;
                return true;
            case kSo:
                c->kind = CommandKind::Byte0E;
                c->size = 1;
                return true;
            case kLf:
                c->kind = CommandKind::LineFeed;
                c->size = 1;
                return true;
            case kEsc:
                return DecodeEsc(c, error);
            case kFs:
                return DecodeFs(c, error);
            case kGs:
                return DecodeGs(c, error);
            case kUs:
                return DecodeVendor(c, error);
            case kDle:
                return DecodeStatusRequest(c, error);
            default:
                *error = "unknown command byte " + Hex(At(0));
                return false;
        }
    }

    bool DecodeEsc(Command* c, std::string* error) {
        if (!Have(2, "ESC command", error)) return false;
        switch (At(1)) {
            case 0x40:
                c->kind = CommandKind::Initialize;
                c->size = 2;
                return true;
            case 0x69:
                c->kind = CommandKind::CutOnePoint;
                c->size = 2;
                return true;
            case 0x6D:
                c->kind = CommandKind::CutThreePoints;
                c->size = 2;
                return true;
            case 0x32:
                c->kind = CommandKind::DefaultLineSpacing;
                c->size = 2;
                return true;
            case 0x64:
                if (!Have(3, "ESC d", error)) return false;
                c->kind = CommandKind::FeedLines;
                c->n = At(2);
                c->size = 3;
                return true;
            case 0x4A:
                if (!Have(3, "ESC J", error)) return false;
                c->kind = CommandKind::FeedUnits;
                c->n = At(2);
                c->size = 3;
                return true;
            case 0x33:
                if (!Have(3, "ESC 3", error)) return false;
                c->kind = CommandKind::SetLineSpacing;
                c->n = At(2);
                c->size = 3;
                return true;
            case 0x42:
                if (!Have(4, "ESC B", error)) return false;
                c->kind = CommandKind::Beeper;
                c->n = At(2);
                c->t = At(3);
                c->size = 4;
                return true;
            case 0x2A:
                return DecodeBitImage(c, error);
            case 0x70:
                if (!Have(5, "ESC p", error)) return false;
                c->kind = CommandKind::DrawerKick;
                c->m = At(2);
                c->t1 = At(3);
                c->t2 = At(4);
                c->size = 5;
                return true;
            default:
                *error = "unknown command ESC " + Hex(At(1));
                return false;
        }
    }

    bool DecodeFs(Command* c, std::string* error) {
        if (!Have(2, "FS command", error)) return false;
        if (At(1) != 0x70) {
            *error = "unknown command FS " + Hex(At(1));
            return false;
        }
        if (!Have(4, "FS p", error)) return false;
        c->kind = CommandKind::PrintLogo;
        c->n = At(2);
        c->m = At(3);
        c->size = 4;
        return true;
    }

    // DLE EOT n: the printer answers on the spot and prints nothing.
    bool DecodeStatusRequest(Command* c, std::string* error) {
        if (!Have(2, "DLE command", error)) return false;
        if (At(1) != 0x04) {
            *error = "unknown command DLE " + Hex(At(1));
            return false;
        }
        if (!Have(3, "DLE EOT", error)) return false;
        if (At(2) < 1 || At(2) > 4) {
            *error = "DLE EOT n=" + std::to_string(At(2)) + " (1 to 4 expected)";
            return false;
        }
        c->kind = CommandKind::StatusRequest;
        c->n = At(2);
        c->size = 3;
        return true;
    }

    // GS a n and GS r n: status sent back, nothing printed.
    bool DecodeStatusCommand(Command* c, std::string* error) {
        const bool gsA = At(1) == 0x61;
        if (!Have(3, gsA ? "GS a" : "GS r", error)) return false;
        c->n = At(2);
        if (!gsA && c->n != 1 && c->n != 2 && c->n != 49 && c->n != 50) {
            *error = "GS r n=" + std::to_string(c->n) + " (1, 2, 49 or 50 expected)";
            return false;
        }
        c->kind = gsA ? CommandKind::AutoStatus : CommandKind::TransmitStatus;
        c->size = 3;
        return true;
    }

    bool DecodeGs(Command* c, std::string* error) {
        if (!Have(2, "GS command", error)) return false;
        if (At(1) == 0x76) return DecodeBand(c, error);
        if (At(1) == 0x28) return DecodeParen(c, error);
        if (At(1) == 0x61 || At(1) == 0x72) return DecodeStatusCommand(c, error);
        if (At(1) == 0x50) {
            if (!Have(4, "GS P", error)) return false;
            c->kind = CommandKind::MotionUnits;
            c->a = At(2);
            c->n = At(3);
            c->size = 4;
            return true;
        }
        *error = "unknown command GS " + Hex(At(1));
        return false;
    }

    bool DecodeBand(Command* c, std::string* error) {
        if (!Have(3, "GS v command", error)) return false;
        if (At(2) != 0x30) {
            *error = "unknown command GS v " + Hex(At(2));
            return false;
        }
        if (!Have(kBandHeaderSize, "GS v 0 header", error)) return false;
        c->kind = CommandKind::RasterBand;
        c->m = At(3);
        c->widthBytes = At(4) + 256u * At(5);
        c->rows = At(6) + 256u * At(7);
        // Both factors are below 2^16, so the product fits any size_t of
        // 32 bits or more.
        c->dataSize = static_cast<size_t>(c->widthBytes) * c->rows;
        const size_t left = Left() - kBandHeaderSize;
        if (c->dataSize > left) {
            // The header is whole: say how long the block is, so a reader
            // fed piece by piece can take the rows as they come.
            c->size = kBandHeaderSize + c->dataSize;
            need_ = c->size;
            *error = "truncated GS v 0 block (" + std::to_string(c->widthBytes) + " bytes x " +
                     std::to_string(c->rows) + " rows needs " + std::to_string(c->dataSize) +
                     " data bytes, " + std::to_string(left) + " left)";
            return false;
        }
        c->data = data_ + pos_ + kBandHeaderSize;
        c->size = kBandHeaderSize + c->dataSize;
        return true;
    }

    bool DecodeBitImage(Command* c, std::string* error) {
        if (!Have(kBitImageHeaderSize, "ESC * header", error)) return false;
        if (At(2) != kBitImage24Dot) {
            *error = "ESC * mode " + std::to_string(At(2)) + " (only 33, 24-dot double density, is known)";
            return false;
        }
        c->kind = CommandKind::BitImage;
        c->m = At(2);
        c->n = At(3) + 256u * At(4);
        c->dataSize = size_t{3} * c->n;
        if (!Have(kBitImageHeaderSize + c->dataSize, "ESC * image", error)) return false;
        c->data = data_ + pos_ + kBitImageHeaderSize;
        c->size = kBitImageHeaderSize + c->dataSize;
        return true;
    }

    bool DecodeParen(Command* c, std::string* error) {
        if (!Have(3, "GS ( command", error)) return false;
        switch (At(2)) {
            case 0x46: return DecodeAdjust(c, error);
            case 0x4B: return DecodePrintControl(c, error);
            case 0x4C: return DecodeGraphics(c, error);
            default:
                *error = "unknown command GS ( " + Hex(At(2));
                return false;
        }
    }

    // GS ( K pL pH fn m with fn 49 (density) or 50 (speed).
    bool DecodePrintControl(Command* c, std::string* error) {
        if (!Have(kAdjustHeaderSize, "GS ( K", error)) return false;
        const uint32_t length = At(3) + 256u * At(4);
        if (length != 2) {
            *error = "GS ( K parameter length " + std::to_string(length) + " (2 expected)";
            return false;
        }
        if (!Have(kAdjustHeaderSize + 2, "GS ( K", error)) return false;
        if (At(5) == 49) {
            c->kind = CommandKind::PrintDensity;
        } else if (At(5) == 50) {
            c->kind = CommandKind::PrintSpeed;
        } else {
            *error = "unknown GS ( K function " + std::to_string(At(5));
            return false;
        }
        c->m = At(6);
        c->size = kAdjustHeaderSize + 2;
        return true;
    }

    // GS ( L pL pH m fn ...: fn 112 stores raster graphics (monochrome, no
    // enlargement), fn 50 prints them.
    bool DecodeGraphics(Command* c, std::string* error) {
        if (!Have(kAdjustHeaderSize, "GS ( L", error)) return false;
        const uint32_t length = At(3) + 256u * At(4);
        if (length < 2) {
            *error = "GS ( L parameter length " + std::to_string(length) + " below 2";
            return false;
        }
        if (!Have(kAdjustHeaderSize + length, "GS ( L", error)) return false;
        if (At(5) != 48) {
            *error = "GS ( L with m " + std::to_string(At(5)) + " (48 expected)";
            return false;
        }
        c->size = kAdjustHeaderSize + length;
        if (At(6) == 50 || At(6) == 2) {
            if (length != 2) {
                *error = "GS ( L fn 50 parameter length " + std::to_string(length) + " (2 expected)";
                return false;
            }
            c->kind = CommandKind::GraphicsPrint;
            return true;
        }
        if (At(6) != 112) {
            *error = "unknown GS ( L function " + std::to_string(At(6));
            return false;
        }
        if (length < kGraphicsParams + 1) {
            *error = "GS ( L fn 112 parameter length " + std::to_string(length) + " below 11";
            return false;
        }
        if (At(7) != 48 || At(8) != 1 || At(9) != 1 || At(10) != 49) {
            *error = "GS ( L fn 112 other than monochrome at normal size (a bx by c " + std::to_string(At(7)) + " " +
                     std::to_string(At(8)) + " " + std::to_string(At(9)) + " " + std::to_string(At(10)) + ")";
            return false;
        }
        c->kind = CommandKind::GraphicsStore;
        c->n = At(11) + 256u * At(12);
        c->rows = At(13) + 256u * At(14);
        c->widthBytes = (c->n + 7) / 8;
        c->dataSize = static_cast<size_t>(c->widthBytes) * c->rows;
        if (c->dataSize != length - kGraphicsParams) {
            *error = "GS ( L fn 112 of " + std::to_string(c->n) + " dots x " + std::to_string(c->rows) +
                     " rows with " + std::to_string(length - kGraphicsParams) + " data bytes";
            return false;
        }
        c->data = data_ + pos_ + kAdjustHeaderSize + kGraphicsParams;
        return true;
    }

    bool DecodeAdjust(Command* c, std::string* error) {
        if (!Have(kAdjustHeaderSize, "GS ( F", error)) return false;
        c->kind = CommandKind::BlackMarkAdjust;
        c->length = At(3) + 256u * At(4);
        if (c->length < 4) {
            *error = "GS ( F parameter length " + std::to_string(c->length) + " below 4";
            return false;
        }
        if (!Have(kAdjustHeaderSize + c->length, "GS ( F", error)) return false;
        c->a = At(5);
        c->m = At(6);
        c->n = At(7) + 256u * At(8);
        c->size = kAdjustHeaderSize + c->length;
        return true;
    }

    bool DecodeVendor(Command* c, std::string* error) {
        if (!Have(3, "1F command", error)) return false;
        if (At(1) != 0x1B || At(2) != 0x1F) {
            *error = "unknown command 1F " + Hex(At(1)) + " " + Hex(At(2));
            return false;
        }
        if (!Have(4, "1F 1B 1F command", error)) return false;
        const uint8_t k = At(3);
        const char* name = nullptr;
        switch (k) {
            case 0x80:
                c->kind = CommandKind::BlackMarkMode;
                name = "1F 1B 1F 80";
                break;
            case 0x81:
                c->kind = CommandKind::BlackMarkDistance;
                name = "1F 1B 1F 81";
                break;
            case 0x82:
                c->kind = CommandKind::BlackMarkHeight;
                name = "1F 1B 1F 82";
                break;
            default:
                *error = "unknown vendor command 1F 1B 1F " + Hex(k);
                return false;
        }
        // A wrong byte where 04 05 06 belongs is reported even when the
        // stream also ends early: it says more about what went wrong.
        static const uint8_t kMagic[3] = {0x04, 0x05, 0x06};
        for (size_t i = 0; i < 3 && 4 + i < Left(); ++i) {
            if (At(4 + i) != kMagic[i]) {
                *error = std::string(name) + " without 04 05 06 (byte " + std::to_string(4 + i) +
                         " is " + Hex(At(4 + i)) + ")";
                return false;
            }
        }
        const size_t total = kVendorPrefixSize + (k == 0x80 ? 1 : 2);
        if (!Have(total, name, error)) return false;
        c->n = (k == 0x80) ? At(7) : 256u * At(7) + At(8);
        c->size = total;
        return true;
    }

public:
    // The first command only, telling a short stream from a wrong one.
    DecodeStep First() {
        DecodeStep step;
        step.command.offset = 0;
        if (size_ == 0) {
            step.status = StepStatus::NeedMore;
            step.needed = 1;
            return step;
        }
        if (DecodeOne(&step.command, &step.error)) {
            step.status = StepStatus::Complete;
        } else if (need_ > size_) {
            step.status = StepStatus::NeedMore;
            step.needed = need_;
        } else {
            step.status = StepStatus::Unknown;
        }
        return step;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    // Bytes the command being read needs, set when they are not all there.
    mutable size_t need_ = 0;
};

}  // namespace

const CommandKind kAllCommandKinds[kCommandKindCount] = {
    CommandKind::Initialize,        CommandKind::FeedLines,
    CommandKind::CutOnePoint,       CommandKind::CutThreePoints,
    CommandKind::FormFeed,          CommandKind::Byte0E,
    CommandKind::Beeper,            CommandKind::DrawerKick,
    CommandKind::PrintLogo,         CommandKind::DefaultLineSpacing,
    CommandKind::SetLineSpacing,    CommandKind::BlackMarkAdjust,
    CommandKind::BlackMarkMode,     CommandKind::BlackMarkDistance,
    CommandKind::BlackMarkHeight,   CommandKind::RasterBand,
    CommandKind::LineFeed,          CommandKind::BitImage,
    CommandKind::GraphicsStore,     CommandKind::GraphicsPrint,
    CommandKind::PrintDensity,      CommandKind::PrintSpeed,
    CommandKind::FeedUnits,         CommandKind::MotionUnits,
    CommandKind::StatusRequest,     CommandKind::AutoStatus,
    CommandKind::TransmitStatus,
};

const char* CommandName(CommandKind kind) {
    switch (kind) {
        case CommandKind::Initialize: return "ESC @";
        case CommandKind::FeedLines: return "ESC d";
        case CommandKind::CutOnePoint: return "ESC i";
        case CommandKind::CutThreePoints: return "ESC m";
        case CommandKind::FormFeed: return "FF";
        case CommandKind::Byte0E: return "0E";
        case CommandKind::Beeper: return "ESC B";
        case CommandKind::DrawerKick: return "ESC p";
        case CommandKind::PrintLogo: return "FS p";
        case CommandKind::DefaultLineSpacing: return "ESC 2";
        case CommandKind::SetLineSpacing: return "ESC 3";
        case CommandKind::BlackMarkAdjust: return "GS ( F";
        case CommandKind::BlackMarkMode: return "1F 1B 1F 80";
        case CommandKind::BlackMarkDistance: return "1F 1B 1F 81";
        case CommandKind::BlackMarkHeight: return "1F 1B 1F 82";
        case CommandKind::RasterBand: return "GS v 0";
        case CommandKind::LineFeed: return "LF";
        case CommandKind::BitImage: return "ESC *";
        case CommandKind::GraphicsStore: return "GS ( L fn 112";
        case CommandKind::GraphicsPrint: return "GS ( L fn 50";
        case CommandKind::PrintDensity: return "GS ( K fn 49";
        case CommandKind::PrintSpeed: return "GS ( K fn 50";
        case CommandKind::StatusRequest: return "DLE EOT";
        case CommandKind::AutoStatus: return "GS a";
        case CommandKind::TransmitStatus: return "GS r";
        case CommandKind::FeedUnits: return "ESC J";
        case CommandKind::MotionUnits: return "GS P";
    }
    return "?";
}

const char* CommandId(CommandKind kind) {
    switch (kind) {
        case CommandKind::Initialize: return "esc_at";
        case CommandKind::FeedLines: return "esc_d";
        case CommandKind::CutOnePoint: return "esc_i";
        case CommandKind::CutThreePoints: return "esc_m";
        case CommandKind::FormFeed: return "ff";
        case CommandKind::Byte0E: return "byte_0e";
        case CommandKind::Beeper: return "esc_b";
        case CommandKind::DrawerKick: return "esc_p";
        case CommandKind::PrintLogo: return "fs_p";
        case CommandKind::DefaultLineSpacing: return "esc_2";
        case CommandKind::SetLineSpacing: return "esc_3";
        case CommandKind::BlackMarkAdjust: return "gs_paren_f";
        case CommandKind::BlackMarkMode: return "bm_mode";
        case CommandKind::BlackMarkDistance: return "bm_distance";
        case CommandKind::BlackMarkHeight: return "bm_height";
        case CommandKind::RasterBand: return "gs_v_0";
        case CommandKind::LineFeed: return "lf";
        case CommandKind::BitImage: return "esc_star";
        case CommandKind::GraphicsStore: return "gs_paren_l_store";
        case CommandKind::GraphicsPrint: return "gs_paren_l_print";
        case CommandKind::PrintDensity: return "gs_paren_k_density";
        case CommandKind::PrintSpeed: return "gs_paren_k_speed";
        case CommandKind::StatusRequest: return "dle_eot";
        case CommandKind::AutoStatus: return "gs_a";
        case CommandKind::TransmitStatus: return "gs_r";
        case CommandKind::FeedUnits: return "esc_j";
        case CommandKind::MotionUnits: return "gs_p";
    }
    return "unknown";
}

DecodeResult Decode(const uint8_t* data, size_t size) {
    if (data == nullptr) size = 0;
    return Reader(data, size).Run();
}

DecodeStep DecodeFirst(const uint8_t* data, size_t size) {
    if (data == nullptr) size = 0;
    return Reader(data, size).First();
}

std::string FormatCommand(const Command& c) {
    char text[160];
    const int offsetDigits = 6;
    const unsigned long long offset = c.offset;
    const char* name = CommandName(c.kind);
    switch (c.kind) {
        case CommandKind::FeedLines:
        case CommandKind::SetLineSpacing:
        case CommandKind::StatusRequest:
        case CommandKind::AutoStatus:
        case CommandKind::TransmitStatus:
        case CommandKind::FeedUnits:
            std::snprintf(text, sizeof text, "%0*llu %s n=%u", offsetDigits, offset, name, c.n);
            break;
        case CommandKind::MotionUnits:
            std::snprintf(text, sizeof text, "%0*llu %s x=%u y=%u", offsetDigits, offset, name, c.a, c.n);
            break;
        case CommandKind::Beeper:
            std::snprintf(text, sizeof text, "%0*llu %s n=%u t=%u", offsetDigits, offset, name, c.n,
                          c.t);
            break;
        case CommandKind::DrawerKick:
            std::snprintf(text, sizeof text, "%0*llu %s m=%u t1=%u t2=%u", offsetDigits, offset,
                          name, c.m, c.t1, c.t2);
            break;
        case CommandKind::PrintLogo:
            std::snprintf(text, sizeof text, "%0*llu %s n=%u m=%u", offsetDigits, offset, name, c.n,
                          c.m);
            break;
        case CommandKind::BlackMarkAdjust:
            std::snprintf(text, sizeof text, "%0*llu %s length=%u a=%u m=%u n=%u", offsetDigits,
                          offset, name, c.length, c.a, c.m, c.n);
            break;
        case CommandKind::BlackMarkMode:
            std::snprintf(text, sizeof text, "%0*llu %s mode=0x%02X", offsetDigits, offset, name,
                          c.n);
            break;
        case CommandKind::BlackMarkDistance:
            std::snprintf(text, sizeof text, "%0*llu %s distance=%u", offsetDigits, offset, name,
                          c.n);
            break;
        case CommandKind::BlackMarkHeight:
            std::snprintf(text, sizeof text, "%0*llu %s height=%u", offsetDigits, offset, name,
                          c.n);
            break;
        case CommandKind::RasterBand:
            std::snprintf(text, sizeof text, "%0*llu %s m=%u width=%u bytes rows=%u", offsetDigits,
                          offset, name, c.m, c.widthBytes, c.rows);
            break;
        case CommandKind::BitImage:
            std::snprintf(text, sizeof text, "%0*llu %s m=%u columns=%u", offsetDigits, offset, name, c.m, c.n);
            break;
        case CommandKind::GraphicsStore:
            std::snprintf(text, sizeof text, "%0*llu %s width=%u dots rows=%u", offsetDigits, offset, name, c.n,
                          c.rows);
            break;
        case CommandKind::PrintDensity:
        case CommandKind::PrintSpeed:
            std::snprintf(text, sizeof text, "%0*llu %s m=%u", offsetDigits, offset, name, c.m);
            break;
        default:
            std::snprintf(text, sizeof text, "%0*llu %s", offsetDigits, offset, name);
            break;
    }
    return text;
}

}  // namespace zelp::escpos
