#pragma once

#include "link/SerialFunz2.h"

#include <QString>

#include <array>
#include <functional>

namespace norvvelm {

// Bounds on the repeats the register can otherwise keep going forever.
struct ExecutorLimits {
    int nakRepeats = 10;          // NAK to the frame, 1000 ms apart: then the line is dropped
    int busyRepeats = 300;        // busy answers, 100 ms apart: then the queue waits for a later call
    int paperStatusRepeats = 150; // paper status, 2000 ms apart: then the queue waits for a later call
    int emptyAnswerRepeats = 5;   // empty answers while the status is fine: then the line is dropped
    int receiptResends = 3;       // a receipt voided and sent again so often is given up
};

// What one exchange brought back, as far as the reaction goes.
enum class AnswerKind {
    LineBusy,    // another exchange held the line: nothing was sent
    Unreachable, // the enquiry failed (no port, no ACK, CAN)
    FrameNak,    // the register answered the command frame with NAK
    Lost,        // no answer arrived
    PaperStatus, // the status says the paper roll must be replaced
    Accepted,    // "00"
    Busy,        // the register's busy errors
    Refused,     // an error the queue goes on after
    PaperOut,    // paper out or cover open: the operator must act
    Serious,     // a fault that ends the queue
    Unknown,     // an error code of no class
};
constexpr int kAnswerKinds = 11;

// One classification of a reply. `paperStatusOfRefusals`: the paper bit of
// the status counts in a refused answer too (for receipt lines).
AnswerKind ClassifyReply(const Reply &reply, bool paperStatusOfRefusals);

// What follows a kind of answer.
struct Reaction {
    enum class Act {
        Return,   // the exchange ends with this answer
        Retry,    // the same line again, after `waitMs`
        Probe,    // a status request; fine: the line again, else the exchange ends
        Operator, // wait until the operator mends the printer, then `waitMs`, then the line again
    };
    Act act = Act::Return;
    int waitMs = 0;
    int ExecutorLimits::*bound = nullptr; // repeats of this kind allowed, then it ends
    bool waitBeforeCount = false;         // the wait comes before the repeat is counted
};

// The reactions of one kind of exchange, one row per kind of answer.
struct ExchangePolicy {
    std::array<Reaction, kAnswerKinds> on{};
    bool paperStatusOfRefusals = false;
    AfterFrameRefusal afterFrameRefusal = AfterFrameRefusal::StopOnNak;
    int pauseBeforeMs = 0;      // before the line is taken
    int pauseBeforeFrameMs = 0; // between the enquiry and the frame
    bool stopEnds = true;       // a stop request ends the repeats
    const Reaction &reaction(AnswerKind kind) const { return on[size_t(kind)]; }
};

// A receipt line whose repeat could change a receipt: a lost answer ends it.
const ExchangePolicy &ReceiptLinePolicy();
// A line that can go again harmlessly (a read, a text outside a receipt):
// a lost answer is checked with a status request and the line sent again.
const ExchangePolicy &RepeatableLinePolicy();
// The executor's own exchanges (the receipt count, the void key).
const ExchangePolicy &OwnReadPolicy();
// The reads of the daily report: one attempt each, answered or not.
const ExchangePolicy &DailyReportPolicy();

// How it ended.
struct Sent {
    AnswerKind kind = AnswerKind::LineBusy;
    Reply reply;
    bool exhausted = false; // the bound of its kind was passed
    bool stopped = false;   // a stop request ended it
};

// What the exchanges tell their owner, and ask of it.
struct ExchangeHooks {
    std::function<bool()> stopRequested;
    // Every attempt, before its reaction (the status bar, the monitor, the log).
    std::function<void(AnswerKind, const Reply &)> attempted;
    // Every answer received, the status requests' too.
    std::function<void(const QString &)> answered;
};

// Sends `line` and reacts to its answers as `policy` says, holding the line
// throughout: one attempt after another until a reaction ends it.
Sent SendWithRetries(SerialFunz2 &link, const QString &line, const ExchangePolicy &policy,
                     const ExecutorLimits &limits, const ExchangeHooks &hooks = {});

} // namespace norvvelm
