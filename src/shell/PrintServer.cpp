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

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace norvvelm {

MaskAnalysis AnalyseMask(const QString &mask) {
    MaskAnalysis m;
    const qsizetype p = mask.indexOf(u'*');
    if (p < 0) {
        m.mode = MaskAnalysis::Exact;
        m.name = mask;
    } else {
        const qsizetype q = mask.indexOf(u'*', p + 1);
        if (q >= 0) {
            const QString between = mask.mid(p + 1, q - p - 1);
            if (between.isEmpty() || between == QLatin1String(".")) {
                m.mode = MaskAnalysis::Begins;
                m.name = mask.left(p);
            } else {
                m.mode = MaskAnalysis::Contains;
                m.name = between;
            }
        } else if (p == 0) {
            m.mode = MaskAnalysis::Ends;
            m.name = mask.mid(1);
        } else {
            m.mode = MaskAnalysis::Begins;
            m.name = mask.left(p);
        }
    }
    if (m.name.isEmpty())
        m.mode = MaskAnalysis::All;
    return m;
}

namespace {

bool matches(const MaskAnalysis &m, const QString &name) {
    switch (m.mode) {
    case MaskAnalysis::Exact:
        return name.compare(m.name, Qt::CaseInsensitive) == 0;
    case MaskAnalysis::Begins:
        return name.startsWith(m.name, Qt::CaseInsensitive);
    case MaskAnalysis::Ends:
        return name.endsWith(m.name, Qt::CaseInsensitive);
    case MaskAnalysis::Contains:
        return name.contains(m.name, Qt::CaseInsensitive);
    case MaskAnalysis::All:
        return true;
    }
    return false;
}

// ASCII letters compare without case; every other byte only equals itself.
// A mask of plain ASCII matches UTF-8 names byte by byte this way, so the
// names that do not match are never decoded.
struct AsciiMask {
    MaskAnalysis::Mode mode;
    QByteArray name;
    static char fold(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }
    static bool same(const char *a, const char *b, qsizetype n) {
        for (qsizetype i = 0; i < n; ++i) {
            if (fold(a[i]) != fold(b[i]))
                return false;
        }
        return true;
    }
    bool matches(const char *s, qsizetype len) const {
        const qsizetype n = name.size();
        switch (mode) {
        case MaskAnalysis::Exact:
            return len == n && same(s, name.constData(), n);
        case MaskAnalysis::Begins:
            return len >= n && same(s, name.constData(), n);
        case MaskAnalysis::Ends:
            return len >= n && same(s + len - n, name.constData(), n);
        case MaskAnalysis::Contains:
            for (qsizetype i = 0; i + n <= len; ++i) {
                if (same(s + i, name.constData(), n))
                    return true;
            }
            return false;
        case MaskAnalysis::All:
            return true;
        }
        return false;
    }
};

// The plain files of a folder that pass `wanted`, in the folder's own order
// (no sorting). On a busy folder this is the whole cost of a tick, so the
// entries' types come from the directory itself where the file system gives
// them, and only candidate names are decoded.
template <typename Pre, typename F, typename O>
bool forEachFile(const QString &folder, Pre &&candidate, F &&take, O &&other) {
#ifdef Q_OS_UNIX
    DIR *d = ::opendir(QFile::encodeName(folder).constData());
    if (!d)
        return false;
    const QByteArray base = QFile::encodeName(folder) + '/';
    while (dirent *e = ::readdir(d)) {
        const qsizetype len = qsizetype(strlen(e->d_name));
        if (!candidate(e->d_name, len))
            continue;
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0)
            continue;
        // A link is never followed: its own type counts.
        bool file = e->d_type == DT_REG;
        if (e->d_type == DT_UNKNOWN) {
            struct stat st {};
            file = ::lstat(QByteArray(base + e->d_name).constData(), &st) == 0 && S_ISREG(st.st_mode);
        }
        if (file)
            take(QFile::decodeName(QByteArray(e->d_name, len)));
        else
            other(QFile::decodeName(QByteArray(e->d_name, len)));
    }
    ::closedir(d);
    return true;
#else
    Q_UNUSED(candidate);
    if (!QFileInfo(folder).isDir())
        return false;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isFile() && !info.isSymLink())
            take(it.fileName());
        else
            other(it.fileName());
    }
    return true;
#endif
}

} // namespace

