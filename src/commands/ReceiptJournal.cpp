#include "commands/ReceiptJournal.h"

#include "commands/CommandLanguage.h"
#include "commands/Runner.h"

#include <QDateTime>
#include <QFileInfo>

#include <algorithm>
#include <optional>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace norvvelm {

namespace {
// Version 2 ends every receipt's lines with the record of their end; a
// journal of version 1 is still read, by its own rule.
const QByteArray kHeader = "NORVVELM-JOURNAL 2\n";
const QByteArray kHeaderV1 = "NORVVELM-JOURNAL 1\n";
// Written after the state when the queue stands idle with nothing open.
const QByteArray kIdleMark = "I";
// The idle mark, overwritten in place before the first record that follows
// it: a journal cut back to the mark must not read as idle.
const QByteArray kWasIdle = "i";

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

namespace {
using Kind = QueueEvent::Kind;

// The letter of each kind of record.
constexpr struct {
    Kind kind;
    char letter;
} kLetters[] = {
    {Kind::Receipt, 'J'},          {Kind::Line, 'Q'},      {Kind::WorkingCopy, 'F'}, {Kind::Sending, 'S'},
    {Kind::Skipped, 'K'},          {Kind::Done, 'D'},      {Kind::PutBack, 'P'},     {Kind::Resent, 'R'},
    {Kind::GivenUp, 'V'},          {Kind::Cleared, 'X'},   {Kind::Problem, 'G'},     {Kind::Taken, 'T'},
    {Kind::ClosedOnRegister, 'C'}, {Kind::Cancelled, 'Z'}, {Kind::Abandoned, 'Y'},   {Kind::Figures, 'N'}};

char letterOf(Kind kind) {
    for (const auto &l : kLetters) {
        if (l.kind == kind)
            return l.letter;
    }
    return '?';
}

bool kindOf(char letter, Kind &kind) {
    // A problem as journals of version 1 wrote it.
    if (letter == 'E') {
        kind = Kind::Problem;
        return true;
    }
    for (const auto &l : kLetters) {
        if (l.letter == letter) {
            kind = l.kind;
            return true;
        }
    }
    return false;
}

QByteArray flag(bool on) {
    return on ? "1" : "0";
}

// "<number>,<rest>": the number and the rest; false when it is not so.
bool numberThen(QByteArrayView text, qint64 &number, QByteArrayView &rest) {
    const qsizetype comma = text.indexOf(',');
    bool ok = false;
    number = comma > 0 ? text.first(comma).toLongLong(&ok) : 0;
    rest = ok ? text.sliced(comma + 1) : QByteArrayView();
    return ok;
}

bool decodeFlag(QByteArrayView rest, bool &on) {
    on = rest == "1";
    return rest == "1" || rest == "0";
}

// "<count>" or "<count>:<cents>" (journals of older runs have no cents).
bool decodeCount(QByteArrayView text, QueueEvent &e) {
    const qsizetype colon = text.indexOf(':');
    bool ok = false;
    e.count = int(text.first(colon < 0 ? text.size() : colon).toInt(&ok));
    if (!ok)
        return false;
    if (colon >= 0) {
        e.amount = text.sliced(colon + 1).toLongLong(&ok);
        return ok;
    }
    return true;
}

QByteArray encodeCount(const QueueEvent &e) {
    QByteArray out = QByteArray::number(e.count);
    if (e.amount)
        out += ':' + QByteArray::number(*e.amount);
    return out;
}

// S<open>,<count>[:<cents>],<line>
bool decodeSending(QByteArrayView rest, QueueEvent &e) {
    if (rest.size() < 2 || rest.at(1) != ',' || !decodeFlag(rest.first(1), e.flag))
        return false;
    const QByteArrayView tail = rest.sliced(2);
    const qsizetype comma = tail.indexOf(',');
    return comma > 0 && decodeCount(tail.first(comma), e) && unescaped(tail.sliced(comma + 1), e.text);
}

// D<open>[,<count>[:<cents>]]
bool decodeDone(QByteArrayView rest, QueueEvent &e) {
    if (rest.size() > 2 && rest.at(1) == ',')
        return decodeFlag(rest.first(1), e.flag) && decodeCount(rest.sliced(2), e);
    return decodeFlag(rest, e.flag);
}

// A request's terms after its key and hash: " <expiry in ms since the
// epoch, 0 for none> <kind of document, - for a receipt>[ <warnings, one
// per line>]" (older journals have none).
void decodeTerms(const QString &text, QueueEvent &e) {
    const qint64 expires = text.section(u' ', 2, 2).toLongLong();
    if (expires > 0)
        e.expires = QDateTime::fromMSecsSinceEpoch(expires);
    const QString kind = text.section(u' ', 3, 3);
    e.document = kind == u"-" ? QString() : kind;
    const QString warnings = text.section(u' ', 4);
    if (!warnings.isEmpty())
        e.warnings = warnings.split(u'\n');
}

QString encodeTerms(const QueueEvent &e) {
    if (!e.expires.isValid() && e.warnings.isEmpty() && e.document.isEmpty())
        return {};
    QString out = u' ' + QString::number(e.expires.isValid() ? e.expires.toMSecsSinceEpoch() : 0) + u' ' +
                  (e.document.isEmpty() ? QStringLiteral("-") : e.document);
    if (!e.warnings.isEmpty())
        out += u' ' + e.warnings.join(u'\n');
    return out;
}

// N<id>,<after>,<receipts>,<non-fiscal>,<sales>,<VAT 1..5>,<corrections>,
// <returns>,<voids>: amounts in cents, empty where the register gave none.
QByteArray encodeFigures(const QueueEvent &e) {
    const ReceiptTotals &t = e.figures;
    const auto cents = [](const std::optional<qint64> &v) {
        return v ? QByteArray::number(*v) : QByteArray();
    };
    QByteArrayList out{QByteArray::number(e.id), flag(e.flag), QByteArray::number(t.receipts),
                       QByteArray::number(t.nonFiscal), cents(t.salesCents)};
    for (const auto &v : t.vatCents)
        out << cents(v);
    out << cents(t.correctionsCents) << cents(t.returnsCents) << cents(t.voidsCents);
    return out.join(',');
}

bool decodeFigures(QByteArrayView rest, QueueEvent &e) {
    const QList<QByteArray> f = rest.toByteArray().split(',');
    bool ok = f.size() == 13;
    const auto whole = [&](int i) {
        bool good = false;
        const qint64 v = f.value(i).toLongLong(&good);
        ok = ok && good;
        return v;
    };
    const auto cents = [&](int i) -> std::optional<qint64> {
        if (f.value(i).isEmpty())
            return std::nullopt;
        return whole(i);
    };
    const qint64 id = whole(0);
    ok = ok && id > 0 && decodeFlag(f.value(1), e.flag);
    e.id = quint64(id);
    ReceiptTotals &t = e.figures;
    t.receipts = int(whole(2));
    t.nonFiscal = int(whole(3));
    t.salesCents = cents(4);
    for (int i = 0; i < 5; ++i)
        t.vatCents[size_t(i)] = cents(5 + i);
    t.correctionsCents = cents(10);
    t.returnsCents = cents(11);
    t.voidsCents = cents(12);
    return ok && t.receipts >= 0;
}

// J<id>,F,<file name> or J<id>,R,<key> <body hash>[ <expiry>[ <warnings>]]
bool decodeReceipt(QByteArrayView rest, QueueEvent &e) {
    qint64 id = 0;
    QByteArrayView tail;
    if (!numberThen(rest, id, tail) || id <= 0 || tail.size() < 2 || tail.at(1) != ',')
        return false;
    e.id = quint64(id);
    e.sourceKind = tail.at(0) == 'R' ? ReceiptSource::Kind::Request : ReceiptSource::Kind::File;
    if ((tail.at(0) != 'R' && tail.at(0) != 'F') || !unescaped(tail.sliced(2), e.text))
        return false;
    if (e.sourceKind == ReceiptSource::Kind::Request) {
        e.bodyHash = e.text.section(u' ', 1, 1).toLatin1();
        decodeTerms(e.text, e);
        e.text = e.text.section(u' ', 0, 0);
    }
    return true;
}

QByteArray encodeReceipt(const QueueEvent &e) {
    const bool request = e.sourceKind == ReceiptSource::Kind::Request;
    return QByteArray::number(e.id) + (request ? ",R," : ",F,") +
           escaped(request ? e.text + u' ' + QString::fromLatin1(e.bodyHash) + encodeTerms(e) : e.text);
}

// Z<id>,<code>,<why> and Y<id>,<code>,<why>
bool decodeEnding(QByteArrayView rest, QueueEvent &e) {
    qint64 id = 0;
    QByteArrayView tail;
    if (!numberThen(rest, id, tail) || id <= 0)
        return false;
    e.id = quint64(id);
    const qsizetype comma = tail.indexOf(',');
    return comma >= 0 && unescaped(tail.first(comma), e.code) && unescaped(tail.sliced(comma + 1), e.text);
}

// V, or V<id> for a receipt given up whatever the register held of it.
bool decodeGivenUp(QByteArrayView rest, QueueEvent &e) {
    if (rest.isEmpty())
        return true;
    bool ok = false;
    const qint64 id = rest.toLongLong(&ok);
    e.id = ok && id > 0 ? quint64(id) : 0;
    return e.id != 0 && rest.at(0) != '+';
}

// C<id>,<count>[:<cents>]
bool decodeClosed(QByteArrayView rest, QueueEvent &e) {
    qint64 id = 0;
    QByteArrayView tail;
    if (!numberThen(rest, id, tail) || id <= 0)
        return false;
    e.id = quint64(id);
    return decodeCount(tail, e);
}

// T<id>
bool decodeTaken(QByteArrayView rest, QueueEvent &e) {
    bool ok = false;
    const qint64 id = rest.toLongLong(&ok);
    e.id = ok && id > 0 ? quint64(id) : 0;
    return e.id != 0 && rest.at(0) != '+';
}

// The register's error as journals of version 1 kept it: its code, the
// code's text and the line, apart by tabs; any other text is a problem of
// the program's own.
void registerProblemParts(QueueEvent &e) {
    const QStringList parts = e.text.split(u'\t');
    if (parts.size() != 3)
        return;
    e.code = parts.at(0);
    e.number = CommandErrorNumber(e.code);
    e.text = parts.at(1);
}

// E<id>,<text> (version 1) or G<id>,<line>,<code>,<text>
bool decodeProblem(char letter, QByteArrayView rest, QueueEvent &e) {
    qint64 id = 0;
    QByteArrayView tail;
    if (!numberThen(rest, id, tail) || id < 0)
        return false;
    e.id = quint64(id);
    if (letter == 'E') {
        if (!unescaped(tail, e.text))
            return false;
        registerProblemParts(e);
        return true;
    }
    qint64 line = 0;
    QByteArrayView after;
    if (!numberThen(tail, line, after) || line < 0)
        return false;
    e.count = int(line);
    const qsizetype comma = after.indexOf(',');
    if (comma < 0 || !unescaped(after.first(comma), e.code) || !unescaped(after.sliced(comma + 1), e.text))
        return false;
    e.number = e.code.isEmpty() ? -1 : CommandErrorNumber(e.code);
    return true;
}
} // namespace

QByteArray ReceiptJournal::encode(const QueueEvent &e) {
    QByteArray r(1, letterOf(e.kind));
    switch (e.kind) {
    case Kind::Receipt:
        return r + encodeReceipt(e);
    case Kind::Sending:
        return r + flag(e.flag) + ',' + encodeCount(e) + ',' + escaped(e.text);
    case Kind::Done:
        return r + flag(e.flag) + (e.count >= 0 ? ',' + encodeCount(e) : QByteArray());
    case Kind::Resent:
        return r + flag(e.flag);
    case Kind::GivenUp:
        return e.id != 0 ? r + QByteArray::number(e.id) : r;
    case Kind::Cleared:
        return r;
    case Kind::Cancelled:
    case Kind::Abandoned:
        return r + QByteArray::number(e.id) + ',' + escaped(e.code) + ',' + escaped(e.text);
    case Kind::Figures:
        return r + encodeFigures(e);
    case Kind::Problem:
        return r + QByteArray::number(e.id) + ',' + QByteArray::number(std::max(0, e.count)) + ',' +
               escaped(e.code) + ',' + escaped(e.text);
    case Kind::Taken:
        return r + QByteArray::number(e.id);
    case Kind::ClosedOnRegister:
        return r + QByteArray::number(e.id) + ',' + encodeCount(e);
    case Kind::Line:
    case Kind::WorkingCopy:
    case Kind::Skipped:
    case Kind::PutBack:
        return r + escaped(e.text);
    }
    return r;
}

bool ReceiptJournal::decode(QByteArrayView record, QueueEvent &e) {
    e = QueueEvent{};
    if (record.isEmpty() || !kindOf(record.at(0), e.kind))
        return false;
    const QByteArrayView rest = record.sliced(1);
    switch (e.kind) {
    case Kind::Receipt:
        return decodeReceipt(rest, e);
    case Kind::Sending:
        return decodeSending(rest, e);
    case Kind::Done:
        return decodeDone(rest, e);
    case Kind::Resent:
        return decodeFlag(rest, e.flag);
    case Kind::GivenUp:
        return decodeGivenUp(rest, e);
    case Kind::Cleared:
        return rest.isEmpty();
    case Kind::Cancelled:
    case Kind::Abandoned:
        return decodeEnding(rest, e);
    case Kind::Figures:
        return decodeFigures(rest, e);
    case Kind::Problem:
        return decodeProblem(record.at(0), rest, e);
    case Kind::Taken:
        return decodeTaken(rest, e);
    case Kind::ClosedOnRegister:
        return decodeClosed(rest, e);
    default:
        // A line, a working copy, a skipped or put-back line: its text alone.
        return unescaped(rest, e.text);
    }
}

namespace {
// Whether a record may stand inside the records that take one receipt, from
// its arrival to its end: its lines and its working copy (in journals of
// version 1 also a problem, and no end record).
bool insideTaking(Kind kind) {
    return kind == Kind::Line || kind == Kind::WorkingCopy || kind == Kind::Problem;
}

// The receipt whose lines are being recorded, as the records are read, and
// the state before it arrived.
struct Taking {
    std::optional<QueueState> before;
    quint64 id = 0;

