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

// The register's payment types and departments: it answers 0C for a payment
// type outside 1..9, 67 for a department outside 1..20 (its VAT table on
// the PC keeps a 21st entry no sale can name).
constexpr int kPaymentTypes = 9;
constexpr int kRegisterDepartments = 20;

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

// A number as the register reads a field: digits with at most one ".", at
// most nine before it and `decimals` after it, spaces around it ignored, in
// units of its last decimal; none when the register reads no number there.
std::optional<qint64> registerNumber(const QString &field, int decimals) {
    const QString t = field.trimmed();
    if (t.isEmpty() || t.size() > 16)
        return std::nullopt;
    qint64 whole = 0;
    qint64 fraction = 0;
    int wholeDigits = 0;
    int fractionDigits = 0;
    bool point = false;
    for (const QChar c : t) {
        if (c == u'.' && !point) {
            point = true;
        } else if (c >= u'0' && c <= u'9') {
            if (point) {
                if (++fractionDigits > decimals)
                    return std::nullopt;
                fraction = fraction * 10 + c.digitValue();
            } else {
                if (++wholeDigits > 9)
                    return std::nullopt;
                whole = whole * 10 + c.digitValue();
            }
        } else {
            return std::nullopt;
        }
    }
    if (wholeDigits == 0 && fractionDigits == 0)
        return std::nullopt;
    for (int i = 0; i < decimals; ++i) {
        whole *= 10;
        if (i >= fractionDigits)
            fraction *= 10;
    }
    return whole + fraction;
}

// What the register would refuse of a sale, in its order: the quantity
// (04, 64), the price (18, 65), the department (78, 67), its amount (7C,
// 7F). `field` names the part at fault; `cents` is the sale's amount.
struct SaleFault {
    QString field; // "quantity", "price" or "department"; empty: none
    QString why;
};
SaleFault saleProblem(const QString &quantity, const QString &price, const QString &department,
                      qint64 &cents) {
    cents = 0;
    const auto qty = registerNumber(quantity, 3);
    if (!qty)
        return {QStringLiteral("quantity"), QStringLiteral("quantit\u00e0 non valida ") + quoted(quantity)};
    if (*qty == 0)
        return {QStringLiteral("quantity"), QStringLiteral("quantit\u00e0 zero")};
    if (*qty > kMaxQuantityMilli)
        return {QStringLiteral("quantity"), QStringLiteral("quantit\u00e0 oltre 9999.999")};
    const auto each = registerNumber(price, 2);
    if (!each)
        return {QStringLiteral("price"), QStringLiteral("prezzo non valido ") + quoted(price)};
    if (*each > kMaxPriceCents)
        return {QStringLiteral("price"), QStringLiteral("prezzo oltre 99999.99")};
    const auto dept = registerNumber(department, 0);
    if (!dept)
        return {QStringLiteral("department"), QStringLiteral("reparto non valido ") + quoted(department)};
    if (*dept < 1 || *dept > kRegisterDepartments)
        return {QStringLiteral("department"), QStringLiteral("reparto %1: la cassa ha i reparti da 1 a %2")
                                                  .arg(*dept)
                                                  .arg(kRegisterDepartments)};
    cents = (*qty * *each + 500) / 1000;
    if (cents == 0)
        return {QStringLiteral("price"), QStringLiteral("la vendita vale 0.00")};
    if (cents > kMaxSaleCents)
        return {QStringLiteral("price"), QStringLiteral("la vendita supera 999999.99")};
    return {};
}

QString paymentTypeProblem(int type, const ReceiptRules &rules) {
    if (rules.paymentTypes.isEmpty() || rules.paymentTypes.contains(type))
        return {};
    return QStringLiteral("pagamento %1 non programmato sulla cassa").arg(type);
}

