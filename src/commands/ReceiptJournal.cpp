#include "commands/ReceiptJournal.h"

#include <QDateTime>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace norvvelm {

namespace {
const QByteArray kHeader = "NORVVELM-JOURNAL 1\n";

// One record per line: backslash and control characters as \xHH.
QByteArray escaped(const QString &text) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f || c == '\\') {
            out += "\\x";
            out += QByteArray::number(u, 16).rightJustified(2, '0');
        } else {
            out += c;
        }
    }
    return out;
}

bool unescaped(QByteArrayView in, QString &out) {
    QByteArray raw;
    raw.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            raw += in[i];
            continue;
        }
        if (in.size() < i + 4 || in[i + 1] != 'x')
            return false;
        bool ok = false;
        const int v = QByteArray(in.data() + i + 2, 2).toInt(&ok, 16);
        if (!ok)
            return false;
        raw += char(v);
        i += 3;
    }
    out = QString::fromUtf8(raw);
    return true;
}

bool syncFile(QFile &f) {
    if (!f.flush())
        return false;
#ifdef Q_OS_WIN
    return ::_commit(f.handle()) == 0;
#else
    return ::fdatasync(f.handle()) == 0;
#endif
}

void syncFolder(const QString &file) {
#ifndef Q_OS_WIN
    const int fd =
        ::open(QFile::encodeName(QFileInfo(file).absolutePath()).constData(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(file);
#endif
}
} // namespace

bool ReceiptJournal::apply(QueueState &s, QStringView record) {
    if (record.isEmpty())
        return false;
    const QChar kind = record.at(0);
    const QByteArray rest = record.mid(1).toUtf8();
    QString text;
    switch (kind.unicode()) {
    case u'Q':
        if (!unescaped(rest, text))
            return false;
        s.queue.append(text);
        return true;
    case u'S': {
        // S<open>,<count>,<line>
        const qsizetype c1 = rest.indexOf(','), c2 = rest.indexOf(',', c1 + 1);
        if (c1 != 1 || c2 < 0 || s.inFlight || s.queue.isEmpty())
            return false;
        bool ok = false;
        const int count = rest.mid(c1 + 1, c2 - c1 - 1).toInt(&ok);
        if (!ok || !unescaped(QByteArrayView(rest).sliced(c2 + 1), text) || s.queue.first() != text)
            return false;
        s.queue.removeFirst();
        s.inFlight = true;
        s.inFlightLine = text;
        s.inFlightOpenBefore = rest.at(0) == '1';
        s.receiptsBefore = count;
        return true;
    }
    case u'K':
        if (s.inFlight || s.queue.isEmpty() || !unescaped(rest, text) || s.queue.first() != text)
            return false;
        s.queue.removeFirst();
        return true;
    case u'D':
        if (!s.inFlight || rest.size() != 1)
            return false;
        if (rest.at(0) == '1') {
            if (!s.inFlightOpenBefore)
                s.receipt.clear();
            s.receipt.append(s.inFlightLine);
            s.receiptOpen = true;
        } else {
            s.receipt.clear();
            s.receiptOpen = false;
        }
        s.inFlight = false;
        return true;
    case u'P':
        if (!unescaped(rest, text))
            return false;
        if (s.inFlight && s.inFlightLine == text)
            s.inFlight = false;
        s.queue.prepend(text);
        return true;
    case u'R': {
        if (rest.size() != 1)
            return false;
        QStringList lines = s.receipt;
        if (rest.at(0) == '1' && s.inFlight)
            lines.append(s.inFlightLine);
        s.queue = lines + s.queue;
        s.receipt.clear();
        s.receiptOpen = false;
        s.inFlight = false;
        return true;
    }
    case u'V':
        s.receipt.clear();
        s.receiptOpen = false;
        s.inFlight = false;
        return rest.isEmpty();
    case u'X':
        s = QueueState{};
        return rest.isEmpty();
    case u'F':
        if (!unescaped(rest, text))
            return false;
        s.takenFiles.append(text);
        return true;
    default:
        return false;
    }
}

ReceiptJournal::Load ReceiptJournal::load(QueueState &state, QString &detail) {
    state = QueueState{};
    QFile f(m_path);
    if (!f.exists())
        return Load::Empty;
    if (!f.open(QIODevice::ReadOnly)) {
        detail = f.errorString();
        return Load::Failed;
    }
    const QByteArray all = f.readAll();
    f.close();
    bool good = all.startsWith(kHeader);
    QueueState s;
    if (good) {
        qsizetype pos = kHeader.size();
        while (good && pos < all.size()) {
            const qsizetype end = all.indexOf('\n', pos);
            if (end < 0)
                break; // cut short by a crash: never acted upon
            good = apply(s, QString::fromUtf8(all.mid(pos, end - pos)));
            pos = end + 1;
        }
    } else if (all.isEmpty() || kHeader.startsWith(all)) {
        good = true; // created, and the header cut short
    }
    if (!good) {
        QString aside = m_path + QStringLiteral(".illeggibile");
        if (QFile::exists(aside))
            aside += u'-' + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        if (!QFile::rename(m_path, aside)) {
            detail = QStringLiteral("impossibile rinominarlo");
            return Load::Failed;
        }
        detail = aside;
        return Load::SetAside;
    }
    state = s;
    return state.idle() ? Load::Empty : Load::Loaded;
}

bool ReceiptJournal::start(const QueueState &state) {
    m_file.close();
    m_file.setFileName(m_path);
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        m_error = m_file.errorString();
        return false;
    }
    const bool ok = rewrite(state);
    syncFolder(m_path);
    return ok;
}

