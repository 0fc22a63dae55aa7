#include "commands/CommandLanguage.h"

#include <QHash>

#include <algorithm>
#include <iterator>

namespace norvvelm {

QString StatusRequestLine() {
    return QStringLiteral("?/");
}

QString IdentifyLine() {
    return QStringLiteral("a/");
}

QString VatReadLine() {
    return QStringLiteral("e/");
}

QString DisplayReadLine() {
    return QStringLiteral("(/");
}

QString KeyPressLine(int keyCode) {
    return QStringLiteral(")/") + QString::number(keyCode) + u'/';
}

QString VoidReceiptLine() {
    return KeyPressLine(kVoidReceiptKey);
}

QString TotalsReadLine() {
    return QStringLiteral("0/");
}

QString LineProblem(const QString &line) {
    if (line.size() > kMaxLineChars)
        return QStringLiteral("riga di %1 caratteri (massimo %2)").arg(line.size()).arg(kMaxLineChars);
    for (const QChar c : line) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("carattere di controllo 0x") +
                   QString::number(c.unicode(), 16).rightJustified(2, u'0').toUpper();
    }
    return {};
}

QStringList SplitReceiptLines(const QString &text) {
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
    return lines;
}

const QStringList &DailyReportQueries() {
    static const QStringList queries{QStringLiteral("t/"), QStringLiteral("0/"), QStringLiteral("9/"),
                                     QStringLiteral("X/")};
    return queries;
}

QString CommandCode(const QString &line) {
    return line.left(2);
}

QString CompleteLine(const QString &line) {
    return line.endsWith(u'/') ? line : line + u'/';
}

QString NormalizeCustomerHeader(const QString &lineIn) {
    QString line = lineIn;
    if (line.endsWith(u'/'))
        line.chop(1);
    QStringList fields;
    const qsizetype first = line.indexOf(u'/');
    if (first >= 0) {
        // Each text found before a further "/" is a field; the text after the
        // last "/" is dropped.
        qsizetype start = first + 1;
        qsizetype slash;
        while (fields.size() < 9 && (slash = line.indexOf(u'/', start)) >= 0) {
            fields.append(line.mid(start, slash - start));
            start = slash + 1;
        }
    }
    QString out = QStringLiteral("j/");
    for (int i = 0; i < 9; ++i)
        out += fields.value(i) + u'/';
    return out + QStringLiteral("0/");
}

QString LogoRowLine(int logo, int width, int height, int row, const QString &digits) {
    return QStringLiteral("$/%1/%2/%3/%4/").arg(logo).arg(width).arg(height).arg(row) + digits + u'/';
}

ReceiptRule ReceiptRuleFor(const QString &code) {
    static const QHash<QString, ReceiptRule> rules = [] {
        QHash<QString, ReceiptRule> r;
        r.insert(QStringLiteral("t0"), ReceiptRule::DailyReport);
        for (const char *c : {"U/", "j/", "2/", "3/", "4/", "-/"})
            r.insert(QString::fromLatin1(c), ReceiptRule::Opens);
        r.insert(QStringLiteral("5/"), ReceiptRule::Closes);
        for (const char *c : {"W/", "7/", "'/", "[/", "w/", "q/", "m/", "0/"})
            r.insert(QString::fromLatin1(c), ReceiptRule::Neutral);
        r.insert(QStringLiteral("+/"), ReceiptRule::EndsOpen);
        for (const char *c : {"6/", "x/", "B/", "G/"})
            r.insert(QString::fromLatin1(c), ReceiptRule::ClosedOnly);
        r.insert(QStringLiteral(")/"), ReceiptRule::KeyCode);
        return r;
    }();
    return rules.value(code, ReceiptRule::NotHandled);
}

