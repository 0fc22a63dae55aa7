#include "api/ReceiptReader.h"

#include "commands/CommandLanguage.h"
#include "commands/DocumentLines.h"
#include "link/Ansi.h"

#include <QList>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace norvvelm {

namespace {

constexpr int kPaymentTypes = 10;

QString quoted(const QString &s) {
    return u'"' + s.left(40) + u'"';
}

// A JSON string may name half of a character (a "\ud800" escape alone);
// no register prints it.
bool hasLoneSurrogate(const QString &s) {
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
            ++i;
        else if (s.at(i).isSurrogate())
            return true;
    }
    return false;
}

QString loneSurrogateText() {
    return QStringLiteral("contiene un carattere Unicode non valido (surrogato isolato)");
}

// Register limits, as it answers beyond them (quantity 64, price 65, a sale
// of 0.00 7C, a sale 7F, a receipt 7E).
constexpr qint64 kMaxQuantityMilli = 9999999; // 9999.999
constexpr qint64 kMaxPriceCents = 9999999;    // 99999.99
constexpr qint64 kMaxSaleCents = 99999999;    // 999999.99
constexpr qint64 kMaxReceiptCents = 999999999;

// A decimal text with up to `decimals` places, in those units.
std::optional<qint64> units(const QString &text, int decimals) {
    const QString t = text.trimmed();
    if (t.isEmpty() || !IsDecimalText(t, decimals))
        return std::nullopt;
    const qsizetype dot = t.indexOf(u'.');
    const QString whole = dot < 0 ? t : t.left(dot);
    const QString fraction = dot < 0 ? QString() : t.mid(dot + 1);
    if (whole.size() > 12)
        return std::nullopt;
    qint64 v = whole.isEmpty() ? 0 : whole.toLongLong();
    for (int i = 0; i < decimals; ++i)
        v = v * 10 + (i < fraction.size() ? fraction.at(i).digitValue() : 0);
    return v;
}

// What the register would say of a sale of `quantity` at `price` (texts as
// the line carries them); empty when it takes it. `cents` is its amount.
QString saleProblem(const QString &quantity, const QString &price, qint64 &cents) {
    const auto qty = units(quantity.isEmpty() ? QStringLiteral("1") : quantity, 3);
    const auto each = units(price, 2);
    cents = 0;
    if (!qty || !each)
        return {}; // the register judges what is not a plain decimal
    if (*qty == 0)
        return QStringLiteral("quantit\u00e0 zero");
    if (*qty > kMaxQuantityMilli)
        return QStringLiteral("quantit\u00e0 oltre 9999.999");
    if (*each > kMaxPriceCents)
        return QStringLiteral("prezzo oltre 99999.99");
    cents = (*qty * *each + 500) / 1000;
    if (cents == 0)
        return QStringLiteral("la vendita vale 0.00");
    if (cents > kMaxSaleCents)
        return QStringLiteral("la vendita supera 999999.99");
    return {};
}

QString paymentTypeProblem(int type, const ReceiptRules &rules) {
    if (rules.paymentTypes.isEmpty() || rules.paymentTypes.contains(type))
        return {};
    return QStringLiteral("pagamento %1 non programmato sulla cassa").arg(type);
}

// The text printable, each change said as `where`'s.
QString printable(const QString &text, const QString &where, QStringList &warnings) {
    bool changed = false;
    const QString out = PrintableText(text, &changed);
    if (changed)
        warnings << where + QStringLiteral(": ") + quoted(text) + QStringLiteral(" stampato come ") +
                        quoted(out);
    return out;
}

void sayWidth(const QString &text, const QString &where, const ReceiptRules &rules, QStringList &warnings) {
    if (rules.descriptionWidth > 0 && text.size() > rules.descriptionWidth)
        warnings << where +
                        QStringLiteral(": %1 caratteri, la cassa ne stampa %2: ")
                            .arg(text.size())
                            .arg(rules.descriptionWidth) +
                        quoted(text.left(rules.descriptionWidth));
}

// The JSON reader: each getter says what is wrong with the value at `where`.
class Reader {
public:
    QString error;
    QStringList warnings;

    bool fail(const QString &where, const QString &why) {
        if (error.isEmpty())
            error = where + QStringLiteral(": ") + why;
        return false;
    }