bool IsOwnFile(const QString &name) {
    static const QRegularExpression dailyLog(QStringLiteral("^.+ [0-9]{8}\\.log$"),
                                             QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression dailyReport(QStringLiteral("^.*[0-9]{8}\\.fmn$"),
                                                QRegularExpression::CaseInsensitiveOption);
    const QString n = name.toLower();
    return n == u"norvvelm.ini" || n == u"fileext.ini" || n.startsWith(u"norvvelm.journal") ||
           (n.startsWith(u"norvvelm") && n.contains(u".lock")) || n.endsWith(u".velm") ||
           n.endsWith(u".scartato") || dailyLog.match(name).hasMatch() || dailyReport.match(name).hasMatch();
}

QString SetAsideName(const QString &fullName) {
    QString aside = fullName + QStringLiteral(".scartato");
    for (int i = 2; QFileInfo::exists(aside); ++i)
        aside = fullName + QStringLiteral("-%1.scartato").arg(i);
    return aside;
}

QStringList ListServerFiles(const QString &folder, const QString &mask, const ForbiddenExtensions &forbidden,
                            QString &logPrefix, QStringList *others) {
    const MaskAnalysis m = AnalyseMask(mask);
    if (m.mode != MaskAnalysis::All)
        logPrefix = m.name;
    QStringList names;
    bool ascii = true;
    for (const QChar c : m.name)
        ascii = ascii && c.unicode() < 0x80;
    const AsciiMask quick{m.mode, m.name.toLatin1()};
    const bool listed = forEachFile(
        folder, [&](const char *raw, qsizetype len) { return !ascii || quick.matches(raw, len); },
        [&](const QString &name) {
            if (matches(m, name) && !forbidden.forbids(name))
                names.append(name);
        },
        [&](const QString &name) {
            if (others && matches(m, name) && !forbidden.forbids(name))
                others->append(name);
        });
    if (!listed || names.isEmpty())
        return {QString()};
    return names;
}

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
    QString dir = m_s.config().ServerDir.trimmed();
    if (dir.size() <= 1)
        dir = m_s.programDir();
    if (!dir.endsWith(u'/') && !dir.endsWith(u'\\'))
        dir += u'/';
    return dir;
}

