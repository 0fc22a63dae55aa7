#include "shell/PrintServer.h"

#include "api/OutcomeFiles.h"

#include "commands/CommandLanguage.h"
#include "commands/DailyLog.h"
#include "commands/Executor.h"
#include "commands/ForbiddenExtensions.h"
#include "commands/Prompter.h"
#include "commands/Session.h"
#include "link/Ansi.h"
#include "link/SerialFunz2.h"

#include "shell/NoFollowFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <utility>

namespace norvvelm {

PrintServer::PrintServer(Session &session, SerialFunz2 &link, Executor &executor, Prompter &prompter,
                         QObject *parent)
    : QObject(parent), m_s(session), m_link(link), m_executor(executor), m_prompter(prompter) {
    m_timer.setInterval(kIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &PrintServer::TimerSRV_Timer);
    m_watch.setClock([this] { return m_link.clock().nowMs(); });
    // A file just closed is looked at as soon as it has settled, not at the
    // next tick.
    m_soon.setSingleShot(true);
    m_soon.setInterval(kSettleMs + 5);
    connect(&m_watch, &FolderWatch::fileReady, this, [this] {
        if (m_enabled && !m_soon.isActive())
            m_soon.start();
    });
    connect(&m_soon, &QTimer::timeout, this, [this] {
        if (m_enabled && !m_inTick)
            TimerSRV_Timer();
    });
    RegisterOwner &owner = m_s.registerOwner();
    owner.setServerWork([this] { return work(); });
    connect(&owner, &RegisterOwner::operatorReleased, this, [this] {
        m_documentWaitSaid = false;
        takeSoon();
    });
}

RegisterOwner::ServerWork PrintServer::work() const {
    RegisterOwner::ServerWork w;
    w.sending = m_sending;
    // The executor's own state, never the window's copy of it.
    w.linesWaiting = !m_executor.state().queue.isEmpty() || m_executor.recoveryPending();
    w.receiptOpen = m_executor.state().receiptOpenAsShown();
    return w;
}

// Files that waited for the operator, and lines queued from elsewhere, go
// out as soon as the register is free: one posted call however often it is
// asked before it runs, and one more tick after a tick that was running.
void PrintServer::takeSoon() {
    if (!m_enabled || m_soonPosted)
        return;
    m_soonPosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_soonPosted = false;
            if (!m_enabled)
                return;
            if (m_inTick)
                m_againAfterTick = true;
            else
                TimerSRV_Timer();
        },
        Qt::QueuedConnection);
}

void PrintServer::setEnabled(bool on) {
    m_enabled = on;
    if (!on) {
        m_timer.stop();
        m_soon.stop();
    } else if (!m_inTick) {
        m_timer.start();
    }
}

QString PrintServer::folder() const {
    return ServerFolder(m_s.settings().config(), m_s.settings().programDir());
}

void PrintServer::sayOnce(const QString &name, const QString &text) {
    if (m_said.contains(name))
        return;
    m_said.insert(name);
    say(name, text);
}

bool PrintServer::settled(const QString &dir, const QString &name) {
    if (!requireStableFiles)
        return true;
    const qint64 now = m_link.clock().nowMs();
    if (m_watch.active()) {
        qint64 since = 0;
        switch (m_watch.state(name, &since)) {
        case FolderWatch::State::MovedIn:
            return true;
        case FolderWatch::State::Closed:
            return now - since >= kSettleMs;
        case FolderWatch::State::Writing:
            return false;
        case FolderWatch::State::Unknown:
            break; // there before the watch: the quiet period decides
        }
    }
    const QString full = dir + name;
    const QFileInfo info(full);
    Seen now_{info.size(), info.lastModified(), now};
    const auto it = m_seen.find(full);
    if (it == m_seen.end() || it->size != now_.size || it->modified != now_.modified) {
        m_seen.insert(full, now_);
        return false;
    }
    return now - it->sinceMs >= std::max(kIntervalMs, m_s.settings().config().ServerQuietMs);
}