    // The string at `v`; empty when it is left out and not required; none
    // (the fault said) when it is missing, or not a string (`notString`).
    std::optional<QString> string(const QJsonValue &v, const QString &where, bool required,
                                  const QString &notString) {
        if (v.isUndefined() || v.isNull()) {
            if (!required)
                return QString();
            fail(where, QStringLiteral("manca"));
            return std::nullopt;
        }
        if (!v.isString()) {
            fail(where, notString);
            return std::nullopt;
        }
        if (hasLoneSurrogate(v.toString())) {
            fail(where, loneSurrogateText());
            return std::nullopt;
        }
        return v.toString();
    }

    std::optional<QString> text(const QJsonValue &v, const QString &where, bool required) {
        const auto s = string(v, where, required, QStringLiteral("deve essere un testo"));
        if (!s)
            return std::nullopt;
        if (const QString problem = FieldProblem(*s); !problem.isEmpty()) {
            fail(where, problem);
            return std::nullopt;
        }
        const QString shown = printable(*s, where, warnings);
        if (!s->isEmpty() && shown.count(u'?') == shown.size() && s->count(u'?') != s->size()) {
            fail(where, QStringLiteral("nessun carattere stampabile dalla cassa"));
            return std::nullopt;
        }
        return shown;
    }

    // An amount or quantity: a decimal string, never a JSON number (whose
    // reading passes through binary floating point).
    std::optional<QString> decimal(const QJsonValue &v, const QString &where, int decimals, bool required) {
        const auto s =
            string(v, where, required,
                   QStringLiteral("deve essere un testo decimale come \"5.26\" (non un numero JSON)"));
        if (!s || !v.isString())
            return s; // none, or left out
        if (!IsDecimalText(*s, decimals)) {
            fail(where,
                 QStringLiteral("importo non valido %1 (cifre, punto decimale, al massimo %2 decimali)")
                     .arg(quoted(*s))
                     .arg(decimals));
            return std::nullopt;
        }
        return s;
    }

    // A small whole number: a JSON integer or a string of digits.
    std::optional<int> whole(const QJsonValue &v, const QString &where, int low, int high) {
        int n = -1;
        if (v.isDouble()) {
            const double d = v.toDouble();
            if (d >= low && d <= high && d == double(int(d)))
                n = int(d);
        } else if (v.isString()) {
            bool ok = false;
            const QString s = v.toString();
            if (s.size() <= 3 && !s.isEmpty() && s.at(0).isDigit())
                n = s.toInt(&ok);
            if (!ok)
                n = -1;
        } else if (v.isUndefined() || v.isNull()) {
            fail(where, QStringLiteral("manca"));
            return std::nullopt;
        }
        if (n < low || n > high) {
            fail(where, QStringLiteral("deve essere un numero intero da %1 a %2").arg(low).arg(high));
            return std::nullopt;
        }
        return n;
    }

    bool onlyKeys(const QJsonObject &o, const QStringList &keys, const QString &where) {
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (!keys.contains(it.key()))
                return fail(where, QStringLiteral("campo sconosciuto ") + quoted(it.key()));
        }
        return true;
    }

    std::optional<QStringList> texts(const QJsonValue &v, const QString &where) {
        if (v.isUndefined())
            return QStringList();
        if (!v.isArray()) {
            fail(where, QStringLiteral("deve essere un elenco di testi"));
            return std::nullopt;
        }
        QStringList out;
        const QJsonArray a = v.toArray();
        for (qsizetype i = 0; i < a.size(); ++i) {
            const auto t = text(a.at(i), where + u'[' + QString::number(i) + u']', true);
            if (!t)
                return std::nullopt;
            out << *t;
        }
        return out;
    }
};

// One item of a structured receipt as its sale line, its amount added to
// `total`; none (the reason in `r.error`) when it is not one.
std::optional<QString> itemLine(Reader &r, const QJsonValue &value, const QString &where,
                                const ReceiptRules &rules, qint64 &total) {
    if (!value.isObject()) {
        r.error = where + QStringLiteral(": deve essere un oggetto");
        return std::nullopt;
    }
    const QJsonObject it = value.toObject();
    if (!r.onlyKeys(it,
                    {QStringLiteral("description"), QStringLiteral("description2"),
                     QStringLiteral("quantity"), QStringLiteral("price"), QStringLiteral("department"),
                     QStringLiteral("vat")},
                    where))
        return std::nullopt;
    const auto d1 =
        r.text(it.value(QStringLiteral("description")), where + QStringLiteral(".description"), true);
    const auto d2 =
        r.text(it.value(QStringLiteral("description2")), where + QStringLiteral(".description2"), false);
    const auto qty =
        r.decimal(it.value(QStringLiteral("quantity")), where + QStringLiteral(".quantity"), 3, true);
    const auto price =
        r.decimal(it.value(QStringLiteral("price")), where + QStringLiteral(".price"), 2, true);
    const auto dept = r.whole(it.value(QStringLiteral("department")), where + QStringLiteral(".department"),
                              1, kDepartments);
    const auto vat = r.decimal(it.value(QStringLiteral("vat")), where + QStringLiteral(".vat"), 2, false);
    if (!d1 || !d2 || !qty || !price || !dept || !vat)
        return std::nullopt;
    qint64 cents = 0;
    if (const QString problem = saleProblem(*qty, *price, cents); !problem.isEmpty()) {
        r.fail(where + (problem.startsWith(u'q') ? QStringLiteral(".quantity") : QStringLiteral(".price")),
               problem);
        return std::nullopt;
    }
    total += cents;
    sayWidth(*d1, where + QStringLiteral(".description"), rules, r.warnings);
    return SaleLine(*d1, *d2, *qty, *price, *dept, *vat);
}

