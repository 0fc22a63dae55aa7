#pragma once

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace norvvelm {

class Executor;
class ForbiddenExtensions;
class Prompter;
class Session;
class SerialFunz2;

// How the configured receipt name or mask selects files.
struct MaskAnalysis {
    enum Mode : char { Exact = '=', Begins = 'I', Ends = 'F', Contains = 'C', All = 'A' };
    Mode mode = Exact;
    QString name;
};
MaskAnalysis AnalyseMask(const QString &mask);

// The files of `folder` that the mask selects, in listing order, without
// those of a forbidden extension; {""} when none matched or the folder is
// missing. Sets `logPrefix` to the mask's name part when it has one.
QStringList ListServerFiles(const QString &folder, const QString &mask, const ForbiddenExtensions &forbidden,
                            QString &logPrefix);

// The print server: at each tick of its 250 ms timer it takes over the
// receipt files of its folder by renaming them to ".velm", queues their
// lines, deletes them and runs the executor.
class PrintServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 250;

    PrintServer(Session &session, SerialFunz2 &link, Executor &executor, Prompter &prompter,
                QObject *parent = nullptr);

    // TimerSRV enabled or disabled (ServerStato, the server check box).
    void setEnabled(bool on);
    bool isEnabled() const { return m_enabled; }

    // One tick (TimerSRV_Timer).
    void TimerSRV_Timer();

    // A file is taken only once it has stopped changing: the same size and
    // modification time at two ticks in a row (a writer may still hold it).
    bool requireStableFiles = true;
    // The register must be identified on an open port before files are taken.
    bool registerReady = true;

signals:
    void tickDone();

private:
    struct Seen {
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const Seen &o) const { return size == o.size && modified == o.modified; }
    };
    bool stable(const QString &fullName);
    QString folder() const;

    Session &m_s;
    SerialFunz2 &m_link;
    Executor &m_executor;
    Prompter &m_prompter;
    QTimer m_timer;
    bool m_enabled = false;
    bool m_inTick = false;
    QHash<QString, Seen> m_seen;
};

} // namespace norvvelm