const ReceiptRuleRow &ReceiptRuleOfLine(const QString &line, bool composed) {
    using N = ReceiptRuleRow::Needs;
    using A = ReceiptRuleRow::After;
    static const ReceiptRuleRow rows[] = {
        {ReceiptRule::DailyReport, N::Nothing, A::Same, false, false, false},
        {ReceiptRule::Opens, N::Nothing, A::Open, true, false, true},
        {ReceiptRule::Closes, N::Nothing, A::Closed, true, true, false},
        {ReceiptRule::Neutral, N::Nothing, A::Same, true, false, false},
        {ReceiptRule::EndsOpen, N::Open, A::Closed, true, false, false},
        {ReceiptRule::ClosedOnly, N::Closed, A::Same, true, false, false},
        {ReceiptRule::KeyCode, N::Nothing, A::Same, true, false, false},
        {ReceiptRule::NotHandled, N::Nothing, A::Same, false, false, false},
    };
    ReceiptRule rule = ReceiptRuleFor(CommandCode(line));
    const auto pressed = [&line](int key) { return line == KeyPressLine(key); };
    if (rule == ReceiptRule::KeyCode && composed && pressed(kCashKeyCode))
        rule = ReceiptRule::Closes;
    else if (rule == ReceiptRule::KeyCode && composed)
        rule = std::any_of(std::begin(kDocumentKeys), std::end(kDocumentKeys), pressed)
                   ? ReceiptRule::KeyCode
                   : ReceiptRule::NotHandled;
    else if (rule == ReceiptRule::KeyCode)
        rule = std::any_of(std::begin(kReceiptFileKeys), std::end(kReceiptFileKeys), pressed)
                   ? ReceiptRule::KeyCode
                   : ReceiptRule::NotHandled;
    for (const ReceiptRuleRow &row : rows) {
        if (row.rule == rule)
            return row;
    }
    return rows[std::size(rows) - 1];
}

bool ReceiptOpenAfter(const ReceiptRuleRow &row, bool openBefore) {
    switch (row.after) {
    case ReceiptRuleRow::After::Open:
        return true;
    case ReceiptRuleRow::After::Closed:
        return false;
    case ReceiptRuleRow::After::Same:
        break;
    }
    return openBefore;
}

QString RewriteReceiptLine(const QString &line, const SaleRewrite &how) {
    const QString code = CommandCode(line);
    if (code == QLatin1String("j/"))
        return NormalizeCustomerHeader(line);
    if (code == QLatin1String("3/"))
        return RewriteSaleLine(line, how);
    return line;
}

QString RewriteSaleLine(const QString &line, const SaleRewrite &how) {
    QStringList f = line.split(u'/');
    if (how.wrapDescription && f.size() > 3) {
        const int l1 = how.width1 > 0 ? how.width1 : 10;
        const int l2 = how.width2 > 0 ? how.width2 : 10;
        f[2] = f[2].trimmed();
        f[3] = f[3].trimmed();
        if (f[2].size() > l1) {
            const QString overflow = f[2].mid(l1);
            f[3] = f[3].isEmpty() ? overflow : overflow + u'-' + f[3];
            f[2] = f[2].left(l1);
            if (f[3].size() > l2)
                f[3] = f[3].left(l2);
        }
    }
    if (how.autoVat && how.vatTable && f.size() > 7) {
        bool ok = false;
        const int department = f[6].trimmed().toInt(&ok);
        // A department outside 1..21 has no VAT entry: the line keeps its own.
        if (ok && department >= 1 && department <= kDepartments)
            f[7] = QString::number((*how.vatTable)[department - 1]);
    }
    return f.join(u'/');
}

QString AnswerErrorCode(const QString &answer) {
    return answer.left(2);
}

bool AnswerAccepted(const QString &answer) {
    return answer.startsWith(QLatin1String("00"));
}

bool AnswerAcceptedField(const QString &answer) {
    return answer.startsWith(QLatin1String("00/"));
}

QString TypedCommandLine(const QString &typed) {
    return typed.trimmed() + u'/';
}

QString CommandFileLine(const QString &item) {
    return CompleteLine(item).trimmed();
}

int HexDigitValue(QStringView c) {
    if (c.size() != 1)
        return 0;
    const char16_t u = c.at(0).unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return 0;
}

int AnswerErrorValue(const QString &answer) {
    const QStringView a(answer);
    return 16 * HexDigitValue(a.mid(0, 1)) + HexDigitValue(a.mid(1, 1));
}