// Whether the register prints nothing of a text that had something: what
// is left of it is spaces and "?".
bool nothingPrintable(const QString &given, const QString &shown) {
    const auto meaningful = [](const QString &t) {
        for (const QChar c : t) {
            if (!c.isSpace() && c != u'?')
                return true;
        }
        return false;
    };
    return meaningful(given) && !meaningful(shown);
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

// A text the register prints on a row of its own, without the spaces around
// it, cut at `width` characters: the cut said as `where`'s.
void sayCut(const QString &text, int width, const QString &where, QStringList &warnings) {
    const QString t = text.trimmed();
    if (width > 0 && t.size() > width)
        warnings << where +
                        QStringLiteral(": %1 caratteri, la cassa ne stampa %2: ").arg(t.size()).arg(width) +
                        quoted(t.left(width));
}

// What the register prints of a sale's two descriptions, as the executor
// rewrites the line: each cut said as `where1`'s or `where2`'s (both as the
// first's when the description goes on into the second).
void saySaleCuts(const QString &line, const QString &where1, const QString &where2, const ReceiptRules &rules,
                 QStringList &warnings) {
    const int width = rules.descriptionWidth;
    const QStringList given = line.split(u'/');
    if (width <= 0 || given.size() < 4)
        return;
    // A return prints "RESO " before its description.
    const int width1 = given.at(1).trimmed() == u"R" ? width - 5 : width;
    SaleRewrite how = rules.saleRewrite;
    how.autoVat = false;
    if (!how.wrapDescription) {
        sayCut(given.at(2), width1, where1, warnings);
        sayCut(given.at(3), width, where2, warnings);
        return;
    }
    const QStringList sent = RewriteSaleLine(line, how).split(u'/');
    const QString first = sent.value(2).trimmed().left(width1);
    const QString second = sent.value(3).trimmed().left(width);
    // The rewrite moves characters and joins them with "-"; fewer printed is a cut.
    const auto letters = [](const QString &t) {
        qsizetype n = 0;
        for (const QChar c : t)
            n += !c.isSpace() && c != u'-';
        return n;
    };
    if (letters(given.at(2)) + letters(given.at(3)) > letters(first) + letters(second))
        warnings << where1 + QStringLiteral(": descrizione a capo, la cassa stampa ") + quoted(first) +
                        QStringLiteral(" e ") + quoted(second);
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
        if (nothingPrintable(*s, shown)) {
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

// A list at `where`: none when it is left out (an empty list), not a list
// or longer than `limit` (the fault said).
std::optional<QJsonArray> list(Reader &r, const QJsonValue &v, const QString &where, qsizetype limit) {
    if (v.isUndefined() || v.isNull())
        return QJsonArray();
    if (!v.isArray()) {
        r.fail(where, QStringLiteral("deve essere un elenco"));
        return std::nullopt;
    }
    if (v.toArray().size() > limit) {
        r.fail(where, QStringLiteral("al massimo %1 elementi").arg(limit));
        return std::nullopt;
    }
    return v.toArray();
}

std::optional<QJsonObject> object(Reader &r, const QJsonValue &v, const QString &where,
                                  const QStringList &keys) {
    if (!v.isObject()) {
        r.fail(where, QStringLiteral("deve essere un oggetto"));
        return std::nullopt;
    }
    if (!r.onlyKeys(v.toObject(), keys, where))
        return std::nullopt;
    return v.toObject();
}

// One item sold or taken back; what the register prints of its
// descriptions said as its cuts.
std::optional<DocumentItem> item(Reader &r, const QJsonValue &value, const QString &where,
                                 const ReceiptRules &rules, bool isReturn) {
    const auto it =
        object(r, value, where,
               {QStringLiteral("description"), QStringLiteral("description2"), QStringLiteral("quantity"),
                QStringLiteral("price"), QStringLiteral("department"), QStringLiteral("vat")});
    if (!it)
        return std::nullopt;
    const auto d1 =
        r.text(it->value(QStringLiteral("description")), where + QStringLiteral(".description"), true);
    const auto d2 =
        r.text(it->value(QStringLiteral("description2")), where + QStringLiteral(".description2"), false);
    const auto qty =
        r.decimal(it->value(QStringLiteral("quantity")), where + QStringLiteral(".quantity"), 3, true);
    const auto price =
        r.decimal(it->value(QStringLiteral("price")), where + QStringLiteral(".price"), 2, true);
    const auto dept = r.whole(it->value(QStringLiteral("department")), where + QStringLiteral(".department"),
                              1, kRegisterDepartments);
    const auto vat = r.decimal(it->value(QStringLiteral("vat")), where + QStringLiteral(".vat"), 2, false);
    if (!d1 || !d2 || !qty || !price || !dept || !vat)
        return std::nullopt;
    qint64 cents = 0;
    if (const SaleFault fault = saleProblem(*qty, *price, QString::number(*dept), cents);
        !fault.field.isEmpty()) {
        r.fail(where + u'.' + fault.field, fault.why);
        return std::nullopt;
    }
    const DocumentItem out{*d1, *d2, *qty, *price, *dept, *vat};
    const QString line = isReturn ? ReturnLine(*d1, *d2, *qty, *price, *dept, *vat)
                                  : SaleLine(*d1, *d2, *qty, *price, *dept, *vat);
    saySaleCuts(line, where + QStringLiteral(".description"), where + QStringLiteral(".description2"), rules,
                r.warnings);
    return out;
}

std::optional<QList<DocumentItem>> items(Reader &r, const QJsonValue &v, const QString &where,
                                         const ReceiptRules &rules, bool isReturn) {
    const auto a = list(r, v, where, kMaxReceiptLines);
    if (!a)
        return std::nullopt;
    QList<DocumentItem> out;
    for (qsizetype i = 0; i < a->size(); ++i) {
        const auto one = item(r, a->at(i), where + u'[' + QString::number(i) + u']', rules, isReturn);
        if (!one)
            return std::nullopt;
        out << *one;
    }
    return out;
}

// The payments: a type the register has and has programmed, an amount or
// none ("0" too: what is due).
std::optional<QList<DocumentPayment>> payments(Reader &r, const QJsonValue &v, const ReceiptRules &rules) {
    const QString where = QStringLiteral("payments");
    const auto a = list(r, v, where, kMaxReceiptLines);
    if (!a)
        return std::nullopt;
    QList<DocumentPayment> out;
    for (qsizetype i = 0; i < a->size(); ++i) {
        const QString at = where + u'[' + QString::number(i) + u']';
        const auto p = object(r, a->at(i), at, {QStringLiteral("type"), QStringLiteral("amount")});
        if (!p)
            return std::nullopt;
        const auto type =
            r.whole(p->value(QStringLiteral("type")), at + QStringLiteral(".type"), 1, kPaymentTypes);
        const auto amount =
            r.decimal(p->value(QStringLiteral("amount")), at + QStringLiteral(".amount"), 2, false);
        if (!type || !amount)
            return std::nullopt;
        if (const QString problem = paymentTypeProblem(*type, rules); !problem.isEmpty()) {
            r.fail(at + QStringLiteral(".type"), problem);
            return std::nullopt;
        }
        out << DocumentPayment{*type, *amount};
    }
    return out;
}

// Discounts or surcharges: {"amount": "1.50"} or {"percent": "10"}, on the
// item of index "item", or without it on the subtotal.
std::optional<QList<PriceChange>> changes(Reader &r, const QJsonValue &v, const QString &where) {
    const auto a = list(r, v, where, kMaxReceiptLines);
    if (!a)
        return std::nullopt;
    QList<PriceChange> out;
    for (qsizetype i = 0; i < a->size(); ++i) {
        const QString at = where + u'[' + QString::number(i) + u']';
        const auto o = object(r, a->at(i), at,
                              {QStringLiteral("amount"), QStringLiteral("percent"), QStringLiteral("item")});
        if (!o)
            return std::nullopt;
        const auto amount =
            r.decimal(o->value(QStringLiteral("amount")), at + QStringLiteral(".amount"), 2, false);
        const auto percent =
            r.decimal(o->value(QStringLiteral("percent")), at + QStringLiteral(".percent"), 2, false);
        if (!amount || !percent)
            return std::nullopt;
        PriceChange c{*amount, *percent, std::nullopt};
        if (const QJsonValue item = o->value(QStringLiteral("item")); !item.isUndefined() && !item.isNull()) {
            const auto n = r.whole(item, at + QStringLiteral(".item"), 0, kMaxReceiptLines);
            if (!n)
                return std::nullopt;
            c.item = *n;
        }
        out << c;
    }
    return out;
}

// A text field: its value printable; empty when left out.
std::optional<QString> field(Reader &r, const QJsonObject &o, const char16_t *name, bool required = false) {
    return r.text(o.value(QString::fromUtf16(name)), QString::fromUtf16(name), required);
}

// The lines of a composed document, or its fault said as the reader's.
ReceiptReading composed(Reader &r, const ComposedDocument &doc, const QString &kind) {
    ReceiptReading out;
    out.kind = kind;
    out.composed = true;
    out.warnings = r.warnings;
    if (!r.error.isEmpty())
        out.error = r.error;
    else if (!doc.ok())
        out.error = doc.message();
    else
        out.lines = doc.lines;
    return out;
}

// A list that must hold at least one element: false, said, when it does not.
bool nonEmptyList(Reader &r, const QJsonValue &v, const QString &where, const QString &why) {
    return (v.isArray() && !v.toArray().isEmpty()) || r.fail(where, why);
}

// The customer's header (at most 9 rows) and the text rows of a receipt,
// each printable; what the register cuts of them is said.
struct ReceiptTexts {
    QStringList customer;
    QStringList text;
};
std::optional<ReceiptTexts> receiptTexts(Reader &r, const QJsonObject &o, const ReceiptRules &rules) {
    const auto customer = r.texts(o.value(QStringLiteral("customer")), QStringLiteral("customer"));
    const auto text = r.texts(o.value(QStringLiteral("text")), QStringLiteral("text"));
    if (!customer || !text)
        return std::nullopt;
    if (customer->size() > 9) {
        r.fail(QStringLiteral("customer"), QStringLiteral("al massimo 9 righe"));
        return std::nullopt;
    }
    for (qsizetype i = 0; i < customer->size(); ++i)
        sayCut(customer->at(i), rules.descriptionWidth, QStringLiteral("customer[%1]").arg(i), r.warnings);
    for (qsizetype i = 0; i < text->size(); ++i)
        sayCut(text->at(i), rules.descriptionWidth, QStringLiteral("text[%1]").arg(i), r.warnings);
    return ReceiptTexts{*customer, *text};
}

// The parts of a receipt the composer takes, read in the order their
// faults are said; none when one is faulty.
std::optional<ReceiptDocument> receiptParts(Reader &r, const QJsonObject &o, const ReceiptRules &rules) {
    ReceiptDocument doc;
    const auto taxCode = field(r, o, u"tax_code");
    const auto sold = items(r, o.value(QStringLiteral("items")), QStringLiteral("items"), rules, false);
    const auto back =
        sold ? items(r, o.value(QStringLiteral("returns")), QStringLiteral("returns"), rules, true)
             : std::nullopt;
    const auto discounts =
        back ? changes(r, o.value(QStringLiteral("discounts")), QStringLiteral("discounts")) : std::nullopt;
    const auto surcharges =
        discounts ? changes(r, o.value(QStringLiteral("surcharges")), QStringLiteral("surcharges"))
                  : std::nullopt;
    const auto paid = surcharges ? payments(r, o.value(QStringLiteral("payments")), rules) : std::nullopt;
    if (!taxCode || !paid)
        return std::nullopt;
    doc.taxCode = *taxCode;
    doc.items = *sold;
    doc.returns = *back;
    doc.discounts = *discounts;
    doc.surcharges = *surcharges;
    doc.payments = *paid;
    return doc;
}

ReceiptReading receipt(const QJsonObject &o, const ReceiptRules &rules, const QString &kind) {
    Reader r;
    if (!r.onlyKeys(o,
                    {QStringLiteral("items"), QStringLiteral("payments"), QStringLiteral("customer"),
                     QStringLiteral("text"), QStringLiteral("tax_code"), QStringLiteral("returns"),
                     QStringLiteral("discounts"), QStringLiteral("surcharges")},
                    QStringLiteral("scontrino")) ||
        !nonEmptyList(r, o.value(QStringLiteral("items")), QStringLiteral("items"),
                      QStringLiteral("serve un elenco di almeno una vendita")) ||
        !nonEmptyList(r, o.value(QStringLiteral("payments")), QStringLiteral("payments"),
                      QStringLiteral("serve un elenco di almeno un pagamento")))
        return composed(r, {}, kind);
    const auto texts = receiptTexts(r, o, rules);
    auto doc = texts ? receiptParts(r, o, rules) : std::nullopt;
    if (!doc)
        return composed(r, {}, kind);
    doc->text = texts->text;
    ComposedDocument lines = ComposeReceipt(*doc);
    // The customer's header first, as a receipt file writes it.
    if (lines.ok() && !texts->customer.isEmpty())
        lines.lines.prepend(CustomerHeaderLine(texts->customer));
    return composed(r, lines, kind);
}

ReceiptReading invoice(const QJsonObject &o, const ReceiptRules &rules) {
    Reader r;
    const QString kind = QStringLiteral("invoice");
    if (!r.onlyKeys(o,
                    {QStringLiteral("vat_number"), QStringLiteral("customer"), QStringLiteral("items"),
                     QStringLiteral("payments")},
                    kind))
        return composed(r, {}, kind);
    const auto vat = field(r, o, u"vat_number");
    const auto customer =
        vat ? r.texts(o.value(QStringLiteral("customer")), QStringLiteral("customer")) : std::nullopt;
    const auto sold = customer
                          ? items(r, o.value(QStringLiteral("items")), QStringLiteral("items"), rules, false)
                          : std::nullopt;
    const auto paid = sold ? payments(r, o.value(QStringLiteral("payments")), rules) : std::nullopt;
    if (!paid)
        return composed(r, {}, kind);
    return composed(r, ComposeInvoice({*vat, *customer, *sold, *paid}), kind);
}

ReceiptReading creditNote(const QJsonObject &o, const ReceiptRules &rules) {
    Reader r;
    const QString kind = QStringLiteral("credit_note");
    if (!r.onlyKeys(o,
                    {QStringLiteral("file_number"), QStringLiteral("reference"), QStringLiteral("receipt"),
                     QStringLiteral("items"), QStringLiteral("payment_type")},
                    kind))
        return composed(r, {}, kind);
    auto fileNumber = field(r, o, u"file_number");
    auto reference = fileNumber ? field(r, o, u"reference") : std::nullopt;
    const auto of = reference ? r.string(o.value(QStringLiteral("receipt")), QStringLiteral("receipt"), false,
                                         QStringLiteral("deve essere l'id di uno scontrino"))
                              : std::nullopt;
    if (!of)
        return composed(r, {}, kind);
    if (!of->isEmpty()) {
        // The reference, and the file number unless given, from a receipt
        // this server printed.
        if (!reference->isEmpty()) {
            r.fail(QStringLiteral("reference"), QStringLiteral("reference o receipt, non entrambi"));
            return composed(r, {}, kind);
        }
        const ReceiptReference made =
            rules.receiptReference ? rules.receiptReference(*of) : ReceiptReference{};
        if (!made.problem.isEmpty() || made.reference.isEmpty()) {
            r.fail(QStringLiteral("receipt"),
                   made.problem.isEmpty() ? QStringLiteral("scontrino sconosciuto") : made.problem);
            return composed(r, {}, kind);
        }
        *reference = made.reference;
        if (fileNumber->isEmpty())
            *fileNumber = made.fileNumber;
    }
    const QJsonValue typeGiven = o.value(QStringLiteral("payment_type"));
    const auto type = typeGiven.isUndefined()
                          ? std::optional<int>(1)
                          : r.whole(typeGiven, QStringLiteral("payment_type"), 1, kPaymentTypes);
    const auto back = type ? items(r, o.value(QStringLiteral("items")), QStringLiteral("items"), rules, false)
                           : std::nullopt;
    if (!back)
        return composed(r, {}, kind);
    if (const QString problem = paymentTypeProblem(*type, rules); !problem.isEmpty()) {
        r.fail(QStringLiteral("payment_type"), problem);
        return composed(r, {}, kind);
    }
    return composed(r, ComposeCreditNote({*fileNumber, *reference, *back, *type}), kind);
}

ReceiptReading cashIn(const QJsonObject &o) {
    Reader r;
    const QString kind = QStringLiteral("cash_in");
    if (!r.onlyKeys(o, {QStringLiteral("amount")}, kind))
        return composed(r, {}, kind);
    const auto amount = r.decimal(o.value(QStringLiteral("amount")), QStringLiteral("amount"), 2, true);
    if (!amount)
        return composed(r, {}, kind);
    return composed(r, ComposeCashIn({*amount}), kind);
}

ReceiptReading customerDisplay(const QJsonObject &o) {
    Reader r;
    const QString kind = QStringLiteral("customer_display");
    if (!r.onlyKeys(o, {QStringLiteral("top"), QStringLiteral("bottom")}, kind))
        return composed(r, {}, kind);
    const auto top = field(r, o, u"top");
    const auto bottom = top ? field(r, o, u"bottom") : std::nullopt;
    if (!bottom)
        return composed(r, {}, kind);
    return composed(r, ComposeCustomerDisplay({*top, *bottom}), kind);
}

// What the register would refuse of a line beyond the line's rule: a sale's
// missing fields (01), quantity, price, department or amount, the receipt's
// total (7E), a payment type it does not have or has not programmed (0C).
// `total` follows the open receipt's sales, while it is known: not once a
// line the reader does not add up (a discount) has changed it.
struct RunningTotal {
    bool known = true;
    qint64 cents = 0;
};
QString registerProblem(const QString &line, const ReceiptRules &rules, RunningTotal &total) {
    const QString whole = CompleteLine(line.trimmed());
    const QString code = CommandCode(whole);
    const QStringList f = whole.split(u'/');
    if (code == u"3/") {
        const QString type = f.value(1).trimmed();
        if (type != u"S" && type != u"N" && type != u"R")
            return {}; // an invoice's opening, or a type the register names (1B)
        if (f.size() < 8)
            return QStringLiteral("vendita incompleta: servono descrizione, descrizione 2, quantit\u00e0, "
                                  "prezzo e reparto");
        qint64 cents = 0;
        if (const SaleFault fault = saleProblem(f.at(4), f.at(5), f.at(6), cents); !fault.field.isEmpty())
            return fault.why;
        if (!total.known)
            return {};
        if (type == u"R") {
            total.cents -= cents;
            // The register answers for a return beyond the total.
            total.known = total.cents >= 0;
            return {};
        }
        if (total.cents + cents > kMaxReceiptCents)
            return QStringLiteral("il totale dello scontrino supera 9999999.99");
        total.cents += cents;
        return {};
    }
    if (code == u"5/") {
        // No type: the register takes the first. A type that is not a number
        // at all is the register's to refuse, as the receipt folder leaves it.
        int type = 1;
        if (const QString given = f.value(1).trimmed(); !given.isEmpty()) {
            const auto n = registerNumber(given, 0);
            if (!n)
                return {};
            if (*n < 1 || *n > kPaymentTypes)
                return QStringLiteral("tipo di pagamento %1: la cassa ha i tipi da 1 a %2")
                    .arg(quoted(given))
                    .arg(kPaymentTypes);
            type = int(*n);
        }
        return paymentTypeProblem(type, rules);
    }
    if (code != u"7/" && code != u"j/" && code != u"'/")
        total.known = false;
    return {};
}

ReceiptReading checked(ReceiptReading reading, const ReceiptRules &rules) {
    if (!reading.ok()) {
        reading.lines.clear(); // nothing of a faulty body is taken
        reading.warnings.clear();
        return reading;
    }
    if (reading.lines.size() > kMaxReceiptLines) {
        reading.error =
            QStringLiteral("%1 righe (massimo %2)").arg(reading.lines.size()).arg(kMaxReceiptLines);
        reading.lines.clear();
        return reading;
    }
    bool open = false;
    RunningTotal total;
    for (qsizetype i = 0; i < reading.lines.size(); ++i) {
        if (!open)
            total = RunningTotal{}; // a receipt begins
        QString problem = ReceiptLineProblem(reading.lines.at(i), open, reading.composed);
        if (problem.isEmpty())
            problem = registerProblem(reading.lines.at(i), rules, total);
        if (!problem.isEmpty()) {
            reading.error =
                QStringLiteral("riga %1 %2: %3").arg(i + 1).arg(quoted(reading.lines.at(i)), problem);
            reading.lines.clear();
            reading.warnings.clear();
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
// recognises (curly quotes, dashes and the euro are the register's own).
constexpr struct {
    char16_t from;
    const char *to;
} kSubstitutes[] = {{u'\u0141', "L"}, {u'\u0142', "l"}, {u'\u0110', "D"}, {u'\u0111', "d"},
                    {u'\u0131', "i"}, {u'\u0127', "h"}, {u'\u0126', "H"}};

// A character of Windows-1252: not one of the C1 controls its five unused
// bytes would carry.
bool printableChar(QChar c) {
    return (c.unicode() < 0x80 || c.unicode() >= 0xa0) && fromAnsi(toAnsi(QString(c))) == QString(c);
}

} // namespace

QString PrintableText(const QString &given, bool *changed) {
    // A letter and its combining accent as one character first: "e" and
    // U+0301 print as the register's own "\u00e9".
    const QString text = given.normalized(QString::NormalizationForm_C);
    QString out;
    out.reserve(text.size());
    bool any = text != given;
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
            // The letter without its accents, or its plain form ("\ufb01" is
            // "fi"), when that is printable: never a "/", which would end a field.
            for (const QChar d : QString(c).normalized(QString::NormalizationForm_KD)) {
                if (d.category() == QChar::Mark_NonSpacing)
                    continue;
                if (!printableChar(d) || d == u'/' || !LineProblem(QString(d)).isEmpty()) {
                    near.clear();
                    break;
                }
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

// Field `k` of a line with code `code`, named as its reader knows it.
QString fieldName(const QString &code, qsizetype k) {
    if (code == u"3/" && (k == 2 || k == 3))
        return k == 2 ? QStringLiteral("descrizione") : QStringLiteral("descrizione 2");
    if (code == u"7/" && k == 3)
        return QStringLiteral("testo");
    if (code == u"j/" && k >= 1 && k <= 9)
        return QStringLiteral("intestazione %1").arg(k);
    return QStringLiteral("campo %1").arg(k + 1);
}

// What the register cuts of the texts of a line it prints, said as `where`'s.
void sayLineCuts(const QString &line, const QString &where, const ReceiptRules &rules,
                 QStringList &warnings) {
    const QString code = CommandCode(line);
    const QStringList f = line.split(u'/');
    const auto named = [&](qsizetype k) { return QStringLiteral("%1 (%2)").arg(where, fieldName(code, k)); };
    if (code == u"3/" && QStringList{QStringLiteral("S"), QStringLiteral("N"), QStringLiteral("R")}.contains(
                             f.value(1).trimmed()))
        saySaleCuts(line, named(2), named(3), rules, warnings);
    else if (code == u"7/" && f.value(1).trimmed() == u"1" && f.size() > 3)
        sayCut(f.at(3), rules.descriptionWidth, named(3), warnings);
    else if (code == u"j/")
        for (qsizetype k = 1; k <= 9 && k < f.size(); ++k)
            sayCut(f.at(k), rules.descriptionWidth, named(k), warnings);
}

// Lines given as they are: each field made printable, its changes and what
// the register cuts said by line and field; a field left with nothing
// printable refuses the body.
ReceiptReading printableLines(ReceiptReading r, const ReceiptRules &rules) {
    for (qsizetype i = 0; i < r.lines.size() && r.ok(); ++i) {
        const QString where = QStringLiteral("riga %1").arg(i + 1);
        const QString code = CommandCode(r.lines.at(i));
        QStringList f = r.lines.at(i).split(u'/');
        for (qsizetype k = 0; k < f.size(); ++k) {
            const QString named = QStringLiteral("%1 (%2)").arg(where, fieldName(code, k));
            const QString shown = printable(f.at(k), named, r.warnings);
            if (nothingPrintable(f.at(k), shown))
                r.error = named + QStringLiteral(": nessun carattere stampabile dalla cassa");
            f[k] = shown;
        }
        r.lines[i] = f.join(u'/');
        sayLineCuts(r.lines.at(i), where, rules, r.warnings);
    }
    return r;
}

} // namespace

ReceiptReading ReadReceiptText(const QByteArray &body, const ReceiptRules &rules) {
    ReceiptReading r;
    r.lines = SplitReceiptLines(decodeTextFile(body));
    return checked(printableLines(r, rules), rules);
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
        return checked(printableLines(out, rules), rules);
    }
    return checked(receipt(o, rules, QStringLiteral("receipt")), rules);
}

namespace {
// The documents without fields of their own: the lines of the console's buttons.
constexpr struct {
    const char16_t *kind;
    ComposedDocument (*compose)();
} kPlainDocuments[] = {{u"sales_report", &ComposeSalesReport},
                       {u"daily_closing", &ComposeDailyClosing},
                       {u"cash_out", &ComposeCashOut},
                       {u"reprint_last", &ComposeReprintLast}};

// The documents with fields, each read by its own reader.
constexpr struct {
    const char16_t *kind;
    ReceiptReading (*read)(const QJsonObject &, const ReceiptRules &);
} kDocuments[] = {
    {u"receipt", [](const QJsonObject &o,
                    const ReceiptRules &rules) { return receipt(o, rules, QStringLiteral("receipt")); }},
    {u"invoice", &invoice},
    {u"credit_note", &creditNote},
    {u"cash_in", [](const QJsonObject &o, const ReceiptRules &) { return cashIn(o); }},
    {u"customer_display", [](const QJsonObject &o, const ReceiptRules &) { return customerDisplay(o); }},
};
} // namespace

QStringList DocumentKinds() {
    QStringList out;
    for (const auto &d : kDocuments)
        out << QString::fromUtf16(d.kind);
    for (const auto &d : kPlainDocuments)
        out << QString::fromUtf16(d.kind);
    return out;
}

ReceiptReading ReadDocumentJson(const QByteArray &body, const ReceiptRules &rules) {
    ReceiptReading out;
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &parse);
    if (!doc.isObject()) {
        out.error = QStringLiteral("il corpo deve essere un oggetto JSON {\"kind\": ...}");
        return out;
    }
    QJsonObject o = doc.object();
    const QString kind = o.take(QStringLiteral("kind")).toString();
    for (const auto &d : kDocuments) {
        if (kind == QStringView(d.kind))
            return checked(d.read(o, rules), rules);
    }
    for (const auto &d : kPlainDocuments) {
        if (kind != QStringView(d.kind))
            continue;
        if (!o.isEmpty()) {
            out.error = QStringLiteral("%1: campo sconosciuto %2").arg(kind, quoted(o.keys().first()));
            return out;
        }
        Reader r;
        return checked(composed(r, d.compose(), kind), rules);
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
