#include "shell/PrintServer.h"

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

#ifdef Q_OS_UNIX
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
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
template <typename Pre, typename F> bool forEachFile(const QString &folder, Pre &&candidate, F &&take) {
#ifdef Q_OS_UNIX
    DIR *d = ::opendir(QFile::encodeName(folder).constData());
    if (!d)
        return false;
    const QByteArray base = QFile::encodeName(folder) + '/';
    while (dirent *e = ::readdir(d)) {
        const qsizetype len = qsizetype(strlen(e->d_name));
        if (!candidate(e->d_name, len))
            continue;
        bool file = e->d_type == DT_REG;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st {};
            file = ::stat(QByteArray(base + e->d_name).constData(), &st) == 0 && S_ISREG(st.st_mode);
        }
        if (file)
            take(QFile::decodeName(QByteArray(e->d_name, len)));
    }
    ::closedir(d);
    return true;
#else
    Q_UNUSED(candidate);
    if (!QFileInfo(folder).isDir())
        return false;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext()) {
        it.next();
        take(it.fileName());
    }
    return true;
#endif
}

} // namespace

QStringList ListServerFiles(const QString &folder, const QString &mask, const ForbiddenExtensions &forbidden,
                            QString &logPrefix) {
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
}

void PrintServer::setEnabled(bool on) {
    m_enabled = on;
    if (!on)
        m_timer.stop();
    else if (!m_inTick)
        m_timer.start();
}

QString PrintServer::folder() const {
    QString dir = m_s.config().ServerDir.trimmed();
    if (dir.size() <= 1)
        dir = m_s.programDir();
    if (!dir.endsWith(u'/') && !dir.endsWith(u'\\'))
        dir += u'/';
    return dir;
}

bool PrintServer::stable(const QString &fullName) {
    if (!requireStableFiles)
        return true;
    const QFileInfo info(fullName);
    const Seen now{info.size(), info.lastModified()};
    const auto it = m_seen.constFind(fullName);
    const bool same = it != m_seen.constEnd() && *it == now;
    m_seen.insert(fullName, now);
    return same;
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
    QString logPrefix = m_s.logPrefix();
    const QStringList names =
        ListServerFiles(dir.trimmed(), m_s.config().ServerFile.trimmed(), m_s.forbidden(), logPrefix);
    m_s.setLogPrefix(logPrefix);
    QHash<QString, Seen> seenBefore;
    seenBefore.swap(m_seen);
    for (const QString &name : names) {
        if (name.isEmpty())
            continue;
        const QString full = dir + name;
        const QString work = full + QStringLiteral(".velm");
        if (requireStableFiles) {
            const auto it = seenBefore.constFind(full);
            if (it != seenBefore.constEnd())
                m_seen.insert(full, *it);
            if (!stable(full))
                continue;
        }
        if (QFile::exists(work)) {
            // Left over from an interrupted tick: its lines may have been
            // printed already, so it is dropped, with a trace in the log.
            QFile::remove(work);
            WriteLogLine(m_s, QStringLiteral("Copia di lavoro residua cancellata: ") + work, name);
        }
        if (QFile::exists(full)) {
            found = true;
            if (m_s.testMode())
                QFile::copy(full, work);
            else
                QFile::rename(full, work);
        }
        m_link.PumpEvents();
        if (QFile::exists(work)) {
            QFile in(work);
            if (in.open(QIODevice::ReadOnly)) {
                QString text = decodeTextFile(in.readAll());
                in.close();
                text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
                QStringList lines = text.split(u'\n');
                if (!lines.isEmpty() && lines.last().isEmpty())
                    lines.removeLast(); // the final line end closes the last line
                for (const QString &line : std::as_const(lines))
                    m_s.appendToQueue(line);
            }
            m_link.PumpEvents();
            QFile::remove(work);
            if (!m_s.testMode())
                m_seen.remove(full); // a new file under this name is watched afresh
            if (m_s.testMode()) {
                const auto answer =
                    m_prompter.ask(QStringLiteral("Vuoi cancellare file?"), QStringLiteral("Tes Mode"),
                                   Prompter::Icon::Question, Prompter::Buttons::YesNo, Prompter::Answer::Yes,
                                   Prompter::Answer::Yes);
                if (answer == Prompter::Answer::Yes && QFile::exists(full))
                    QFile::remove(full);
            }
        }
    }
    // Lines left waiting by an earlier call (busy too long, a stop) are tried
    // again at later ticks, not only when a new file comes; while the register
    // is unreachable they wait until the start-up watch reaches it again.
    if (found || (!m_s.queue().isEmpty() && !m_s.unreachableReported()))
        m_executor.ExecuteReceiptQueue();
    m_inTick = false;
    if (m_enabled)
        m_timer.start();
    emit tickDone();
}

} // namespace norvvelm