int AnswerStatusNumber(const QString &answer) {
    bool ok = false;
    const int n = answer.mid(3, 2).toInt(&ok);
    return ok && answer.size() >= 5 ? n : -1;
}

bool AnswerNeedsPaper(const QString &answer) {
    const int n = AnswerStatusNumber(answer);
    return n >= 0 && n <= 7 && (n & 4);
}

QStringList AnswerFields(const QString &answer) {
    QStringList fields;
    qsizetype start = 9;
    qsizetype slash;
    while (start <= answer.size() && (slash = answer.indexOf(u'/', start)) >= 0) {
        fields.append(answer.mid(start, slash - start));
        start = slash + 1;
    }
    return fields;
}

KeyReceipt KeyReceiptEffect(int code) {
    switch (code) {
    case 3: // the six departments
    case 4:
    case 5:
    case 6:
    case 11:
    case 12:
    case 43: // return of goods
    case 51: // PLU
        return KeyReceipt::Rings;
    case 1:  // not collected
    case 9:  // other payment (total 3)
    case 28: // void the receipt
    case 58: // other payment (total 4)
    case kCashKeyCode:
        return KeyReceipt::Ends;
    default:
        return KeyReceipt::None;
    }
}

KeyReceipt LineReceiptEffect(const QString &line) {
    const QString full = CompleteLine(line.trimmed());
    const QString code = CommandCode(full);
    if (code == QLatin1String(")/")) {
        bool ok = false;
        const int key = full.section(u'/', 1, 1).toInt(&ok);
        return ok ? KeyReceiptEffect(key) : KeyReceipt::None;
    }
    switch (ReceiptRuleFor(code)) {
    case ReceiptRule::Opens:
        return KeyReceipt::Rings;
    case ReceiptRule::Closes:
    case ReceiptRule::EndsOpen:
        return KeyReceipt::Ends;
    case ReceiptRule::DailyReport:
    case ReceiptRule::Neutral:
    case ReceiptRule::ClosedOnly:
    case ReceiptRule::KeyCode:
    case ReceiptRule::NotHandled:
        break;
    }
    return KeyReceipt::None;
}

ReceiptTotals TotalsOfAnswer(const QString &answer) {
    ReceiptTotals t;
    if (!AnswerAccepted(answer))
        return t;
    const QStringList fields = AnswerFields(answer);
    bool ok = false;
    const int n = fields.value(6).trimmed().toInt(&ok);
    if (!ok || n < 0)
        return t;
    t.receipts = n;
    const auto amount = [&fields](int i) { return AmountCents(fields.value(i).trimmed()); };
    t.salesCents = amount(5);
    for (int i = 0; i < 5; ++i)
        t.vatCents[size_t(i)] = amount(i);
    t.nonFiscal = fields.value(7).trimmed().toInt(&ok);
    if (!ok)
        t.nonFiscal = -1;
    t.correctionsCents = amount(8);
    t.returnsCents = amount(9);
    t.voidsCents = amount(10);
    return t;
}

bool ReceiptOpenAfterKey(KeyReceipt effect, const QString &answer, bool openBefore) {
    if (!AnswerAccepted(answer))
        return openBefore;
    switch (effect) {
    case KeyReceipt::Rings:
        return true;
    case KeyReceipt::Ends:
        return false;
    case KeyReceipt::None:
        break;
    }
    return openBefore;
}

std::optional<qint64> AmountCents(const QString &textIn) {
    QString text = textIn;
    const bool negative = text.startsWith(u'-');
    if (negative)
        text.remove(0, 1);
    text.replace(u',', u'.');
    if (!IsDecimalText(text, 2))
        return std::nullopt;
    const qsizetype dot = text.indexOf(u'.');
    const QString whole = dot < 0 ? text : text.left(dot);
    const QString fraction = dot < 0 ? QString() : text.mid(dot + 1).leftJustified(2, u'0');
    const qint64 cents = whole.toLongLong() * 100 + fraction.toLongLong();
    return negative ? -cents : cents;
}

QString AmountText(qint64 cents) {
    const qint64 a = cents < 0 ? -cents : cents;
    return (cents < 0 ? QStringLiteral("-") : QString()) + QString::number(a / 100) + u'.' +
           QString::number(a % 100).rightJustified(2, u'0');
}

