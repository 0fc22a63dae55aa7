#include "commands/ExchangePolicy.h"

#include "commands/CommandLanguage.h"
#include "link/EcrErrors.h"

namespace norvvelm {

namespace {
using Act = Reaction::Act;
using K = AnswerKind;

constexpr int kNakPauseMs = 1000;
constexpr int kBusyPauseMs = 100;
constexpr int kEmptyPauseMs = 100;
constexpr int kPaperStatusPauseMs = 2000;
constexpr int kAfterOperatorMs = 3000;
constexpr int kOperatorStatusMs = 3000;
constexpr int kOperatorPauseMs = 500;
constexpr int kDailyPauseMs = 50;

K classOf(const QString &answer) {
    switch (DescribeEcrError(AnswerErrorCode(answer)).errorClass) {
    case ErrorClass::Busy:
        return K::Busy;
    case ErrorClass::Refused:
        return K::Refused;
    case ErrorClass::Paper:
        return K::PaperOut;
    case ErrorClass::Serious:
        return K::Serious;
    case ErrorClass::None:
        break;
    }
    return K::Unknown;
}

ExchangePolicy endsOnEveryAnswer() {
    ExchangePolicy p;
    for (Reaction &r : p.on)
        r = {Act::Return};
    return p;
}

// The rows both receipt-line policies share.
ExchangePolicy receiptLine() {
    ExchangePolicy p = endsOnEveryAnswer();
    p.paperStatusOfRefusals = true;
    p.on[size_t(K::FrameNak)] = {Act::Retry, kNakPauseMs, &ExecutorLimits::nakRepeats};
    p.on[size_t(K::PaperStatus)] = {Act::Retry, kPaperStatusPauseMs, &ExecutorLimits::paperStatusRepeats,
                                    true};
    p.on[size_t(K::Busy)] = {Act::Retry, kBusyPauseMs, &ExecutorLimits::busyRepeats, true};
    p.on[size_t(K::PaperOut)] = {Act::Operator, kAfterOperatorMs};
    return p;
}

// The status request of the waits: enquiry, a pause, "?/"; true when the
// register accepted it.
bool statusFine(SerialFunz2 &link, const ExchangeHooks &hooks, int pauseMs) {
    link.SendEnquiry();
    link.WaitMs(pauseMs);
    link.SendCommandFrame(StatusRequestLine());
    QString answer;
    link.ReceiveAnswer(answer);
    if (hooks.answered)
        hooks.answered(answer);
    return AnswerAccepted(answer);
}

// Paper out or cover open: the operator fixes the printer; there is no
// bound, only a stop request ends the wait early. False when it did.
bool waitForOperator(SerialFunz2 &link, const ExchangeHooks &hooks) {
    while (!hooks.stopRequested || !hooks.stopRequested()) {
        if (statusFine(link, hooks, kOperatorStatusMs))
            return true;
        link.WaitMs(kOperatorPauseMs);
    }
    return false;
}

Sent attempt(SerialFunz2 &link, SerialFunz2::Exchange &hold, const QString &line,
             const ExchangePolicy &policy) {
    Sent sent;
    if (!hold.acquired()) {
        sent.reply.status = sent.reply.enquiry = LinkStatus::LineBusy;
    } else {
        sent.reply = link.exchangeHeld(line, policy.afterFrameRefusal, policy.pauseBeforeFrameMs);
    }
    sent.kind = ClassifyReply(sent.reply, policy.paperStatusOfRefusals);
    return sent;
}

enum class Next { Again, End, Stopped };

Next react(SerialFunz2 &link, const Reaction &r, int &count, const ExecutorLimits &limits, Sent &sent,
           const ExchangeHooks &hooks) {
    if (r.act == Act::Return)
        return Next::End;
    if (r.waitBeforeCount)
        link.WaitMs(r.waitMs);
    if (r.bound && ++count > limits.*r.bound) {
        sent.exhausted = true;
        return Next::End;
    }
    switch (r.act) {
    case Act::Retry:
        if (!r.waitBeforeCount)
            link.WaitMs(r.waitMs);
        return Next::Again;
    case Act::Probe:
        // After a lost answer: is the register's status fine?
        return statusFine(link, hooks, kEmptyPauseMs) ? Next::Again : Next::End;
    case Act::Operator:
        if (!waitForOperator(link, hooks))
            return Next::Stopped;
        link.WaitMs(r.waitMs);
        return Next::Again;
    case Act::Return:
        break;
    }
    return Next::End;
}
} // namespace

AnswerKind ClassifyReply(const Reply &reply, bool paperStatusOfRefusals) {
    if (reply.enquiry == LinkStatus::LineBusy)
        return K::LineBusy;
    if (reply.enquiry != LinkStatus::Ok)
        return K::Unreachable;
    if (reply.frame == LinkStatus::FrameNak && !reply.listened)
        return K::FrameNak;
    if (reply.answer.isEmpty())
        return K::Lost;
    const bool accepted = AnswerAccepted(reply.answer);
    if (AnswerNeedsPaper(reply.answer) && (accepted || paperStatusOfRefusals))
        return K::PaperStatus;
    return accepted ? K::Accepted : classOf(reply.answer);
}

const ExchangePolicy &ReceiptLinePolicy() {
    static const ExchangePolicy p = receiptLine();
    return p;
}

const ExchangePolicy &RepeatableLinePolicy() {
    static const ExchangePolicy p = [] {
        ExchangePolicy r = receiptLine();
        r.on[size_t(K::Lost)] = {Act::Probe, 0, &ExecutorLimits::emptyAnswerRepeats};
        return r;
    }();
    return p;
}

const ExchangePolicy &OwnReadPolicy() {
    static const ExchangePolicy p = [] {
        ExchangePolicy r = endsOnEveryAnswer();
        r.on[size_t(K::FrameNak)] = {Act::Retry, kNakPauseMs, &ExecutorLimits::nakRepeats};
        r.on[size_t(K::Lost)] = {Act::Retry, kEmptyPauseMs, &ExecutorLimits::emptyAnswerRepeats};
        r.on[size_t(K::PaperStatus)] = {Act::Retry, kPaperStatusPauseMs};
        r.on[size_t(K::Busy)] = {Act::Retry, kBusyPauseMs, &ExecutorLimits::busyRepeats};
        r.on[size_t(K::PaperOut)] = {Act::Operator, 0};
        return r;
    }();
    return p;
}

const ExchangePolicy &DailyReportPolicy() {
    static const ExchangePolicy p = [] {
        ExchangePolicy r = endsOnEveryAnswer();
        r.afterFrameRefusal = AfterFrameRefusal::Listen;
        r.pauseBeforeMs = kDailyPauseMs;
        r.pauseBeforeFrameMs = kDailyPauseMs;
        r.stopEnds = false;
        return r;
    }();
    return p;
}

Sent SendWithRetries(SerialFunz2 &link, const QString &line, const ExchangePolicy &policy,
                     const ExecutorLimits &limits, const ExchangeHooks &hooks) {
    std::array<int, kAnswerKinds> counts{};
    if (policy.pauseBeforeMs > 0)
        link.WaitMs(policy.pauseBeforeMs);
    SerialFunz2::Exchange hold(link);
    for (;;) {
        if (policy.stopEnds && hooks.stopRequested && hooks.stopRequested())
            return Sent{AnswerKind::LineBusy, {}, false, true};
        Sent sent = attempt(link, hold, line, policy);
        if (hooks.answered && sent.reply.listened)
            hooks.answered(sent.reply.answer);
        if (hooks.attempted)
            hooks.attempted(sent.kind, sent.reply);
        switch (react(link, policy.reaction(sent.kind), counts[size_t(sent.kind)], limits, sent, hooks)) {
        case Next::Again:
            continue;
        case Next::End:
            return sent;
        case Next::Stopped:
            sent.stopped = true;
            return sent;
        }
    }
}

} // namespace norvvelm
