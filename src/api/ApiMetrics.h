#pragma once

#include <QElapsedTimer>
#include <QMap>
#include <QObject>

#include <array>

namespace norvvelm {

class Session;

// What the register and the queue did since the program started, counted
// from the session's signals, and written in the text format of metrics
// scrapers.
class ApiMetrics : public QObject {
    Q_OBJECT
public:
    explicit ApiMetrics(Session &session, QObject *parent = nullptr);

    // Upper bounds of the exchange-time buckets, in seconds.
    static constexpr std::array<double, 11> kBuckets{0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10};

    struct Snapshot {
        QMap<std::pair<QString, QString>, qint64> documents; // by kind and final state
        qint64 queueLines = 0;
        qint64 queueReceipts = 0;
        bool registerUp = false;
        bool journalWritable = true;
    };
    // The whole text, with the values only the caller knows.
    QByteArray text(const Snapshot &now) const;

    qint64 linesAnswered() const { return m_answered; }
    void exchangeTook(double seconds);

private:
    void answered(const QString &answer);

    qint64 m_answered = 0;
    QMap<QString, qint64> m_errors; // register error codes
    std::array<qint64, kBuckets.size()> m_bucketCounts{};
    qint64 m_exchanges = 0;
    double m_exchangeSeconds = 0;
    QElapsedTimer m_exchange;
};

} // namespace norvvelm