// One payment of a structured receipt as its payment line; none (the reason
// in `r.error`) when it is not one.
std::optional<QString> paymentLine(Reader &r, const QJsonValue &value, const QString &where,
                                   const ReceiptRules &rules, std::optional<qint64> &paid) {
    if (!value.isObject()) {
        r.error = where + QStringLiteral(": deve essere un oggetto");
        return std::nullopt;
    }
    const QJsonObject p = value.toObject();
    if (!r.onlyKeys(p, {QStringLiteral("type"), QStringLiteral("amount")}, where))
        return std::nullopt;
    const auto type =
        r.whole(p.value(QStringLiteral("type")), where + QStringLiteral(".type"), 1, kPaymentTypes);
    const auto amount =
        r.decimal(p.value(QStringLiteral("amount")), where + QStringLiteral(".amount"), 2, false);
    if (!type || !amount)
        return std::nullopt;
    if (const QString problem = paymentTypeProblem(*type, rules); !problem.isEmpty()) {
        r.fail(where + QStringLiteral(".type"), problem);
        return std::nullopt;
    }
    // Without an amount it pays what is due: whatever the rest, it is covered.
    if (amount->isEmpty())
        paid.reset();
    else if (paid)
        *paid += AmountCents(*amount).value_or(0);
    return PaymentLine(*type, *amount);
}

ReceiptReading structured(const QJsonObject &o, const ReceiptRules &rules) {
    Reader r;
    ReceiptReading out;
    const auto done = [&out, &r]() -> ReceiptReading & {
        out.error = r.error;
        out.warnings = r.warnings;
        return out;
    };
    if (!r.onlyKeys(o,
                    {QStringLiteral("items"), QStringLiteral("payments"), QStringLiteral("customer"),
                     QStringLiteral("text")},
                    QStringLiteral("scontrino"))) {
        out.error = r.error;
        return out;
    }
    const QJsonValue items = o.value(QStringLiteral("items"));
    const QJsonValue payments = o.value(QStringLiteral("payments"));
    if (!items.isArray() || items.toArray().isEmpty()) {
        out.error = QStringLiteral("items: serve un elenco di almeno una vendita");
        return out;
    }
    if (!payments.isArray() || payments.toArray().isEmpty()) {
        out.error = QStringLiteral("payments: serve un elenco di almeno un pagamento");
        return out;
    }
    const auto customer = r.texts(o.value(QStringLiteral("customer")), QStringLiteral("customer"));
    const auto text = r.texts(o.value(QStringLiteral("text")), QStringLiteral("text"));
    if (!customer || !text) {
        out.error = r.error;
        return out;
    }
    if (customer->size() > 9) {
        out.error = QStringLiteral("customer: al massimo 9 righe");
        return out;
    }
    if (!customer->isEmpty())
        out.lines << CustomerHeaderLine(*customer);

    qint64 total = 0;
    for (qsizetype i = 0; i < items.toArray().size(); ++i) {
        const auto line = itemLine(r, items.toArray().at(i),
                                   QStringLiteral("items[") + QString::number(i) + u']', rules, total);
        if (!line)
            return done();
        out.lines << *line;
    }
    if (total > kMaxReceiptCents) {
        r.fail(QStringLiteral("items"), QStringLiteral("il totale supera 9999999.99"));
        return done();
    }
    for (const QString &t : *text)
        out.lines << ReceiptTextLine(t);
    std::optional<qint64> paid = 0;
    for (qsizetype i = 0; i < payments.toArray().size(); ++i) {
        const auto line = paymentLine(r, payments.toArray().at(i),
                                      QStringLiteral("payments[") + QString::number(i) + u']', rules, paid);
        if (!line)
            return done();
        out.lines << *line;
    }
    if (paid && *paid < total)
        r.fail(QStringLiteral("payments"), QStringLiteral("i pagamenti (%1) non coprono il totale (%2)")
                                               .arg(AmountText(*paid), AmountText(total)));
    return done();
}