    void begin(const QueueState &s, quint64 receipt) {
        before = s;
        id = receipt;
    }
    // Follows one record about to change `s`; false when it cannot stand
    // where it is: nothing comes between a receipt's arrival and its end.
    bool follow(const QueueEvent &event, int version, const QueueState &s) {
        if (version < 2) {
            if (event.kind == Kind::Receipt && event.sourceKind == ReceiptSource::Kind::File)
                begin(s, event.id);
            else if (event.kind != Kind::Line && event.kind != Kind::Problem)
                before.reset();
            return true;
        }
        if (before) {
            const bool fits = event.kind == Kind::Taken ? event.id == id : insideTaking(event.kind);
            if (event.kind == Kind::Taken)
                before.reset();
            return fits;
        }
        if (event.kind == Kind::Receipt)
            begin(s, event.id);
        return true;
    }
};

// Applies one whole record to `s`, saying in `ending` how the journal stands
// after it; false when it cannot be read or does not fit.
bool replayRecord(QByteArrayView record, int version, Taking &taking, QueueState &s,
                  ReceiptJournal::Ending &ending) {
    if (record == kWasIdle)
        return true;
    const bool inside = taking.before && version >= 2;
    if (record == kIdleMark) {
        ending = inside ? ReceiptJournal::Ending::Unfinished : ReceiptJournal::Ending::Idle;
        return !inside;
    }
    ending = ReceiptJournal::Ending::Unfinished;
    QueueEvent event;
    return ReceiptJournal::decode(record, event) && taking.follow(event, version, s) &&
           ApplyQueueEvent(s, event);
}
} // namespace

// Applies the records after the header to `s`; false at the first record
// that cannot be read or does not fit. The receipt whose lines were being
// recorded when the journal ends is taken back out: its lines are not all
// there, and alone they would join whatever follows them on the register.
// A journal of version 1 has no end records: a receipt file's lines count as
// whole unless the journal ends inside one of their records, and their
// working copy's record ends them.
bool ReceiptJournal::replay(const QByteArray &all, int version, QueueState &s) {
    m_ending = Ending::Unfinished;
    Taking taking;
    bool good = true;
    qsizetype pos = kHeader.size();
    while (good && pos < all.size()) {
        const qsizetype end = all.indexOf('\n', pos);
        if (end < 0) {
            m_ending = Ending::Cut; // cut short: never acted upon
            break;
        }
        good = replayRecord(QByteArrayView(all).sliced(pos, end - pos), version, taking, s, m_ending);
        pos = end + 1;
    }
    if (good && taking.before && (version >= 2 || m_ending == Ending::Cut))
        dropCutReceipt(s, *taking.before, taking.id);
    return good;
}

void ReceiptJournal::dropCutReceipt(QueueState &s, const QueueState &before, quint64 id) {
    m_lostLines = int(s.queue.size() - before.queue.size());
    if (const QueuedReceipt *r = s.find(id))
        m_dropped.append(*r);
    const quint64 next = s.nextId;
    s = before;
    // Its id stays given: a later receipt never takes it.
    s.nextId = std::max(s.nextId, next);
}

// A journal that cannot be read is kept aside under a name of its own.
ReceiptJournal::Load ReceiptJournal::setAside(QString &detail) {
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

ReceiptJournal::Load ReceiptJournal::load(QueueState &state, QString &detail) {
    state = QueueState{};
    m_ending = Ending::Missing;
    m_lostLines = 0;
    m_dropped.clear();
    QFile f(m_path);
    if (!f.exists())
        return Load::Empty;
    if (!f.open(QIODevice::ReadOnly)) {
        detail = f.errorString();
        return Load::Failed;
    }
    const QByteArray all = f.readAll();
    f.close();
    QueueState s;
    bool good = false;
    if (all.startsWith(kHeader)) {
        good = replay(all, 2, s);
    } else if (all.startsWith(kHeaderV1)) {
        good = replay(all, 1, s);
    } else if (all.isEmpty() || kHeader.startsWith(all) || kHeaderV1.startsWith(all)) {
        good = true; // created, and the header cut short
        m_ending = Ending::Empty;
    }
    if (!good)
        return setAside(detail);
    state = s;
    return state.idle() ? Load::Empty : Load::Loaded;
}

bool ReceiptJournal::replacedOnDisk() const {
    if (!m_file.isOpen())
        return false;
#ifdef Q_OS_UNIX
    struct stat open {};
    struct stat named {};
    if (::fstat(m_file.handle(), &open) != 0)
        return false;
    return ::stat(QFile::encodeName(m_path).constData(), &named) != 0 || named.st_dev != open.st_dev ||
           named.st_ino != open.st_ino;
#else
    return !QFileInfo::exists(m_path);
#endif
}

bool ReceiptJournal::start(const QueueState &state) {
    m_file.close();
    m_file.setFileName(m_path);
    m_broken = false;
    if (!m_file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return failed();
    const bool ok = rewrite(state);
    syncFolder(m_path);
    return ok;
}

bool ReceiptJournal::failed() {
    m_error = m_file.errorString();
    m_broken = true;
    return false;
}

bool ReceiptJournal::faultInjected() {
    if (!m_writeFault || !m_writeFault())
        return false;
    m_error = QStringLiteral("scrittura non riuscita");
    m_broken = true;
    return true;
}

namespace {
// The records that build `s` again from nothing: the open receipt as
// carried-out lines, then the line in flight and the queue, each run of lines
// after its receipt.
QList<QueueEvent> rebuild(const QueueState &s) {
    QList<QueueEvent> out;
    // The resends so far, before any line: with nothing open they move none.
    for (int i = 0; i < s.resends; ++i)
        out.append(QueueEvent::resent(false));
    quint64 owner = 0;
    bool named = false; // the run of lines began with its receipt's arrival
    const auto endRun = [&] {
        if (named)
            out.append(QueueEvent::taken(owner));
        named = false;
    };
    const auto line = [&](const QString &text, quint64 of) {
        if (of != owner) {
            endRun();
            if (const QueuedReceipt *r = s.find(of)) {
                out.append(QueueEvent::receiptArrives(r->id, r->source));
                named = true;
            }
            owner = of;
        }
        out.append(QueueEvent::line(text));
    };
    for (qsizetype i = 0; i < s.receipt.size(); ++i)
        line(s.receipt.at(i), s.receiptOwners.value(i));
    if (s.inFlight)
        line(s.inFlightLine, s.inFlightOwner);
    for (qsizetype i = 0; i < s.queue.size(); ++i)
        line(s.queue.at(i), s.queueOwners.value(i));
    endRun();
    for (const QueuedReceipt &r : s.receipts) {
        for (const ReceiptError &e : r.errors) {
            if (r.state == QueuedReceipt::State::Queued || r.state == QueuedReceipt::State::Printing)
                out.append(QueueEvent::problem(e, r.id));
        }
    }
    for (qsizetype i = 0; i < s.receipt.size(); ++i) {
        out.append(QueueEvent::sending(s.receipt.at(i), i > 0, -1));
        out.append(QueueEvent::done(true));
    }
    if (s.inFlight)
        out.append(
            QueueEvent::sending(s.inFlightLine, s.inFlightOpenBefore, s.receiptsBefore, s.salesBefore));
    // A receipt to be voided and given up, with or without lines open.
    for (const QueuedReceipt &r : s.receipts) {
        if (!r.abandoned ||
            (r.state != QueuedReceipt::State::Queued && r.state != QueuedReceipt::State::Printing))
            continue;
        if (!s.receiptOwners.contains(r.id) && !(s.inFlight && s.inFlightOwner == r.id))
            out << QueueEvent::receiptArrives(r.id, r.source) << QueueEvent::taken(r.id);
        out.append(QueueEvent::abandoned(r.id, r.reasonCode, r.reasonText));
    }
    return out;
}
} // namespace

bool ReceiptJournal::rewrite(const QueueState &s) {
    QByteArray all = kHeader;
    for (const QueueEvent &e : rebuild(s))
        all += encode(e) + '\n';
    m_idleAt = -1;
    if (s.idle() && s.resends == 0) {
        m_idleAt = all.size();
        all += kIdleMark + '\n';
    }
    if (faultInjected())
        return false;
    if (!m_file.seek(0) || !m_file.resize(0) || m_file.write(all) != all.size() || !syncFile(m_file))
        return failed();
    m_records = 0;
    return true;
}

// Nothing is appended after a write that failed: what reached the disk of
// it is not known, and only the whole state written anew mends the file.
bool ReceiptJournal::write(const QByteArray &records, qsizetype count, bool sync) {
    if (!writable() || faultInjected())
        return false;
    m_records += count;
    if (m_idleAt >= 0) {
        const qint64 end = m_file.size();
        if (!m_file.seek(m_idleAt) || m_file.write(kWasIdle) != kWasIdle.size() || !m_file.seek(end))
            return failed();
        m_idleAt = -1;
        sync = true;
    }
    if (m_file.write(records) != records.size() || (sync && !syncFile(m_file)))
        return failed();
    return true;
}

namespace {
// On the disk before it goes out wherever its loss would change the
// recovery: a receipt's first line, a closing line, a line that changes the
// register outside a receipt, and a receipt's end (nothing of it may be sent
// again). A sale in the middle of a receipt is only handed to the system (a
// crash of the program keeps it): were it lost with the machine, the
// recovery is the same, the open receipt voided and sent again from its
// first line.
bool mustSync(const QueueEvent &e, const QueueState &before) {
    switch (e.kind) {
    case Kind::Sending: {
        const ReceiptRule rule = ReceiptRuleFor(CommandCode(CompleteLine(e.text)));
        return e.flag ? rule != ReceiptRule::Opens && rule != ReceiptRule::Neutral
                      : rule != ReceiptRule::Neutral;
    }
    case Kind::Done:
        return before.inFlightOpenBefore && !e.flag;
    case Kind::Skipped:
    case Kind::Problem:
        return false;
    default:
        return true;
    }
}
} // namespace

bool ReceiptJournal::append(const QList<QueueEvent> &events, const QueueState &before) {
    QByteArray all;
    bool sync = false;
    for (const QueueEvent &e : events) {
        all += encode(e) + '\n';
        sync = sync || mustSync(e, before);
    }
    return all.isEmpty() || write(all, events.size(), sync);
}

bool ReceiptJournal::compact(const QueueState &state) {
    if (!writable())
        return false;
    if (state.idle() && state.resends == 0) {
        if (m_file.size() == kHeader.size() + kIdleMark.size() + 1)
            return true;
        return rewrite(state);
    }
    const qint64 live = state.queue.size() + 2 * state.receipt.size() + 2;
    if (m_records < 4096 || m_records < 4 * live)
        return true;
    return rewrite(state);
}

} // namespace norvvelm