void PrintServer::say(const QString &name, const QString &text) {
    m_s.monitor().AddMonitorLine(MonitorFromRegister() + text);
    WriteLogLine(m_s, text, name);
    m_prompter.message(text, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
}

bool PrintServer::opened(NoFollowFile &in, const QString &full, const QString &name) {
    switch (in.open(full)) {
    case NoFollowFile::Opened::Yes:
        if (!in.linkedToAnotherUsersFile())
            return true;
        sayOnce(name, QStringLiteral("File non preso: collegamento a un file di un altro utente: ") + full);
        return false;
    case NoFollowFile::Opened::Missing:
        return false;
    case NoFollowFile::Opened::Link:
        sayOnce(name, QStringLiteral("File non preso: \u00e8 un collegamento: ") + full);
        return false;
    case NoFollowFile::Opened::NotRegular:
        sayOnce(name, QStringLiteral("File non preso: non \u00e8 un file regolare: ") + full);
        return false;
    case NoFollowFile::Opened::Unreadable:
        sayOnce(name, QStringLiteral("File non leggibile, lasciato dov'\u00e8: ") + full +
                          QStringLiteral(" (") + in.reason() + u')');
        return false;
    }
    return false;
}

void PrintServer::setAsideTooLarge(const QString &full, const QString &name, qint64 size, qint64 max) {
    const QString aside = SetAsideName(full);
    if (m_s.settings().testMode() || !QFile::rename(full, aside)) {
        sayOnce(name, QStringLiteral("File troppo grande, non stampato: ") + full);
        return;
    }
    say(name,
        QStringLiteral("File di %1 byte (massimo %2) messo da parte senza stamparlo: ").arg(size).arg(max) +
            aside);
}

bool PrintServer::holdAsWorkingCopy(const NoFollowFile &in, const QString &full, const QString &name,
                                    const QString &work) {
    if (QFile::exists(work)) {
        // Left over from an interrupted tick, before its lines were kept:
        // they were never sent, and the file itself is about to be read.
        QFile::remove(work);
        WriteLogLine(m_s, QStringLiteral("Copia di lavoro residua cancellata: ") + work, name);
    }
    if (m_s.settings().testMode())
        return true;
    if (std::rename(QFile::encodeName(full).constData(), QFile::encodeName(work).constData()) != 0) {
        // Said once; the next ticks try again.
        const int err = errno;
        if (err != ENOENT)
            sayOnce(name, QStringLiteral("File non preso: impossibile rinominarlo: ") + full +
                              QStringLiteral(" (") + QString::fromLocal8Bit(std::strerror(err)) + u')');
        return false;
    }
    // The name must still be the file opened: a file swapped in meanwhile
    // goes back under its name and waits for the next tick.
    if (in.isAt(work))
        return true;
    if (!QFile::exists(full))
        QFile::rename(work, full);
    return false;
}

bool PrintServer::queueLines(const QByteArray &bytes, const QString &full, const QString &work) {
    if (m_s.settings().testMode()) {
        QFile copy(work);
        if (copy.open(QIODevice::WriteOnly))
            copy.write(bytes);
    }
    const QStringList lines = SplitReceiptLines(decodeTextFile(bytes));
    if (m_executor.enqueue(lines, m_s.settings().testMode() ? QString() : work,
                           {ReceiptSource::Kind::File, QFileInfo(full).fileName(), {}}))
        return true;
    // The queue could not be kept on disk: the file waits under its name.
    if (!m_s.settings().testMode() && !QFile::exists(full))
        QFile::rename(work, full);
    else
        QFile::remove(work);
    return false;
}

// A file is opened without following links and held under its working
// copy's name while it is read; its lines are queued before it goes.
bool PrintServer::take(const QString &dir, const QString &name) {
    const QString full = dir + name;
    NoFollowFile in;
    if (!opened(in, full, name))
        return false;
    const qint64 max = m_s.settings().config().ServerMaxBytes;
    if (in.size() > max) {
        setAsideTooLarge(full, name, in.size(), max);
        return false;
    }
    const QString work = WorkingCopyName(full);
    if (!holdAsWorkingCopy(in, full, name, work))
        return false;
    m_link.PumpEvents();
    if (!queueLines(in.read(max), full, work))
        return false;
    m_link.PumpEvents();
    QFile::remove(work);
    m_seen.remove(full); // a new file under this name is watched afresh
    if (m_s.settings().testMode()) {
        const auto answer = m_prompter.ask(
            QStringLiteral("Vuoi cancellare file?"), QStringLiteral("Tes Mode"), Prompter::Icon::Question,
            Prompter::Buttons::YesNo, Prompter::Answer::Yes, Prompter::Answer::Yes);
        if (answer == Prompter::Answer::Yes && QFile::exists(full))
            QFile::remove(full);
    }
    return true;
}

void PrintServer::recoverWorkingCopies(const QStringList &journaled) {
    const QString dir = folder();
    const QDir d(dir);
    for (const QString &name : d.entryList({QStringLiteral("*.velm")}, QDir::Files | QDir::Hidden)) {
        const QString work = dir + name;
        const QString full = work.chopped(5);
        if (journaled.contains(work)) {
            QFile::remove(work);
        } else if (!QFileInfo::exists(full) && QFile::rename(work, full)) {
            WriteLogLine(m_s, QStringLiteral("Copia di lavoro ripresa: ") + full, name);
        }
    }
}

void PrintServer::sayNotFiles(const QString &dir, const QStringList &others, QSet<QString> &present) {
    // The folder of outcome files lies in the receipt folder: it is ours.
    const QString outcomes = OutcomeFiles::folder(dir, m_s.settings().config().ServerEsiti);
    for (const QString &name : others) {
        if (IsOwnFile(name) || QDir::cleanPath(dir + name) == outcomes)
            continue;
        present.insert(name);
        if (QFileInfo(dir + name).isSymLink())
            sayOnce(name, QStringLiteral("File non preso: \u00e8 un collegamento: ") + dir + name);
        else
            sayOnce(name, QStringLiteral("File non preso: non \u00e8 un file regolare: ") + dir + name);
    }
}

bool PrintServer::takeSettled(const QString &dir, const QStringList &names, QSet<QString> &present) {
    bool found = false;
    QHash<QString, Seen> seenBefore;
    seenBefore.swap(m_seen);
    for (const QString &name : names) {
        if (name.isEmpty() || IsOwnFile(name))
            continue;
        present.insert(name);
        const QString full = dir + name;
        if (const auto it = seenBefore.constFind(full); it != seenBefore.constEnd())
            m_seen.insert(full, *it);
        if (!settled(dir, name))
            continue;
        if (take(dir, name))
            found = true;
        else if (!QFile::exists(full))
            present.remove(name);
    }
    return found;
}

void PrintServer::checkFolder() {
    const QString dir = folder().trimmed();
    if (QFileInfo(dir).isDir()) {
        m_folderMissingSaid = false;
        return;
    }
    if (m_folderMissingSaid)
        return;
    m_folderMissingSaid = true;
    const QString text = MissingFolderText(dir);
    m_s.monitor().AddMonitorLine(MonitorFromRegister() + text);
    m_prompter.message(text, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
}

QString MissingFolderText(const QString &dir) {
    return QStringLiteral("Cartella degli scontrini inesistente: ") + dir +
           QStringLiteral(" (ServerDir); i file attendono che ci sia");
}

void PrintServer::sayOperatorHolds() {
    const RegisterOwner &owner = m_s.registerOwner();
    if ((!owner.documentOpen() && !owner.rawReceiptOpen()) || m_documentWaitSaid)
        return;
    m_documentWaitSaid = true;
    const QString text = (owner.documentOpen() ? QStringLiteral("Scontrino aperto dalla console sulla cassa")
                                               : QStringLiteral("Scontrino aperto dai comandi del tecnico "
                                                                "sulla cassa")) +
                         QStringLiteral(": i file di scontrino attendono la sua chiusura");
    m_s.monitor().AddMonitorLine(MonitorFromRegister() + text);
    WriteLogLine(m_s, text, QString());
}

bool PrintServer::mayWork() {
    if (m_s.settings().identity().sn.trimmed().isEmpty() || !m_registerReady)
        return false;
    // One exchange at a time: a tick that fires while another exchange waits
    // on the line leaves everything for the next one.
    if (m_inTick || m_link.lineBusy())
        return false;
    // The operator holds the register: files wait in the folder.
    if (m_s.registerOwner().operatorHolds()) {
        sayOperatorHolds();
        return false;
    }
    return true;
}

bool PrintServer::takeFiles() {
    const QString dir = folder();
    if (requireStableFiles && !m_watch.watch(dir.trimmed()))
        m_watch.stop();
    m_watch.poll();
    QString logPrefix = m_s.dailyLog().logPrefix();
    QStringList others;
    QStringList renamed;
    const QStringList names =
        OldestFirst(dir, ListServerFiles(dir.trimmed(), m_s.settings().config().ServerFile.trimmed(),
                                         m_s.settings().forbidden(), logPrefix, &others, &renamed));
    m_s.dailyLog().setLogPrefix(logPrefix);
    QSet<QString> present;
    for (const QString &text : renamed) {
        present.insert(text);
        sayOnce(text, text);
    }
    sayNotFiles(dir, others, present);
    const bool found = takeSettled(dir, names, present);
    // A file said once is said again only after it has gone away.
    m_said.intersect(present);
    return found;
}

// Lines left waiting by an earlier call (busy too long, a stop) are tried
// again at later ticks, not only when a new file comes; while the register
// is unreachable they wait until the start-up watch reaches it again.
void PrintServer::sendQueue(bool fileTaken) {
    const bool waiting = m_executor.recoveryPending() || !m_executor.state().queue.isEmpty();
    if (!fileTaken && (!waiting || m_executor.unreachableReported()))
        return;
    m_sending = true;
    m_executor.ExecuteReceiptQueue();
    m_sending = false;
}

void PrintServer::TimerSRV_Timer() {
    // Said whether or not the register is there yet: the files wait either way.
    checkFolder();
    // A request whose time to start ran out is withdrawn, register there or not.
    m_executor.expireQueued();
    if (!mayWork())
        return;
    m_inTick = true;
    m_timer.stop();
    // Files stay in the folder, untouched, while the journal cannot keep them.
    sendQueue(m_executor.journalWritable() && takeFiles());
    m_inTick = false;
    if (m_enabled)
        m_timer.start();
    if (std::exchange(m_againAfterTick, false))
        takeSoon();
    emit tickDone();
}

} // namespace norvvelm
