#include "commands/DocumentLines.h"

#include <algorithm>
#include <functional>

namespace norvvelm {

namespace {
constexpr int kJournalAnswerMin = 12;

// Register limits, as it answers beyond them (quantity 64, price 65, a sale
// of 0.00 7C, a sale 7F, a receipt 7E).
constexpr qint64 kMaxQuantityMilli = 9999999; // 9999.999
constexpr qint64 kMaxPriceCents = 9999999;    // 99999.99
constexpr qint64 kMaxSaleCents = 99999999;    // 999999.99
constexpr qint64 kMaxReceiptCents = 999999999;

// A decimal text with up to `decimals` places, in those units.
std::optional<qint64> unitsOf(const QString &t, int decimals) {
    if (!IsDecimalText(t, decimals))
        return std::nullopt;
    const qsizetype dot = t.indexOf(u'.');
    const QString whole = dot < 0 ? t : t.left(dot);
    const QString fraction = dot < 0 ? QString() : t.mid(dot + 1);
    qint64 v = whole.toLongLong();
    for (int i = 0; i < decimals; ++i)
        v = v * 10 + (i < fraction.size() ? fraction.at(i).digitValue() : 0);
    return v;
}

QString fields(std::initializer_list<QString> parts) {
    QString out;
    for (const QString &p : parts)
        out += p + u'/';
    return out;
}
} // namespace

// ---------------------------------------------------------------- fields

QChar FilterTypedChar(FieldKind kind, QChar c) {
    switch (kind) {
    case FieldKind::CommandText:
        return c == u'/' ? QChar(u'\\') : c;
    case FieldKind::FileNumber:
        return (c.isDigit() && c.unicode() < 0x80) || c == u' ' || c == u'-' ? c : QChar();
    case FieldKind::Reference:
        return c == u'/' ? QChar() : c;
    }
    return QChar();
}

QString FilterText(FieldKind kind, const QString &text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const QChar kept = FilterTypedChar(kind, c);
        if (!kept.isNull())
            out.append(kept);
    }
    return out;
}

int CustomerEntryFocus(const QString &vatNumber, const std::array<QString, kCustomerLines> &lines) {
    if (vatNumber.isEmpty())
        return 0;
    for (int i = 0; i < 3; ++i) {
        if (lines[size_t(i)].isEmpty())
            return 1 + i;
    }
    return kEntryComplete;
}

// ---------------------------------------------------------------- lines

QString VatNumberLine(const QString &vatNumber) {
    return fields({QStringLiteral("'"), QStringLiteral("1"), vatNumber, QString(16, u'1')});
}

QString FiscalCodeLine(const QString &fiscalCode) {
    return fields({QStringLiteral("'"), QStringLiteral("2"), QString(11, u'1'), fiscalCode});
}

QString TaxCodeLine(const QString &taxCode) {
    if (taxCode.size() == kVatNumberLength)
        return VatNumberLine(taxCode);
    if (taxCode.size() == kTaxCodeLimit)
        return FiscalCodeLine(taxCode.toUpper());
    return {};
}

QString InvoiceOpeningLine() {
    return QStringLiteral("3/F/OPENFAT//0/0/0/0/");
}

QString InvoicePaymentLine(int type, const QString &amount) {
    return QStringLiteral("5/") + QString::number(type) + u'/' +
           (amount.isEmpty() ? QStringLiteral("0") : amount) + QStringLiteral("////");
}

QString CreditNoteOpeningLine(const QString &fileNumber) {
    return fields({QStringLiteral("-"), fileNumber});
}

QString CreditNoteReferenceLine(const QString &reference) {
    return fields({QStringLiteral("7"), QStringLiteral("1"), QStringLiteral("1"), reference});
}

QString CreditNoteTotalLine() {
    return KeyPressLine(kCashKeyCode);
}

QStringList CreditNotePaymentLines(int type) {
    if (type == 1)
        return {KeyPressLine(kCashKeyCode)};
    return {KeyPressLine(kOtherPaymentKey), KeyPressLine(DigitKeyCode(type)), KeyPressLine(kCashKeyCode)};
}