// A line's own fault beyond its rule: what the register would refuse of a
// sale or a payment.
QString registerProblem(const QString &line, const ReceiptRules &rules) {
    const QStringList f = line.split(u'/');
    if (line.startsWith(QLatin1String("3/S/")) && f.size() >= 6) {
        qint64 cents = 0;
        return saleProblem(f.at(4), f.at(5), cents);
    }
    if (line.startsWith(QLatin1String("5/")) && f.size() >= 2 && !f.at(1).trimmed().isEmpty()) {
        bool ok = false;
        const int type = f.at(1).trimmed().toInt(&ok);
        return ok ? paymentTypeProblem(type, rules) : QString();
    }
    return {};
}

ReceiptReading checked(ReceiptReading reading, const ReceiptRules &rules) {
    if (!reading.ok()) {
        reading.lines.clear(); // nothing of a faulty body is taken
        return reading;
    }
    if (reading.lines.size() > kMaxReceiptLines) {
        reading.error =
            QStringLiteral("%1 righe (massimo %2)").arg(reading.lines.size()).arg(kMaxReceiptLines);
        reading.lines.clear();
        return reading;
    }
    bool open = false;
    for (qsizetype i = 0; i < reading.lines.size(); ++i) {
        QString problem = ReceiptLineProblem(reading.lines.at(i), open);
        if (problem.isEmpty())
            problem = registerProblem(reading.lines.at(i), rules);
        if (!problem.isEmpty()) {
            reading.error =
                QStringLiteral("riga %1 %2: %3").arg(i + 1).arg(quoted(reading.lines.at(i)), problem);
            reading.lines.clear();
            return reading;
        }
    }
    bool any = false;
    for (const QString &l : std::as_const(reading.lines))
        any = any || !l.trimmed().isEmpty();
    if (!any) {
        reading.error = QStringLiteral("nessuna riga da stampare");
        reading.lines.clear();
    }
    return reading;
}

// Letters that decomposition does not reach, with the form a reader
// recognises.
constexpr struct {
    char16_t from;
    const char *to;
} kSubstitutes[] = {{u'\u0141', "L"}, {u'\u0142', "l"},   {u'\u0110', "D"},  {u'\u0111', "d"},
                    {u'\u0131', "i"}, {u'\u0127', "h"},   {u'\u0126', "H"},  {u'\u2018', "'"},
                    {u'\u2019', "'"}, {u'\u201c', "\""},  {u'\u201d', "\""}, {u'\u2013', "-"},
                    {u'\u2014', "-"}, {u'\u2026', "..."}, {u'\u00a0', " "}};

bool printableChar(QChar c) {
    return fromAnsi(toAnsi(QString(c))) == QString(c);
}

} // namespace

QString PrintableText(const QString &given, bool *changed) {
    // A letter and its combining accent as one character first: "e" and
    // U+0301 print as the register's own "\u00e9".
    const QString text = given.normalized(QString::NormalizationForm_C);
    QString out;
    out.reserve(text.size());
    bool any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (printableChar(c)) {
            out += c;
            continue;
        }
        any = true;
        if (c.category() == QChar::Mark_NonSpacing)
            continue; // a combining accent: its letter stays
        QString near;
        for (const auto &s : kSubstitutes) {
            if (c.unicode() == s.from)
                near = QString::fromLatin1(s.to);
        }
        if (near.isEmpty() && !c.isSurrogate()) {
            // The letter without its accents, when that is printable.
            for (const QChar d : QString(c).normalized(QString::NormalizationForm_KD)) {
                if (d.category() != QChar::Mark_NonSpacing && printableChar(d))
                    near += d;
            }
        }
        if (c.isHighSurrogate() && i + 1 < text.size())
            ++i; // one character outside the basic plane: one "?"
        out += near.isEmpty() ? QStringLiteral("?") : near;
    }
    if (changed)
        *changed = any;
    return out;
}

ReceiptBodyType ReceiptBodyTypeOf(const QByteArray &contentType) {
    const QList<QByteArray> parts = contentType.split(';');
    const QByteArray media = parts.value(0).trimmed().toLower();
    QByteArray charset;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray p = parts.at(i).trimmed().toLower();
        if (p.startsWith("charset="))
            charset = p.mid(8).replace('"', "");
    }
    if (media == "text/plain")
        return ReceiptBodyType::Text;
    if (media == "application/json")
        return charset.isEmpty() || charset == "utf-8" ? ReceiptBodyType::Json : ReceiptBodyType::Other;
    return ReceiptBodyType::Other;
}

