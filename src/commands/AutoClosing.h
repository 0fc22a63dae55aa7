#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <optional>

namespace norvvelm {

// The automatic daily closing (key ChiusuraAutomatica=HH:MM of Parametri;
// empty: off). From that time on, until midnight, once the queue is idle and
// no receipt is open, the server queues a daily closing as a request of its
// own under a key made from the date and the attempt: a restart finds the
// same key and never queues it twice. An attempt the register did not carry
// out is tried again under the next key after kRetryMinutes.

// The time of the setting: "HH:MM" (or "H:MM"); none when it is empty or not
// a time of day.
std::optional<QTime> AutoClosingTime(const QString &setting);

class AutoClosing {
public:
    static constexpr int kRetryMinutes = 5;
    // The key of the attempt `attempt` (from 1) of the day's closing.
    static QString KeyOf(QDate day, int attempt);

    // What the day's closing is at: not due yet (or off), waiting for the
    // queue or for an attempt under way, an attempt to queue, done.
    enum class Step { Off, NotYet, Wait, Queue, Done };
    struct Today {
        QDate day;
        int attempt = 1;    // the attempt to look at (its key)
        bool done = false;  // printed, or nothing to close
        QDateTime retryAt;  // a failed attempt's next one, not before
        QString problem;    // why the last attempt did not close, for the status bar
        QDateTime closedAt; // when it was printed
    };

    // The step at `now` for the setting, with the queue `idle` (nothing
    // queued, no receipt open, the register ready).
    Step step(const QDateTime &now, const QString &setting, bool idle);
    // What became of the attempt queued under the current key: printed (done),
    // or not carried out (the next attempt after kRetryMinutes).
    void printed(const QDateTime &at);
    void failed(const QDateTime &at, const QString &why);
    // The register had nothing to close (its day's figures are zero: a
    // closing was made already, by hand or by a till).
    void nothingToClose();

    const Today &today() const { return m_today; }

private:
    Today m_today;
};

} // namespace norvvelm