RegisterIdentity ParseIdentification(const QString &answer) {
    // The answer may be short: missing fields read as empty.
    const QStringList f = answer.mid(9).split(u'/');
    return {.campo = f.value(2), .sn = f.value(0).trimmed(), .fw = f.value(5), .num = f.value(1)};
}

// ---------------------------------------------------------------- composed receipts

bool IsDecimalText(const QString &text, int decimals) {
    const qsizetype dot = text.indexOf(u'.');
    const qsizetype whole = dot < 0 ? text.size() : dot;
    if (whole < 1 || whole > 9)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i == dot)
            continue;
        if (text.at(i) < u'0' || text.at(i) > u'9')
            return false;
    }
    if (dot < 0)
        return true;
    const qsizetype fraction = text.size() - dot - 1;
    return fraction >= 1 && fraction <= decimals;
}

QString FieldProblem(const QString &text) {
    if (text.contains(u'/'))
        return QStringLiteral("contiene \"/\"");
    return LineProblem(text);
}

QString SaleLine(const QString &description, const QString &description2, const QString &quantity,
                 const QString &price, int department, const QString &vat) {
    return QStringLiteral("3/S/") + description + u'/' + description2 + u'/' + quantity + u'/' + price +
           u'/' + QString::number(department) + u'/' + vat + u'/';
}

QString PaymentLine(int type, const QString &amount) {
    return QStringLiteral("5/") + QString::number(type) + u'/' + amount + QStringLiteral("/////");
}

QString ReceiptTextLine(const QString &text) {
    return QStringLiteral("7/1/0/") + text + u'/';
}

QString CustomerHeaderLine(const QStringList &headerFields) {
    // The header's one form is the normalised one: nine fields, then "0/".
    // A field never holds "/" here (the dialogs turn it into a backslash),
    // but a stray one must not move the fields that follow.
    QStringList safe;
    for (const QString &f : headerFields.mid(0, 9))
        safe.append(QString(f).replace(u'/', u'\\'));
    return NormalizeCustomerHeader(QStringLiteral("j/") + safe.join(u'/') + QStringLiteral("//"));
}

LineVerdict JudgeReceiptLine(const QString &taken, bool receiptOpen, bool composed) {
    using Why = LineVerdict::Why;
    LineVerdict v;
    v.openAfter = receiptOpen;
    if (taken.trimmed().isEmpty()) {
        v.why = Why::Blank;
        return v;
    }
    v.line = CompleteLine(taken);
    v.row = &ReceiptRuleOfLine(v.line, composed);
    // Its length as the point of sale wrote it: the "/" added is ours.
    if (v.detail = LineProblem(taken); !v.detail.isEmpty())
        v.why = Why::Unfit;
    else if (v.row->rule == ReceiptRule::NotHandled)
        v.why = Why::NotHandled;
    else if (v.row->needs == ReceiptRuleRow::Needs::Open && !receiptOpen)
        v.why = Why::NotOpen;
    else if (v.row->needs == ReceiptRuleRow::Needs::Closed && receiptOpen)
        v.why = Why::OpenReceipt;
    else
        v.openAfter = ReceiptOpenAfter(*v.row, receiptOpen);
    return v;
}

QString ReceiptLineProblem(const QString &line, bool &receiptOpen, bool composed) {
    const LineVerdict v = JudgeReceiptLine(line, receiptOpen, composed);
    receiptOpen = v.openAfter;
    switch (v.why) {
    case LineVerdict::Why::None:
    case LineVerdict::Why::Blank:
        return {};
    case LineVerdict::Why::Unfit:
        return v.detail;
    case LineVerdict::Why::NotHandled:
        break;
    case LineVerdict::Why::NotOpen:
        return QStringLiteral("Scontrino non aperto");
    case LineVerdict::Why::OpenReceipt:
        return QStringLiteral("Comando non gestito con scontrino aperto");
    }
    return QStringLiteral("Comando ") + CommandCode(v.line) + QStringLiteral(" non gestito.");
}

} // namespace norvvelm