QStringList InvoiceCustomerLines(const QString &vatNumber, const QStringList &customer) {
    return {VatNumberLine(vatNumber), CustomerHeaderLine(customer)};
}

QString SubtotalLine() {
    return QStringLiteral("U/");
}

QString ReturnLine(const QString &description, const QString &description2, const QString &quantity,
                   const QString &price, int department, const QString &vat) {
    // A sale's fields, of type "R".
    return QStringLiteral("3/R/") +
           SaleLine(description, description2, quantity, price, department, vat).mid(4);
}

QString CustomerDisplayLine(bool top, const QString &text) {
    return fields(
        {QStringLiteral("7"), QStringLiteral("0"), top ? QStringLiteral("1") : QStringLiteral("0"), text});
}

QString WithdrawalLine() {
    return QStringLiteral("6/1/");
}

QString SalesTotalsLine() {
    return QStringLiteral("x/1/1/1/");
}

QString DailyClosingLine() {
    return QStringLiteral("x/7/0/0/");
}

QString JournalReadLine() {
    return QStringLiteral("B/12/");
}

QString JournalWriteLine() {
    return QStringLiteral("G/12/1/1/42/");
}

QString ReprintKeyLine() {
    return KeyPressLine(120);
}

bool JournalAnswerReadable(const QString &answer) {
    return answer.size() >= kJournalAnswerMin;
}

bool JournalAnswerHasReprintSetting(const QString &answer) {
    return answer.mid(9, 2) == QLatin1String("42");
}

QStringList ReprintLines(const QString &journalAnswer) {
    if (!JournalAnswerReadable(journalAnswer))
        return {};
    if (JournalAnswerHasReprintSetting(journalAnswer))
        return {ReprintKeyLine()};
    return {JournalWriteLine(), ReprintKeyLine()};
}

// ---------------------------------------------------------------- keys

int DigitKeyCode(int digit) {
    static constexpr int kDigitKeys[] = {69, 22, 30, 38, 37, 46, 54, 61, 62, 70};
    return digit >= 0 && digit <= 9 ? kDigitKeys[digit] : -1;
}

QStringList TypedEntryLines(const QString &entry) {
    QStringList out{KeyPressLine(kClearKey)};
    for (const QChar c : entry) {
        if (c == u',' || c == u'.')
            out << KeyPressLine(kCommaKey);
        else if (c >= u'0' && c <= u'9')
            out << KeyPressLine(DigitKeyCode(c.unicode() - u'0'));
    }
    return out;
}

QList<int> PriceChangeKeys(bool surcharge, bool percent) {
    if (percent)
        return {surcharge ? kSurchargePercentKey : kDiscountPercentKey};
    // The amount function, then what it does: 1 a discount, 4 a surcharge.
    return {kAmountFunctionKey, DigitKeyCode(surcharge ? 4 : 1), kCashKeyCode};
}

// ---------------------------------------------------------------- composed documents

QString ComposedDocument::message() const {
    return field.isEmpty() ? error : field + QStringLiteral(": ") + error;
}

