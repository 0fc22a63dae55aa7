#pragma once

#include <QList>
#include <QObject>
#include <QString>

namespace norvvelm {

class Session;

// The runtime monitor's lines, each with a sequence number from 1, the last
// `kKept` of them: a reader asks for what came after the last number it saw.
class MonitorFeed : public QObject {
    Q_OBJECT
public:
    static constexpr int kKept = 10000;
    static constexpr int kPerAnswer = 1000;

    explicit MonitorFeed(Session &session, QObject *parent = nullptr);

    struct Line {
        qint64 seq = 0;
        QString text;
    };
    // Oldest first, at most kPerAnswer lines with a number above `since`.
    QList<Line> after(qint64 since) const;
    qint64 last() const { return m_next - 1; }
    void add(const QString &text);

private:
    QList<Line> m_lines;
    qint64 m_next = 1;
};

} // namespace norvvelm