void PrintServer::sayOnce(const QString &name, const QString &text) {
    if (m_said.contains(name))
        return;
    m_said.insert(name);
    m_s.AddMonitorLine(QStringLiteral("ECR        : ") + text);
    WriteLogLine(m_s, text, name);
    m_prompter.message(text, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
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
    return now - it->sinceMs >= std::max(kIntervalMs, m_s.config().ServerQuietMs);
}

namespace {
// The file's bytes, read from a descriptor opened without following a link;
// false with the reason (and whether to say it) when it cannot be taken.
struct Opened {
#ifdef Q_OS_UNIX
    int fd = -1;
    struct stat st {};
    ~Opened() {
        if (fd >= 0)
            ::close(fd);
    }
#else
    QFile file;
#endif
    qint64 size = 0;
};
} // namespace

bool PrintServer::take(const QString &dir, const QString &name) {
    const QString full = dir + name;
    const QString work = full + QStringLiteral(".velm");
    Opened in;
#ifdef Q_OS_UNIX
    in.fd = ::open(QFile::encodeName(full).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (in.fd < 0) {
        const int err = errno;
        if (err == ENOENT)
            return false;
        if (err == ELOOP)
            sayOnce(name, QStringLiteral("File non preso: \u00e8 un collegamento: ") + full);
        else
            sayOnce(name, QStringLiteral("File non leggibile, lasciato dov'\u00e8: ") + full +
                              QStringLiteral(" (") + QString::fromLocal8Bit(std::strerror(err)) + u')');
        return false;
    }
    if (::fstat(in.fd, &in.st) != 0 || !S_ISREG(in.st.st_mode)) {
        sayOnce(name, QStringLiteral("File non preso: non \u00e8 un file regolare: ") + full);
        return false;
    }
    in.size = in.st.st_size;
#else
    in.file.setFileName(full);
    if (!in.file.open(QIODevice::ReadOnly)) {
        if (QFile::exists(full))
            sayOnce(name, QStringLiteral("File non leggibile, lasciato dov'\u00e8: ") + full);
        return false;
    }
    in.size = in.file.size();
#endif
    const qint64 max = m_s.config().ServerMaxBytes;
    if (in.size > max) {
        const QString aside = SetAsideName(full);
        if (!m_s.testMode() && QFile::rename(full, aside)) {
            const QString text =
                QStringLiteral("File di %1 byte (massimo %2) messo da parte senza stamparlo: ")
                    .arg(in.size)
                    .arg(max) +
                aside;
            m_s.AddMonitorLine(QStringLiteral("ECR        : ") + text);
            WriteLogLine(m_s, text, name);
            m_prompter.message(text, QStringLiteral("Attenzione"), Prompter::Icon::Critical);
        } else {
            sayOnce(name, QStringLiteral("File troppo grande, non stampato: ") + full);
        }
        return false;
    }
    if (QFile::exists(work)) {
        // Left over from an interrupted tick, before its lines were kept:
        // they were never sent, and the file itself is about to be read.
        QFile::remove(work);
        WriteLogLine(m_s, QStringLiteral("Copia di lavoro residua cancellata: ") + work, name);
    }
    if (!m_s.testMode()) {
        if (!QFile::rename(full, work))
            return false; // the next tick tries again
#ifdef Q_OS_UNIX
        // The name must still be the file opened: a file swapped in meanwhile
        // goes back under its name and waits for the next tick.
        struct stat now {};
        if (::lstat(QFile::encodeName(work).constData(), &now) != 0 || now.st_ino != in.st.st_ino ||
            now.st_dev != in.st.st_dev) {
            if (!QFile::exists(full))
                QFile::rename(work, full);
            return false;
        }
#endif
    }
    m_link.PumpEvents();
    QByteArray bytes;
#ifdef Q_OS_UNIX
    bytes.resize(in.size + 1);
    qint64 got = 0;
    for (;;) {
        if (got == bytes.size())
            bytes.resize(bytes.size() + 4096);
        const ssize_t n = ::read(in.fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += n;
        if (got > max)
            break;
    }
    bytes.truncate(got);
#else
    bytes = in.file.read(max + 1);
#endif
    if (m_s.testMode()) {
        QFile copy(work);
        if (copy.open(QIODevice::WriteOnly))
            copy.write(bytes);
    }
    const QStringList lines = SplitReceiptLines(decodeTextFile(bytes));
    if (!m_executor.enqueue(lines, m_s.testMode() ? QString() : work,
                            {ReceiptSource::Kind::File, QFileInfo(full).fileName()})) {
        // The queue could not be kept on disk: the file waits under its name.
        if (!m_s.testMode() && !QFile::exists(full))
            QFile::rename(work, full);
        else
            QFile::remove(work);
        return false;
    }
    m_link.PumpEvents();
    QFile::remove(work);
    m_seen.remove(full); // a new file under this name is watched afresh
    if (m_s.testMode()) {
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

void PrintServer::TimerSRV_Timer() {
    if (m_s.identity().sn.trimmed().isEmpty() || !registerReady)
        return;
    // One exchange at a time: a tick that fires while another exchange waits
    // on the line leaves everything for the next one.
    if (m_inTick || m_link.lineBusy())
        return;
    m_inTick = true;
    m_timer.stop();
    bool found = false;

    const QString dir = folder();
    if (requireStableFiles && !m_watch.watch(dir.trimmed()))
        m_watch.stop();
    m_watch.poll();
    QString logPrefix = m_s.logPrefix();
    QStringList others;
    const QStringList names = ListServerFiles(dir.trimmed(), m_s.config().ServerFile.trimmed(),
                                              m_s.forbidden(), logPrefix, &others);
    m_s.setLogPrefix(logPrefix);
    QSet<QString> present;
    // The folder of outcome files lies in the receipt folder: it is ours.
    const QString outcomes = OutcomeFiles::folder(dir, m_s.config().ServerEsiti);
    for (const QString &name : others) {
        if (IsOwnFile(name) || QDir::cleanPath(dir + name) == outcomes)
            continue;
        present.insert(name);
        if (QFileInfo(dir + name).isSymLink())
            sayOnce(name, QStringLiteral("File non preso: \u00e8 un collegamento: ") + dir + name);
        else
            sayOnce(name, QStringLiteral("File non preso: non \u00e8 un file regolare: ") + dir + name);
    }
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
    // A file said once is said again only after it has gone away.
    m_said.intersect(present);
    // Lines left waiting by an earlier call (busy too long, a stop) are tried
    // again at later ticks, not only when a new file comes; while the register
    // is unreachable they wait until the start-up watch reaches it again.
    if (found || ((m_executor.recoveryPending() || !m_s.queue().isEmpty()) && !m_s.unreachableReported()))
        m_executor.ExecuteReceiptQueue();
    m_inTick = false;
    if (m_enabled)
        m_timer.start();
    emit tickDone();
}

} // namespace norvvelm