QString SaleProblem(const QString &quantity, const QString &price, qint64 &cents) {
    const auto qty = unitsOf(quantity.isEmpty() ? QStringLiteral("1") : quantity, 3);
    const auto each = unitsOf(price, 2);
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

namespace {

// Collects the lines of a document and its first fault; nothing of a faulty
// document is kept.
class Composer {
public:
    ComposedDocument out;

    bool failed() const { return !out.ok(); }
    bool fail(const QString &field, const QString &why) {
        if (!failed()) {
            out.field = field;
            out.error = why;
        }
        return false;
    }
    ComposedDocument done() {
        if (failed())
            out.lines.clear();
        return out;
    }

    // A text that becomes a field of a line: no "/" (it would end the
    // field), no control character, at most `limit` characters (0: any).
    bool text(const QString &field, const QString &value, bool required, int limit = 0,
              const QString &name = {}) {
        if (value.isEmpty() && required)
            return fail(field,
                        name.isEmpty() ? QStringLiteral("manca") : QStringLiteral("manca (%1)").arg(name));
        if (const QString problem = FieldProblem(value); !problem.isEmpty())
            return fail(field, problem);
        if (limit > 0 && value.size() > limit)
            return fail(field, QStringLiteral("%1 caratteri (al massimo %2)").arg(value.size()).arg(limit));
        return true;
    }

    // A decimal text with at most `decimals` decimals, in those units.
    std::optional<qint64> decimal(const QString &field, const QString &value, int decimals) {
        if (value.isEmpty()) {
            fail(field, QStringLiteral("manca"));
            return std::nullopt;
        }
        const auto v = unitsOf(value, decimals);
        if (!v)
            fail(field,
                 QStringLiteral("importo non valido \"%1\" (cifre, punto decimale, al massimo %2 decimali)")
                     .arg(value.left(40))
                     .arg(decimals));
        return v;
    }

    bool whole(const QString &field, int value, int low, int high) {
        if (value < low || value > high)
            return fail(field, QStringLiteral("deve essere un numero intero da %1 a %2").arg(low).arg(high));
        return true;
    }

    // One item as its line; what it comes to in `cents`.
    std::optional<QString> item(const QString &where, const DocumentItem &it, bool isReturn, qint64 &cents) {
        if (!text(where + QStringLiteral(".description"), it.description, true) ||
            !text(where + QStringLiteral(".description2"), it.description2, false) ||
            !decimal(where + QStringLiteral(".quantity"), it.quantity, 3) ||
            !decimal(where + QStringLiteral(".price"), it.price, 2) ||
            !whole(where + QStringLiteral(".department"), it.department, 1, kDepartments))
            return std::nullopt;
        if (!it.vat.isEmpty() && !decimal(where + QStringLiteral(".vat"), it.vat, 2))
            return std::nullopt;
        if (const QString problem = SaleProblem(it.quantity, it.price, cents); !problem.isEmpty()) {
            fail(where + (problem.startsWith(u'q') ? QStringLiteral(".quantity") : QStringLiteral(".price")),
                 problem);
            return std::nullopt;
        }
        return isReturn
                   ? ReturnLine(it.description, it.description2, it.quantity, it.price, it.department, it.vat)
                   : SaleLine(it.description, it.description2, it.quantity, it.price, it.department, it.vat);
    }

    // The items as their lines; what they come to in `total`.
    bool items(const QString &where, const QList<DocumentItem> &list, qint64 &total) {
        if (list.isEmpty())
            return fail(where, QStringLiteral("serve almeno una vendita"));
        for (qsizetype i = 0; i < list.size(); ++i) {
            qint64 cents = 0;
            const auto line = item(indexed(where, i), list.at(i), false, cents);
            if (!line)
                return false;
            out.lines << *line;
            total += cents;
        }
        return totalFits(where, total);
    }

    bool totalFits(const QString &where, qint64 total) {
        if (total > kMaxReceiptCents)
            return fail(where, QStringLiteral("il totale supera 9999999.99"));
        return true;
    }

    // The payments as their lines (`line` composes one); they must cover
    // `total` when each carries an amount.
    bool payments(const QList<DocumentPayment> &list, qint64 total,
                  const std::function<QString(const DocumentPayment &)> &line) {
        if (list.isEmpty())
            return fail(QStringLiteral("payments"), QStringLiteral("serve almeno un pagamento"));
        bool allCarryAmounts = true;
        qint64 paid = 0;
        for (qsizetype i = 0; i < list.size(); ++i) {
            const DocumentPayment &p = list.at(i);
            const QString where = indexed(QStringLiteral("payments"), i);
            if (!whole(where + QStringLiteral(".type"), p.type, 1, kPaymentTypes))
                return false;
            // Without an amount, or of 0, it pays what is due (the register
            // reads 0 so): whatever the rest, the total is covered.
            const auto cents = p.amount.isEmpty() ? std::optional<qint64>(0)
                                                  : decimal(where + QStringLiteral(".amount"), p.amount, 2);
            if (!cents)
                return false;
            if (*cents == 0)
                allCarryAmounts = false;
            paid += *cents;
            out.lines << line(p);
        }
        if (allCarryAmounts && paid < total)
            return fail(QStringLiteral("payments"),
                        QStringLiteral("i pagamenti (%1) non coprono il totale (%2)")
                            .arg(AmountText(paid), AmountText(total)));
        return true;
    }

    static QString indexed(const QString &where, qsizetype i) {
        return where + u'[' + QString::number(i) + u']';
    }
};

// A discount or surcharge checked and composed: its keys, and what it
// changes `base` (the item it follows, or the subtotal) by, in cents.
struct Change {
    QStringList lines;
    qint64 cents = 0; // negative for a discount
};

std::optional<Change> priceChange(Composer &c, const QString &where, const PriceChange &p, bool surcharge,
                                  qint64 base) {
    if (p.amount.isEmpty() == p.percent.isEmpty()) {
        c.fail(where, p.amount.isEmpty() ? QStringLiteral("serve amount o percent")
                                         : QStringLiteral("amount o percent, non entrambi"));
        return std::nullopt;
    }
    const bool percent = !p.percent.isEmpty();
    const QString field = where + (percent ? QStringLiteral(".percent") : QStringLiteral(".amount"));
    const auto value = c.decimal(field, percent ? p.percent : p.amount, 2);
    if (!value)
        return std::nullopt;
    if (*value == 0 || (percent && *value > 10000) || (!percent && *value > kMaxReceiptCents)) {
        c.fail(field, *value == 0
                          ? QStringLiteral("vale zero")
                          : (percent ? QStringLiteral("oltre 100") : QStringLiteral("oltre 9999999.99")));
        return std::nullopt;
    }
    // The register's own rounding of a percentage, half a cent up.
    const qint64 cents = percent ? (base * *value + 5000) / 10000 : *value;
    if (cents == 0) {
        c.fail(where, QStringLiteral("vale 0.00 su %1").arg(AmountText(base)));
        return std::nullopt;
    }
    if (!surcharge && cents > base) {
        c.fail(where, QStringLiteral("lo sconto (%1) supera l'importo a cui si applica (%2)")
                          .arg(AmountText(cents), AmountText(base)));
        return std::nullopt;
    }
    // Typed as the operator types it on the register page: an amount in
    // cents, a percentage as written; then the keys of the button.
    Change out;
    out.lines = TypedEntryLines(percent ? p.percent : QString::number(cents));
    for (const int key : PriceChangeKeys(surcharge, percent))
        out.lines << KeyPressLine(key);
    out.cents = surcharge ? cents : -cents;
    return out;
}

// The discounts (then the surcharges) of one target: the item of index
// `item`, or the subtotal (none). Their lines are added, `base` and `total`
// changed by them.
bool priceChanges(Composer &c, const ReceiptDocument &r, std::optional<int> item, qint64 &base,
                  qint64 &total) {
    for (const bool surcharge : {false, true}) {
        const QList<PriceChange> &list = surcharge ? r.surcharges : r.discounts;
        const QString name = surcharge ? QStringLiteral("surcharges") : QStringLiteral("discounts");
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (list.at(i).item != item)
                continue;
            const auto change = priceChange(c, Composer::indexed(name, i), list.at(i), surcharge, base);
            if (!change)
                return false;
            c.out.lines << change->lines;
            base += change->cents;
            total += change->cents;
        }
    }
    return c.totalFits(QStringLiteral("surcharges"), total);
}

bool itemIndexes(Composer &c, const ReceiptDocument &r) {
    for (const bool surcharge : {false, true}) {
        const QList<PriceChange> &list = surcharge ? r.surcharges : r.discounts;
        const QString name = surcharge ? QStringLiteral("surcharges") : QStringLiteral("discounts");
        for (qsizetype i = 0; i < list.size(); ++i) {
            const std::optional<int> item = list.at(i).item;
            if (item && !c.whole(Composer::indexed(name, i) + QStringLiteral(".item"), *item, 0,
                                 int(r.items.size()) - 1))
                return false;
        }
    }
    return true;
}

bool allDigits(const QString &text) {
    return std::all_of(text.begin(), text.end(), [](QChar ch) { return ch >= u'0' && ch <= u'9'; });
}

// The customer's tax code as the tax-code dialog takes it, but a VAT number
// of digits only, as the register takes it.
bool taxCode(Composer &c, const QString &code) {
    const QString field = QStringLiteral("tax_code");
    if (!c.text(field, code, true))
        return false;
    if (code.size() == kVatNumberLength && !allDigits(code))
        return c.fail(field, QStringLiteral("la partita IVA ha 11 cifre"));
    const QString line = TaxCodeLine(code);
    if (line.isEmpty())
        return c.fail(field,
                      QStringLiteral("PI/CF errato: 11 cifre (partita IVA) o 16 caratteri (codice fiscale)"));
    c.out.lines << line;
    return true;
}

// The goods taken back, after the subtotal; each lowers `total`.
bool returns(Composer &c, const QList<DocumentItem> &list, qint64 &total) {
    if (!list.isEmpty())
        c.out.lines << SubtotalLine();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString where = Composer::indexed(QStringLiteral("returns"), i);
        qint64 cents = 0;
        const auto line = c.item(where, list.at(i), true, cents);
        if (!line)
            return false;
        // The register takes back no more than the receipt comes to.
        if (cents > total)
            return c.fail(where, QStringLiteral("il reso (%1) supera il totale dello scontrino (%2)")
                                     .arg(AmountText(cents), AmountText(total)));
        c.out.lines << *line;
        total -= cents;
    }
    return true;
}

