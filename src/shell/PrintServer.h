#pragma once

#include "commands/RegisterOwner.h"
#include "shell/FolderWatch.h"
#include "shell/ReceiptFolder.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

namespace norvvelm {

class Executor;
class ForbiddenExtensions;
class NoFollowFile;
class Prompter;
class Session;
class SerialFunz2;

// What is said while the receipt folder is missing.
QString MissingFolderText(const QString &dir);

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

    // Working copies left by a program that stopped while taking a file: one
    // whose lines the journal kept is deleted, any other goes back under its
    // own name to be taken again.
    void recoverWorkingCopies(const QStringList &journaled);

    // One tick (TimerSRV_Timer).
    void TimerSRV_Timer();
    // Lines queued from elsewhere (the API) go out as soon as the register
    // is free, not at the next tick.
    void takeSoon();

    // A file is taken only once its writer is done: closed after its last
    // change (or renamed into place) where the folder is watched, else the
    // same size and time for the configured quiet period.
    bool requireStableFiles = true;
    // After its writer closed it, a file must stay unchanged this long (a
    // writer that appends in pieces opens it again at once).
    static constexpr int kSettleMs = 150;
    bool watching() const { return m_watch.active(); }
    // The register must be identified on an open port before files are taken.
    void setRegisterReady(bool ready) { m_registerReady = ready; }
    bool registerReady() const { return m_registerReady; }

    // What the server has under way, for the register's owner rules.
    RegisterOwner::ServerWork work() const;

signals:
    void tickDone();

private:
    struct Seen {
        qint64 size = -1;
        QDateTime modified;
        qint64 sinceMs = 0;
    };
    bool settled(const QString &dir, const QString &name);
    // Whether a tick may take files and send now; says why files wait for
    // the operator.
    bool mayWork();
    void sayOperatorHolds();
    // The folder's settled files queued; true when one was.
    bool takeFiles();
    // The queue sent when a file came, or lines or a recovery wait.
    void sendQueue(bool fileTaken);
    QString folder() const;
    // One message for each file that is left alone, until it goes away.
    void sayOnce(const QString &name, const QString &text);
    void say(const QString &name, const QString &text);
    void sayNotFiles(const QString &dir, const QStringList &others, QSet<QString> &present);
    bool takeSettled(const QString &dir, const QStringList &names, QSet<QString> &present);
    // A receipt folder that is not there is said when first seen missing and
    // again after it has come back and gone once more.
    void checkFolder();
    // Takes one file: opened without following links, renamed, read, queued
    // and deleted. True when its lines were queued.
    bool take(const QString &dir, const QString &name);
    bool opened(NoFollowFile &in, const QString &full, const QString &name);
    void setAsideTooLarge(const QString &full, const QString &name, qint64 size, qint64 max);
    bool holdAsWorkingCopy(const NoFollowFile &in, const QString &full, const QString &name,
                           const QString &work);
    bool queueLines(const QByteArray &bytes, const QString &full, const QString &work);

    Session &m_s;
    SerialFunz2 &m_link;
    Executor &m_executor;
    Prompter &m_prompter;
    QTimer m_timer;
    bool m_enabled = false;
    bool m_registerReady = true;
    bool m_inTick = false;
    bool m_sending = false;
    // The last time files waited for an operator's document (said once per hold).
    bool m_documentWaitSaid = false;
    bool m_soonPosted = false;
    bool m_againAfterTick = false; // asked for while a tick ran
    bool m_folderMissingSaid = false;
    QHash<QString, Seen> m_seen;
    QSet<QString> m_said;
    QSet<QString> m_present;
    FolderWatch m_watch;
    QTimer m_soon;
};

} // namespace norvvelm
