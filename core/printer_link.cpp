// SPDX-FileCopyrightText: 2026 The ZELP driver authors
// SPDX-License-Identifier: Apache-2.0
#include "printer_link.h"

#include "raster_bands.h"
#include "zelp_models.h"

size_t ZelpResyncBytes(int32_t modelNumber) {
    int headDots = 576;
    for (const ZelpModel& model : kZelpModels) {
        if (model.modelNumber == modelNumber) headDots = model.headDots;
    }
    // A block's rows and the longest header of the image commands.
    return static_cast<size_t>(kBandRows) * static_cast<size_t>((headDots + 7) / 8) + 16;
}

ZelpPrinterLink::ZelpPrinterLink(double now, bool commands, size_t resyncBytes, const ZelpLinkTimes& times)
    : times_(times), commands_(commands), resync_(resyncBytes), deadline_(now + times.answerSeconds), heardAt_(now) {
    if (!commands) probe_ = Probe::kDone;
}

void ZelpPrinterLink::Append(const unsigned char* bytes, size_t count, std::vector<unsigned char>* out) {
    out->insert(out->end(), bytes, bytes + count);
    requestBytes_ += count;
}

void ZelpPrinterLink::Query(double now, std::vector<unsigned char>* out) {
    lastQuery_ = now;
    polledAt_ = sent_;
    Append(kZelpStatusQuery, sizeof kZelpStatusQuery, out);
}

void ZelpPrinterLink::TakeRequests(double now, std::vector<unsigned char>* out) {
    Update(now);
    if (!queried_) {
        queried_ = true;
        Query(now, out);
        return;
    }
    if (phase_ != ZelpLinkPhase::kAnswering) return;
    // Before the job's first byte, once the printer can print: is it
    // between commands? It answers GS a from its buffer if so.
    const bool begun = sent_ > requestBytes_;
    if (probe_ == Probe::kNotYet && !begun && settled_.CanPrint()) {
        probe_ = Probe::kAsked;
        probedAt_ = now;
        probeAsb_ = reader_.AutoStatusCount();
        Append(kZelpAutoStatusOn, sizeof kZelpAutoStatusOn, out);
        return;
    }
    if (probe_ == Probe::kAsked) {
        if (reader_.AutoStatusCount() != probeAsb_) {
            probe_ = Probe::kDone;
        } else if (now - probedAt_ >= times_.probeSeconds) {
            probe_ = Probe::kDone;
            const std::vector<unsigned char> zeros(resync_, 0);
            Append(zeros.data(), zeros.size(), out);
        }
    }
    if (finishing_) {
        if (!finishAsked_) {
            // Automatic status back goes off once the printer has printed
            // up to here; the query is answered once it has taken it all.
            finishAsked_ = true;
            finishAnswer_ = true;
            if (asbAsked_) Append(kZelpAutoStatusOff, sizeof kZelpAutoStatusOff, out);
            Query(now, out);
            return;
        }
    } else if (commands_ && begun && !asbAsked_) {
        asbAsked_ = true;
        Append(kZelpAutoStatusOn, sizeof kZelpAutoStatusOn, out);
    }
    // Now and then while nothing comes unasked (never stacked behind
    // requests a full printer has not taken yet), and every progressBytes
    // of the job. At the end, with nothing left in flight and the last
    // answers missing, knock now and then: a connection the printer has
    // dropped fails the write, which the front end hears of.
    const bool due = now - lastQuery_ >= times_.pollSeconds;
    const bool quiet = due && !reader_.HeardAutoStatus() && reader_.AnswersDue() == 0;
    const bool progress = !finishing_ && sent_ - polledAt_ >= times_.progressBytes;
    const bool knock = due && finishAnswer_ && drainedSince_ >= 0 && reader_.AnswersDue() > 0;
    if (quiet || progress || knock) Query(now, out);
}

bool ZelpPrinterLink::MaySend(double now) {
    Update(now);
    switch (phase_) {
        case ZelpLinkPhase::kSilent: return true;
        case ZelpLinkPhase::kAnswering: return settled_.CanPrint() && (probe_ == Probe::kDone || sent_ > requestBytes_);
        default: return false;
    }
}

void ZelpPrinterLink::Sent(const unsigned char* bytes, size_t count) {
    reader_.Sent(bytes, count);
    sent_ += count;
}

void ZelpPrinterLink::Received(const unsigned char* bytes, size_t count, double now) {
    reader_.Received(bytes, count);
    if (reader_.Heard() != heard_) {
        heard_ = reader_.Heard();
        heardAt_ = now;
    }
    // A set of answers counts once it is whole; automatic status back is
    // whole by itself.
    if (reader_.AnswersDue() == 0 || reader_.AutoStatusCount() != asbSettled_) {
        settled_ = reader_.State();
        asbSettled_ = reader_.AutoStatusCount();
    }
    Update(now);
}

void ZelpPrinterLink::SetConnected(bool connected, double now) {
    connected_ = connected;
    // The requests already sent reach the printer now: they get their time.
    if (connected && phase_ == ZelpLinkPhase::kUnreachable) {
        phase_ = ZelpLinkPhase::kAsking;
        deadline_ = now + times_.answerSeconds;
    }
    Update(now);
}

void ZelpPrinterLink::Update(double now) {
    const bool heard = reader_.HeardAny();
    switch (phase_) {
        case ZelpLinkPhase::kAsking:
            if (heard && reader_.AnswersDue() == 0) {
                phase_ = ZelpLinkPhase::kAnswering;
            } else if (now >= deadline_) {
                phase_ = heard ? ZelpLinkPhase::kAnswering
                               : (connected_ ? ZelpLinkPhase::kSilent : ZelpLinkPhase::kUnreachable);
            }
            break;
        case ZelpLinkPhase::kSilent:
        case ZelpLinkPhase::kUnreachable:
            // Late answers: the printer answers after all.
            if (heard) phase_ = ZelpLinkPhase::kAnswering;
            break;
        case ZelpLinkPhase::kAnswering:
            break;
    }
}

void ZelpPrinterLink::Finish(double now, bool ask) {
    finishing_ = true;
    if (!ask) finishAsked_ = true;
    Update(now);
}

ZelpLinkEnd ZelpPrinterLink::Finished(double now, bool drained) {
    Update(now);
    switch (phase_) {
        case ZelpLinkPhase::kAnswering:
            break;
        case ZelpLinkPhase::kUnreachable:
            return ZelpLinkEnd::kWaiting;
        default:
            return drained ? ZelpLinkEnd::kDone : ZelpLinkEnd::kWaiting;
    }
    if (!finishAsked_ || !settled_.CanPrint()) {
        drainedSince_ = -1;
        return ZelpLinkEnd::kWaiting;
    }
    if (finishAnswer_ && reader_.AnswersDue() == 0) return ZelpLinkEnd::kDone;
    if (!drained) {
        drainedSince_ = -1;
        return ZelpLinkEnd::kWaiting;
    }
    if (!finishAnswer_) return ZelpLinkEnd::kDone;
    // Nothing left in flight on this side, the printer said it can print,
    // and since then it has answered nothing that was asked.
    if (drainedSince_ < 0) drainedSince_ = now;
    const bool silent = now - drainedSince_ >= times_.silenceSeconds && now - heardAt_ >= times_.silenceSeconds;
    return silent ? ZelpLinkEnd::kNoAnswer : ZelpLinkEnd::kWaiting;
}

ZelpPrinterState ZelpPrinterLink::State() const {
    ZelpPrinterState state = settled_;
    state.unreachable = phase_ == ZelpLinkPhase::kUnreachable;
    return state;
}