bool hasSubtotalChanges(const ReceiptDocument &r) {
    for (const QList<PriceChange> *list : {&r.discounts, &r.surcharges}) {
        for (const PriceChange &p : *list) {
            if (!p.item)
                return true;
        }
    }
    return false;
}

} // namespace

ComposedDocument ComposeReceipt(const ReceiptDocument &r) {
    Composer c;
    if (!r.taxCode.isEmpty() && !taxCode(c, r.taxCode))
        return c.done();
    if (r.items.isEmpty()) {
        c.fail(QStringLiteral("items"), QStringLiteral("serve almeno una vendita"));
        return c.done();
    }
    if (!itemIndexes(c, r))
        return c.done();
    qint64 total = 0;
    for (qsizetype i = 0; i < r.items.size(); ++i) {
        qint64 cents = 0;
        const auto line = c.item(Composer::indexed(QStringLiteral("items"), i), r.items.at(i), false, cents);
        if (!line)
            return c.done();
        c.out.lines << *line;
        total += cents;
        if (!c.totalFits(QStringLiteral("items"), total) || !priceChanges(c, r, int(i), cents, total))
            return c.done();
    }
    if (!returns(c, r.returns, total))
        return c.done();
    if (hasSubtotalChanges(r)) {
        // After the subtotal the SC and Magg keys apply to the receipt so far,
        // not to the sale before them. The subtotal is the line "U/", which
        // the key "Sub Totale" makes the register carry out and the
        // demonstration "Reso Merce" sends before its return: one subtotal
        // for both, and a line the receipt rules already know.
        c.out.lines << SubtotalLine();
        qint64 base = total;
        if (!priceChanges(c, r, std::nullopt, base, total))
            return c.done();
    }
    for (qsizetype i = 0; i < r.text.size(); ++i) {
        if (!c.text(Composer::indexed(QStringLiteral("text"), i), r.text.at(i), false))
            return c.done();
        c.out.lines << ReceiptTextLine(r.text.at(i));
    }
    c.payments(r.payments, total, [](const DocumentPayment &p) { return PaymentLine(p.type, p.amount); });
    return c.done();
}