namespace {
// Lines given as they are: each made printable, its changes said by line.
ReceiptReading printableLines(ReceiptReading r) {
    for (qsizetype i = 0; i < r.lines.size(); ++i)
        r.lines[i] = printable(r.lines.at(i), QStringLiteral("riga %1").arg(i + 1), r.warnings);
    return r;
}
} // namespace

ReceiptReading ReadReceiptText(const QByteArray &body, const ReceiptRules &rules) {
    ReceiptReading r;
    r.lines = SplitReceiptLines(decodeTextFile(body));
    return checked(printableLines(r), rules);
}

ReceiptReading ReadReceiptJson(const QByteArray &body, const ReceiptRules &rules) {
    ReceiptReading out;
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &parse);
    if (parse.error != QJsonParseError::NoError) {
        out.error =
            QStringLiteral("JSON non valido al carattere %1: %2").arg(parse.offset).arg(parse.errorString());
        return out;
    }
    if (!doc.isObject()) {
        out.error = QStringLiteral("il corpo deve essere un oggetto JSON");
        return out;
    }
    const QJsonObject o = doc.object();
    if (o.contains(QStringLiteral("lines"))) {
        if (o.size() != 1) {
            out.error = QStringLiteral("\"lines\" non si unisce ad altri campi");
            return out;
        }
        const QJsonValue v = o.value(QStringLiteral("lines"));
        if (!v.isArray()) {
            out.error = QStringLiteral("lines: deve essere un elenco di testi");
            return out;
        }
        const QJsonArray a = v.toArray();
        for (qsizetype i = 0; i < a.size(); ++i) {
            if (!a.at(i).isString()) {
                out.error = QStringLiteral("lines[%1]: deve essere un testo").arg(i);
                return out;
            }
            if (hasLoneSurrogate(a.at(i).toString())) {
                out.error = QStringLiteral("lines[%1]: ").arg(i) + loneSurrogateText();
                return out;
            }
            out.lines << a.at(i).toString();
        }
        return checked(printableLines(out), rules);
    }
    return checked(structured(o, rules), rules);
}

namespace {
// The documents that are one line of the register outside a receipt.
constexpr struct {
    const char16_t *kind;
    QString (*line)();
} kOneLineDocuments[] = {{u"sales_report", &SalesTotalsLine},
                         {u"daily_closing", &DailyClosingLine},
                         {u"cash_out", &WithdrawalLine}};
} // namespace

QStringList DocumentKinds() {
    QStringList out{QStringLiteral("receipt")};
    for (const auto &d : kOneLineDocuments)
        out << QString::fromUtf16(d.kind);
    return out;
}

ReceiptReading ReadDocumentJson(const QByteArray &body, const ReceiptRules &rules) {
    ReceiptReading out;
    const QJsonDocument doc = QJsonDocument::fromJson(body);
    if (!doc.isObject()) {
        out.error = QStringLiteral("il corpo deve essere un oggetto JSON {\"kind\": ...}");
        return out;
    }
    QJsonObject o = doc.object();
    const QString kind = o.take(QStringLiteral("kind")).toString();
    if (kind == u"receipt") {
        out = checked(structured(o, rules), rules);
        out.kind = kind;
        return out;
    }
    for (const auto &d : kOneLineDocuments) {
        if (kind != QStringView(d.kind))
            continue;
        if (!o.isEmpty()) {
            out.error = QStringLiteral("%1: campo sconosciuto %2").arg(kind, quoted(o.keys().first()));
            return out;
        }
        out.lines << d.line();
        out.kind = kind;
        return out;
    }
    out.error = QStringLiteral("kind: uno tra ") + DocumentKinds().join(QStringLiteral(", "));
    return out;
}

ReceiptReading ReadReceiptBody(const QByteArray &body, ReceiptBodyType type, const ReceiptRules &rules) {
    switch (type) {
    case ReceiptBodyType::Text:
        return ReadReceiptText(body, rules);
    case ReceiptBodyType::Json:
        return ReadReceiptJson(body, rules);
    case ReceiptBodyType::Other:
        break;
    }
    ReceiptReading r;
    r.error = QStringLiteral("Content-Type deve essere text/plain o application/json");
    return r;
}

} // namespace norvvelm