bool ReceiptJournal::rewrite(const QueueState &s) {
    QByteArray all = kHeader;
    // The open receipt as carried-out lines, then the line in flight and the queue.
    auto rec = [&](const QByteArray &r) { all += r + '\n'; };
    for (const QString &l : s.receipt)
        rec("Q" + escaped(l));
    if (s.inFlight)
        rec("Q" + escaped(s.inFlightLine));
    for (const QString &l : s.queue)
        rec("Q" + escaped(l));
    for (qsizetype i = 0; i < s.receipt.size(); ++i) {
        rec("S" + QByteArray(i == 0 ? "0" : "1") + ",-1," + escaped(s.receipt.at(i)));
        rec("D1");
    }
    if (s.inFlight)
        rec("S" + QByteArray(s.inFlightOpenBefore ? "1" : "0") + ',' + QByteArray::number(s.receiptsBefore) +
            ',' + escaped(s.inFlightLine));
    if (!m_file.seek(0) || !m_file.resize(0) || m_file.write(all) != all.size() || !syncFile(m_file)) {
        m_error = m_file.errorString();
        return false;
    }
    m_records = 0;
    return true;
}

bool ReceiptJournal::write(const QByteArray &record, bool sync) {
    if (!m_file.isOpen())
        return false;
    ++m_records;
    if (m_file.write(record + '\n') != record.size() + 1 || (sync && !syncFile(m_file))) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

bool ReceiptJournal::appended(const QStringList &lines, const QString &workingCopy) {
    QByteArray all;
    for (const QString &l : lines)
        all += "Q" + escaped(l) + '\n';
    if (!workingCopy.isEmpty())
        all += "F" + escaped(workingCopy) + '\n';
    if (all.isEmpty())
        return true;
    all.chop(1);
    m_records += all.count('\n');
    return write(all, true);
}

bool ReceiptJournal::sending(const QString &line, bool openBefore, int receiptsBefore, bool sync) {
    return write("S" + QByteArray(openBefore ? "1" : "0") + ',' + QByteArray::number(receiptsBefore) + ',' +
                     escaped(line),
                 sync);
}

bool ReceiptJournal::skipped(const QString &line) {
    return write("K" + escaped(line), false);
}

bool ReceiptJournal::done(bool openAfter, bool sync) {
    return write(openAfter ? "D1" : "D0", sync);
}

bool ReceiptJournal::putBack(const QString &line) {
    return write("P" + escaped(line), true);
}

bool ReceiptJournal::resend(bool withInFlight) {
    return write(withInFlight ? "R1" : "R0", true);
}

bool ReceiptJournal::dropReceipt() {
    return write("V", true);
}

bool ReceiptJournal::cleared() {
    return write("X", true);
}

bool ReceiptJournal::compact(const QueueState &state) {
    if (!m_file.isOpen())
        return false;
    if (state.idle()) {
        if (m_file.size() == kHeader.size())
            return true;
        return rewrite(state);
    }
    const qint64 live = state.queue.size() + 2 * state.receipt.size() + 2;
    if (m_records < 4096 || m_records < 4 * live)
        return true;
    return rewrite(state);
}

} // namespace norvvelm