ComposedDocument ComposeInvoice(const InvoiceDocument &inv) {
    static const QString kLabels[kCustomerLines] = {
        QStringLiteral("Ragione Sociale"), QStringLiteral("Via"),    QStringLiteral("CAP"),
        QStringLiteral("Citt\u00e0"),      QStringLiteral("Nota 1"), QStringLiteral("Nota 2")};
    Composer c;
    const QString vatField = QStringLiteral("vat_number");
    if (inv.customer.size() > kCustomerLines) {
        c.fail(QStringLiteral("customer"), QStringLiteral("al massimo %1 righe").arg(kCustomerLines));
        return c.done();
    }
    std::array<QString, kCustomerLines> lines;
    for (qsizetype i = 0; i < inv.customer.size(); ++i)
        lines[size_t(i)] = inv.customer.at(i);
    // The customer dialog's own check first: the fields it needs.
    if (const int missing = CustomerEntryFocus(inv.vatNumber, lines); missing == 0) {
        c.fail(vatField, QStringLiteral("manca"));
        return c.done();
    } else if (missing > 0) {
        c.text(Composer::indexed(QStringLiteral("customer"), missing - 1), QString(), true, 0,
               kLabels[missing - 1]);
        return c.done();
    }
    if (inv.vatNumber.size() != kVatNumberLength || !allDigits(inv.vatNumber)) {
        c.fail(vatField, QStringLiteral("la partita IVA ha 11 cifre"));
        return c.done();
    }
    for (qsizetype i = 0; i < inv.customer.size(); ++i) {
        if (!c.text(Composer::indexed(QStringLiteral("customer"), i), inv.customer.at(i), false,
                    kCustomerLineLimit))
            return c.done();
    }
    c.out.lines << InvoiceOpeningLine();
    qint64 total = 0;
    if (!c.items(QStringLiteral("items"), inv.items, total))
        return c.done();
    c.out.lines << InvoiceCustomerLines(inv.vatNumber, inv.customer);
    c.payments(inv.payments, total,
               [](const DocumentPayment &p) { return InvoicePaymentLine(p.type, p.amount); });
    return c.done();
}

