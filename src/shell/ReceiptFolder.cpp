#include "shell/ReceiptFolder.h"

#include "commands/ForbiddenExtensions.h"
#include "link/Ansi.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

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

bool MaskMatches(const MaskAnalysis &m, const QString &name) {
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

namespace {
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

QString WorkingCopyName(const QString &fullName) {
    return fullName + QStringLiteral(".velm");
}

QString SetAsideName(const QString &fullName) {
    QString aside = fullName + QStringLiteral(".scartato");
    for (int i = 2; QFileInfo::exists(aside); ++i)
        aside = fullName + QStringLiteral("-%1.scartato").arg(i);
    return aside;
}

QStringList OldestFirst(const QString &dir, const QStringList &names) {
    struct Aged {
        qint64 ns;
        QString name;
    };
    QList<Aged> aged;
    aged.reserve(names.size());
    for (const QString &name : names)
        aged.append({name.isEmpty() ? 0 : ModifiedNs(dir + name), name});
    std::stable_sort(aged.begin(), aged.end(), [](const Aged &x, const Aged &y) {
        return x.ns != y.ns ? x.ns < y.ns : x.name < y.name;
    });
    QStringList out;
    out.reserve(aged.size());
    for (const Aged &a : aged)
        out.append(a.name);
    return out;
}

namespace {
// A file name that is not valid UTF-8, renamed by its bytes to its
// Windows-1252 reading when the mask wants that reading, or set aside under
// it when the name is taken; each said in `renamed`. The name to go on
// with, empty when there is none.
QString renameUndecodable(const QString &folder, const QByteArray &raw, QStringList &renamed,
                          const std::function<bool(const QString &)> &wanted) {
    QString readable = fromAnsi(raw);
    readable.replace(u'/', u'_');
    if (!wanted(readable))
        return {};
    const QByteArray base = QFile::encodeName(folder) + '/';
    const QString dir = QFile::decodeName(base);
    QString target = readable;
    const bool aside = QFileInfo::exists(dir + target);
    if (aside)
        target = QFileInfo(SetAsideName(dir + readable)).fileName();
    const QByteArray from = base + raw;
    const QByteArray to = QFile::encodeName(dir + target);
    if (std::rename(from.constData(), to.constData()) != 0) {
        const int err = errno;
        renamed.append(QStringLiteral("File con nome non UTF-8 non rinominabile, lasciato dov'\u00e8: ") +
                       dir + readable + QStringLiteral(" (") + QString::fromLocal8Bit(std::strerror(err)) +
                       u')');
        return {};
    }
    renamed.append((aside ? QStringLiteral("File con nome non UTF-8 messo da parte come ")
                          : QStringLiteral("File con nome non UTF-8 rinominato ")) +
                   dir + target);
    return aside ? QString() : target;
}

bool isAscii(const QString &text) {
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
}

// A name the mask takes that is not forbidden.
bool listable(const MaskAnalysis &m, const ForbiddenExtensions &forbidden, const QString &name) {
    return MaskMatches(m, name) && !forbidden.forbids(name);
}
} // namespace

QStringList ListServerFiles(const QString &folder, const QString &mask, const ForbiddenExtensions &forbidden,
                            QString &logPrefix, QStringList *others, QStringList *renamed) {
    const MaskAnalysis m = AnalyseMask(mask);
    if (m.mode != MaskAnalysis::All)
        logPrefix = m.name;
    QStringList names;
    const bool ascii = isAscii(m.name);
    const AsciiMask quick{m.mode, m.name.toLatin1()};
    FolderEntries entries;
    entries.candidate = [&](const char *raw, qsizetype len) { return !ascii || quick.matches(raw, len); };
    // Outlives the listing: the rename below asks it.
    const std::function<bool(const QString &)> wanted = [&](const QString &name) {
        return listable(m, forbidden, name) && !IsOwnFile(name);
    };
    if (renamed) {
        entries.undecodable = [&](const QByteArray &raw, bool file) {
            return file ? renameUndecodable(folder, raw, *renamed, wanted) : QString();
        };
    }
    entries.file = [&](const QString &name) {
        if (listable(m, forbidden, name))
            names.append(name);
    };
    entries.other = [&](const QString &name) {
        if (others && listable(m, forbidden, name))
            others->append(name);
    };
    const bool listed = ListFolder(folder, entries);
    if (!listed || names.isEmpty())
        return {QString()};
    return names;
}

} // namespace norvvelm