ComposedDocument ComposeCreditNote(const CreditNoteDocument &note) {
    Composer c;
    const QString fileField = QStringLiteral("file_number");
    if (!c.text(fileField, note.fileNumber, true, kFileNumberLimit))
        return c.done();
    // The characters the dialog's fields take, and no other.
    if (FilterText(FieldKind::FileNumber, note.fileNumber) != note.fileNumber) {
        c.fail(fileField, QStringLiteral("solo cifre, spazi e \"-\""));
        return c.done();
    }
    if (!c.text(QStringLiteral("reference"), note.reference, false, kReferenceLimit) ||
        !c.whole(QStringLiteral("payment_type"), note.paymentType, 1, 9))
        return c.done();
    c.out.lines << CreditNoteOpeningLine(note.fileNumber);
    qint64 total = 0;
    if (!c.items(QStringLiteral("items"), note.items, total))
        return c.done();
    c.out.lines << CreditNoteTotalLine() << CreditNoteReferenceLine(note.reference)
                << CreditNotePaymentLines(note.paymentType);
    return c.done();
}

ComposedDocument ComposeCashIn(const CashInDocument &cashIn) {
    Composer c;
    const QString field = QStringLiteral("amount");
    const auto cents = c.decimal(field, cashIn.amount, 2);
    if (!cents)
        return c.done();
    if (*cents == 0 || *cents > kMaxReceiptCents) {
        c.fail(field, *cents == 0 ? QStringLiteral("vale zero") : QStringLiteral("oltre 9999999.99"));
        return c.done();
    }
    c.out.lines << TypedEntryLines(QString::number(*cents)) << KeyPressLine(kCashInKey);
    return c.done();
}

ComposedDocument ComposeCashOut() {
    return {{WithdrawalLine()}, {}, {}};
}

ComposedDocument ComposeSalesReport() {
    return {{SalesTotalsLine()}, {}, {}};
}

ComposedDocument ComposeDailyClosing() {
    return {{DailyClosingLine()}, {}, {}};
}

ComposedDocument ComposeReprintLast() {
    return {{ReprintKeyLine()}, {}, {}};
}

ComposedDocument ComposeCustomerDisplay(const CustomerDisplayDocument &display) {
    Composer c;
    if (c.text(QStringLiteral("top"), display.top, false, kCustomerDisplayChars) &&
        c.text(QStringLiteral("bottom"), display.bottom, false, kCustomerDisplayChars))
        c.out.lines << CustomerDisplayLine(true, display.top) << CustomerDisplayLine(false, display.bottom);
    return c.done();
}

} // namespace norvvelm
