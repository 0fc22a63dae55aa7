#include "ecrsim/Register.h"

#include "ecrsim/Text.h"

#include <algorithm>
#include <utility>

namespace ecrsim {

namespace {

constexpr qint64 kMaxQuantity = 9999999;  // 9999.999
constexpr qint64 kMaxPrice = 9999999;     // 99999.99
constexpr qint64 kMaxLine = 99999999;     // 999999.99
constexpr qint64 kMaxReceipt = 999999999; // 9999999.99
constexpr qint64 kMaxRate = 9999;         // 99.99 %

// 400 -> "4%", 2250 -> "22,5%"
QString rateText(qint64 hundredths) {
    QString s = paperAmount(hundredths);
    while (s.endsWith(u'0'))
        s.chop(1);
    if (s.endsWith(u','))
        s.chop(1);
    return s + u'%';
}

QString text(const QByteArray &field) {
    return fromCp1252(field).trimmed();
}

// A rate as the PC's table holds it: a whole number, halves to the even neighbour.
qint64 wholeRate(qint64 hundredths) {
    qint64 q = hundredths / 100;
    const qint64 rem = hundredths % 100;
    if (rem > 50 || (rem == 50 && q % 2 == 1))
        ++q;
    return q * 100;
}

std::optional<int> number(const QByteArray &field) {
    const auto v = parseFixed(field, 0);
    if (!v || *v > 999999)
        return std::nullopt;
    return int(*v);
}

} // namespace

Register::Register() {
    for (int i = 0; i < kDepartments; ++i)
        m_deptRate[i] = i < 5 ? i + 1 : 1; // department n taxed at rate n, the rest at rate 1
    setDisplay(QString(), QStringLiteral("CASSA PRONTA"));

    auto on = [this](const char *code, QByteArray (Register::*fn)(const Command &)) {
        handle(code, [this, fn](const Command &c) { return (this->*fn)(c); });
    };
    on("?/", &Register::status);
    on("a/", &Register::identify);
    on("3/", &Register::sale);
    on("4/", &Register::amountLine);
    on("U/", &Register::subtotalLine);
    on("2/", &Register::openReceipt);
    on("-/", &Register::creditNote);
    on("j/", &Register::customerHeader);
    on("'/", &Register::customerCode);
    on("7/", &Register::textLine);
    on("w/", &Register::endNonFiscal);
    on("m/", &Register::endNonFiscal);
    on("5/", &Register::payment);
    on("+/", &Register::voidReceipt);
    on("x/", &Register::report);
    on("6/", &Register::cashOut);
    on("B/", &Register::journalRead);
    on("G/", &Register::journalWrite);
    on("0/", &Register::totalsRead);
    on("t/", &Register::dateTimeRead);
    on("9/", &Register::countersRead);
    on("X/", &Register::grandTotalRead);
    on("e/", &Register::vatRead);
    on("b/", &Register::vatWrite);
    on(")/", &Register::keyPress);
    on("(/", &Register::displayRead);
    on("$/", &Register::logoRow);
    installTables();
    installVoidKey();
}

QByteArray Register::answer(QByteArrayView errorCode, int status, const QByteArrayList &fields) {
    QByteArray out;
    out.append(errorCode);
    out.append('/');
    out.append(QByteArray::number(status).rightJustified(2, '0'));
    out.append("/00/");
    for (const QByteArray &f : fields) {
        out.append(f);
        out.append('/');
    }
    return out;
}

// ---------------------------------------------------------------- faults

void Register::paperIn() {
    m_paperOut = false;
    m_paperLow = false;
    m_paperBitAnswers = 0;
}

void Register::clearFaults() {
    paperIn();
    m_coverOpen = false;
    m_faults.clear();
}

int Register::pendingFaults() const {
    int n = 0;
    for (const Fault &f : m_faults)
        n += f.times;
    return n;
}

QByteArray Register::execute(const QByteArray &line) {
    // While the cover is open or the paper is out the register answers every
    // command, status requests included, with that condition and does nothing.
    if (m_coverOpen)
        return error("32");
    if (m_paperOut)
        return error("31");
    if (!m_faults.empty()) {
        const Fault f = m_faults.front();
        if (--m_faults.front().times <= 0)
            m_faults.pop_front();
        switch (f.kind) {
        case Fault::Busy:
            return error("1A");
        case Fault::Refuse:
            return error(f.code);
        case Fault::Serious:
            // The register stops: an open receipt is lost.
            if (m_doc.kind != DocKind::None)
                cancelDocument(QStringLiteral("ERRORE GRAVE"));
            return error(f.code);
        }
    }
    if (m_paperLow || m_paperBitAnswers > 0) {
        // The roll is at its end: nothing is printed until it is replaced.
        if (m_paperBitAnswers > 0)
            --m_paperBitAnswers;
        return answer("00", statusBits | 4, {"0"});
    }
    return dispatch(line);
}

QByteArray Register::dispatch(const QByteArray &line) {
    const Command c = parse(line);
    const auto it = m_handlers.constFind(c.code);
    return it == m_handlers.constEnd() ? unknownCommand(c) : it.value()(c);
}

Register::Command Register::parse(const QByteArray &line) {
    Command c;
    c.line = line;
    c.code = line.left(2);
    c.fields = line.split('/');
    if (line.endsWith('/'))
        c.fields.removeLast();
    return c;
}

// ---------------------------------------------------------------- documents

bool Register::ensureDocument(DocKind kind) {
    if (m_doc.kind == DocKind::NonFiscal && kind != DocKind::NonFiscal)
        closeDocument(); // a pending text document is printed first
    if (m_doc.kind == DocKind::None) {
        m_doc = Document{};
        m_doc.kind = kind;
        // Each credit note shows its own total at the first cash key.
        m_keys.creditNoteTotal = false;
        return true;
    }
    if (m_doc.kind == kind || kind == DocKind::Receipt)
        return true; // a sale fits in any fiscal document
    if (m_doc.kind == DocKind::Receipt && m_doc.items == 0) {
        m_doc.kind = kind; // an empty receipt becomes an invoice or a credit note
        return true;
    }
    return false;
}

QStringList Register::headerLines() const {
    QStringList out;
    out << tables.printedHeader();
    out << QString();
    return out;
}

QString Register::stamp() const {
    return clock().toString(QStringLiteral("dd-MM-yyyy hh:mm"));
}

void Register::setDisplay(const QString &top, const QString &bottom) {
    // The first line begins with the running total of the open receipt.
    m_display = {Keyboard::firstLine(receiptOpen() ? m_doc.total : 0, top), bottom.left(16)};
}

void Register::shareAmongRates(qint64 cents) {
    int largest = 0;
    for (int i = 0; i < 5; ++i) {
        if (m_doc.vat[i] > m_doc.vat[largest])
            largest = i;
    }
    qint64 left = cents;
    for (int i = 0; m_doc.total > 0 && i < 5; ++i) {
        if (i == largest || m_doc.vat[i] <= 0)
            continue;
        const qint64 share = cents * m_doc.vat[i] / m_doc.total;
        m_doc.vat[i] += share;
        left -= share;
    }
    m_doc.vat[largest] += left;
    m_doc.total += cents;
}

void Register::printNonFiscal(const QStringList &body, const QString &title) {
    QStringList out = headerLines();
    if (!title.isEmpty())
        out << Paper::centred(title) << QString();
    out << body;
    out << Paper::rule() << Paper::row(stamp(), QStringLiteral("NON FISCALE")) << Paper::rule(u'=');
    m_paper.print(out);
}

void Register::closeDocument() {
    const Document doc = std::exchange(m_doc, Document{});
    if (doc.kind == DocKind::None)
        return;
    if (doc.kind == DocKind::NonFiscal) {
        ++m_nonFiscalNumber;
        ++m_totals.nonFiscal;
        QStringList out = headerLines();
        out << doc.lines << Paper::rule() << Paper::centred(QStringLiteral("DOCUMENTO NON FISCALE"))
            << Paper::row(stamp(), QStringLiteral("N.F. N. %1").arg(m_nonFiscalNumber)) << Paper::rule(u'=');
        m_paper.print(out);
        return;
    }

    ++m_receiptNumber;
    ++m_totals.receipts;
    QStringList out = m_logos.paperLines(Logos::askedBy(tables.sRecord)) + headerLines();
    if (doc.kind == DocKind::Invoice)
        out << Paper::centred(QStringLiteral("FATTURA N. %1").arg(++m_invoiceNumber)) << QString();
    else if (doc.kind == DocKind::CreditNote)
        out << Paper::centred(QStringLiteral("NOTA DI CREDITO N. %1").arg(++m_creditNoteNumber)) << QString();
    out << Paper::row(QString(), QStringLiteral("EURO"));
    out << doc.lines;
    out << Paper::rule() << Paper::row(QStringLiteral("TOTALE EURO"), paperAmount(doc.total));
    out << doc.payments;
    if (doc.paid > doc.total)
        out << Paper::row(QStringLiteral("RESTO"), paperAmount(doc.paid - doc.total));
    out << Paper::rule();
    out << tables.printedFooter();
    out << Paper::row(stamp(), QStringLiteral("SCONTR. N. %1").arg(m_receiptNumber));
    out << Paper::centred(QStringLiteral("MF ") + QString::fromLatin1(identity.serial)) << Paper::rule(u'=');
    m_paper.print(out);
    m_lastReceipt = out;

    if (doc.kind == DocKind::CreditNote) {
        m_totals.returns += doc.total;
    } else {
        for (int i = 0; i < 5; ++i)
            m_totals.vat[i] += doc.vat[i];
        m_totals.sales += doc.total;
        m_totals.corrections += doc.corrections;
        m_totals.returns += doc.returns;
        m_grandTotal += doc.total;
    }
    setDisplay(QStringLiteral("TOTALE"), paperAmount(doc.total).rightJustified(16));
}

void Register::cancelDocument(const QString &why) {
    const Document doc = std::exchange(m_doc, Document{});
    if (doc.kind == DocKind::NonFiscal || doc.kind == DocKind::None)
        return;
    QStringList out = headerLines();
    out << doc.lines << Paper::rule() << Paper::centred(QStringLiteral("*** SCONTRINO ANNULLATO ***"))
        << Paper::centred(why) << Paper::row(stamp(), paperAmount(doc.total)) << Paper::rule(u'=');
    m_paper.print(out);
    if (doc.total > 0)
        m_totals.voids += doc.total;
    setDisplay(QStringLiteral("ANNULLATO"), paperAmount(doc.total).rightJustified(16));
}

// ---------------------------------------------------------------- commands

QByteArray Register::status(const Command &) {
    return ok({"0"});
}

QByteArray Register::identify(const Command &) {
    // serial number, number, field, two fields the PC skips, firmware
    return ok({identity.serial, identity.number, identity.field, "0", "0", identity.firmware});
}

QByteArray Register::sale(const Command &c) {
    if (c.fields.size() < 7)
        return error("01");
    const QByteArray type = c.field(1).trimmed();
    if (type == "F") {
        // Opens an invoice; the rest of the line is not a sale.
        return ensureDocument(DocKind::Invoice) ? ok({wireAmount(m_doc.total)}) : error("6E");
    }
    const bool isReturn = type == "R";
    if (type != "S" && type != "N" && !isReturn)
        return error("1B");
    const auto qty = parseFixed(c.field(4), 3);
    if (!qty || *qty == 0)
        return error("04");
    if (*qty > kMaxQuantity)
        return error("64");
    const auto price = parseFixed(c.field(5), 2);
    if (!price)
        return error("18");
    if (*price > kMaxPrice)
        return error("65");
    const auto dept = number(c.field(6));
    if (!dept)
        return error("78");
    if (*dept < 1 || *dept > kDepartments)
        return error("67");
    int rate = m_deptRate[*dept - 1] - 1;
    if (const QByteArray vat = c.field(7).trimmed(); !vat.isEmpty()) {
        // The line's VAT value must be one of the rates, and the department's.
        const auto v = parseFixed(vat, 2);
        int found = -1;
        for (int i = 0; v && i < 5 && found < 0; ++i) {
            if (m_rates[i] == *v || wholeRate(m_rates[i]) == *v)
                found = i;
        }
        if (found < 0)
            return error("09");
        if (found != rate && m_rates[found] != m_rates[rate])
            return error("17");
    }
    const qint64 amount = (*qty * *price + 500) / 1000;
    if (amount == 0)
        return error("7C");
    if (amount > kMaxLine)
        return error("7F");
    if (isReturn ? amount > m_doc.total : m_doc.total + amount > kMaxReceipt)
        return error(isReturn ? "70" : "7E");
    if (!roomFor(4))
        return error("29");
    if (!ensureDocument(type == "N" ? DocKind::CreditNote : DocKind::Receipt))
        return error("6E");

    const QString d1 = text(c.field(2)), d2 = text(c.field(3));
    const qint64 signedAmount = isReturn ? -amount : amount;
    // A return is no sale a discount key could apply to.
    m_doc.lastSale.reset();
    if (!isReturn)
        m_doc.lastSale = Document::Sale{rate, amount};
    m_doc.lines << (isReturn ? QStringLiteral("RESO ") + d1 : d1).left(Paper::kWidth);
    if (!d2.isEmpty())
        m_doc.lines << d2.left(Paper::kWidth);
    m_doc.lines << Paper::row(QStringLiteral("  %1 x %2").arg(paperQuantity(*qty), paperAmount(*price)),
                              rateText(m_rates[rate]).rightJustified(5) +
                                  paperAmount(signedAmount).rightJustified(10));
    m_doc.total += signedAmount;
    m_doc.vat[rate] += signedAmount;
    if (isReturn)
        m_doc.returns += amount;
    ++m_doc.items;
    setDisplay(d1, paperAmount(signedAmount).rightJustified(16));
    return ok({wireAmount(m_doc.total)});
}

QByteArray Register::amountLine(const Command &c) {
    if (!receiptOpen())
        return error("6C");
    const auto amount = parseFixed(c.field(1), 2);
    if (!amount)
        return error("18");
    if (*amount == 0)
        return error("7A");
    if (*amount > m_doc.total)
        return error("70");
    if (!roomFor(1))
        return error("29");
    // The line is a discount on the receipt so far, whatever came before it
    // (the SC keys apply to the sale they follow).
    shareAmongRates(-*amount);
    m_doc.lastSale.reset();
    m_doc.corrections += *amount;
    m_doc.lines << Paper::row(QStringLiteral("SCONTO"), paperAmount(-*amount));
    setDisplay(QStringLiteral("SCONTO"), paperAmount(-*amount).rightJustified(16));
    return ok({wireAmount(m_doc.total)});
}

QByteArray Register::subtotalLine(const Command &) {
    if (!roomFor(1))
        return error("29");
    if (!ensureDocument(DocKind::Receipt))
        return error("6E");
    m_doc.lastSale.reset();
    m_doc.lines << Paper::row(QStringLiteral("SUBTOTALE"), paperAmount(m_doc.total));
    setDisplay(QStringLiteral("SUBTOTALE"), paperAmount(m_doc.total).rightJustified(16));
    return ok({wireAmount(m_doc.total)});
}

QByteArray Register::openReceipt(const Command &) {
    return ensureDocument(DocKind::Receipt) ? ok() : error("6E");
}

QByteArray Register::creditNote(const Command &c) {
    const QString ref = text(c.field(1));
    if (ref.isEmpty())
        return error("01");
    if (!roomFor(1))
        return error("29");
    if (!ensureDocument(DocKind::CreditNote))
        return error("6E");
    m_doc.lines << QStringLiteral("PRATICA N. ") + ref.left(Paper::kWidth - 11);
    return ok();
}

QByteArray Register::customerHeader(const Command &c) {
    if (!roomFor(10))
        return error("29");
    if (!receiptOpen() && !ensureDocument(DocKind::Invoice))
        return error("6E");
    m_doc.lastSale.reset();
    m_doc.lines << QStringLiteral("SPETT.LE");
    for (int i = 1; i <= 9; ++i) {
        if (const QString l = text(c.field(i)); !l.isEmpty())
            m_doc.lines << l.left(Paper::kWidth);
    }
    return ok();
}

QByteArray Register::customerCode(const Command &c) {
    const QByteArray type = c.field(1).trimmed();
    QString line;
    if (type == "1") {
        const QByteArray vat = c.field(2).trimmed();
        if (vat.size() != 11 ||
            !std::all_of(vat.begin(), vat.end(), [](char d) { return d >= '0' && d <= '9'; }))
            return error("04");
        line = QStringLiteral("P.IVA ") + QString::fromLatin1(vat);
    } else if (type == "2") {
        const QString cf = text(c.field(3));
        if (cf.size() != 16)
            return error("04");
        line = QStringLiteral("C.F. ") + cf;
    } else {
        return error("04");
    }
    if (!roomFor(1))
        return error("29");
    if (!receiptOpen() && !ensureDocument(DocKind::Receipt))
        return error("6E");
    m_doc.lastSale.reset();
    m_doc.lines << line;
    return ok();
}

QByteArray Register::textLine(const Command &c) {
    const QByteArray where = c.field(1).trimmed();
    const QString t = text(c.field(3));
    if (where == "0") {
        // On the customer display: style 1 the top line, otherwise the bottom one.
        if (c.field(2).trimmed() == "1")
            m_display[0] = t.left(16);
        else
            m_display[1] = t.left(16);
        return ok();
    }
    if (where != "1")
        return error("04");
    if (!roomFor(1))
        return error("29");
    if (!receiptOpen())
        ensureDocument(DocKind::NonFiscal);
    m_doc.lastSale.reset();
    m_doc.lines << t.left(Paper::kWidth);
    return ok();
}

QByteArray Register::endNonFiscal(const Command &) {
    if (m_doc.kind == DocKind::NonFiscal)
        closeDocument();
    return ok();
}

QByteArray Register::payWith(int type, qint64 amount) {
    if (m_doc.kind == DocKind::Receipt && m_doc.items == 0)
        return error("6D");
    const qint64 due = m_doc.total - m_doc.paid;
    const QString name = tables.payments[size_t(type - 1)].description;
    if (amount > 0 && amount < due) {
        // Part of the total: the receipt waits for the rest.
        m_doc.lastSale.reset();
        m_doc.paid += amount;
        m_doc.payments << Paper::row(name, paperAmount(amount));
        setDisplay(QStringLiteral("DA PAGARE"), paperAmount(due - amount).rightJustified(16));
        return ok({wireAmount(due - amount)});
    }
    const qint64 paid = amount > 0 ? amount : due;
    m_doc.paid += paid;
    m_doc.payments << Paper::row(name, paperAmount(paid));
    const qint64 change = m_doc.paid - m_doc.total;
    closeDocument();
    return ok({wireAmount(change > 0 ? change : 0)});
}

QByteArray Register::payment(const Command &c) {
    if (!receiptOpen())
        return error("6C");
    int type = 1;
    if (!c.field(1).trimmed().isEmpty()) {
        const auto t = number(c.field(1));
        if (!t || *t < 1 || *t > kPayments)
            return error("0C");
        type = *t;
    }
    // A payment the table leaves without a name is not programmed.
    if (tables.payments[size_t(type - 1)].description.trimmed().isEmpty())
        return error("0C");
    qint64 amount = 0;
    if (!c.field(2).trimmed().isEmpty()) {
        const auto a = parseFixed(c.field(2), 2);
        if (!a || *a > kMaxReceipt)
            return error("15");
        amount = *a;
    }
    return payWith(type, amount);
}

QByteArray Register::voidReceipt(const Command &) {
    if (!receiptOpen())
        return error("6C");
    cancelDocument(QStringLiteral("ANNULLO OPERATORE"));
    return ok();
}

QByteArray Register::report(const Command &c) {
    if (receiptOpen())
        return error("14");
    const auto type = number(c.field(1));
    if (!type || *type < 1 || *type > 7)
        return error("0F");
    if (m_doc.kind == DocKind::NonFiscal)
        closeDocument();
    const bool closing = *type == 7;
    QStringList body;
    for (int i = 0; i < 5; ++i)
        body << Paper::row(QStringLiteral("IVA %1 ").arg(i + 1) + rateText(m_rates[i]),
                           paperAmount(m_totals.vat[i]));
    body << Paper::row(QStringLiteral("TOTALE VENDITE"), paperAmount(m_totals.sales))
         << Paper::row(QStringLiteral("SCONTRINI"), QString::number(m_totals.receipts))
         << Paper::row(QStringLiteral("NON FISCALI"), QString::number(m_totals.nonFiscal))
         << Paper::row(QStringLiteral("TOTALE STORNI"), paperAmount(m_totals.corrections))
         << Paper::row(QStringLiteral("TOTALE RESI"), paperAmount(m_totals.returns))
         << Paper::row(QStringLiteral("TOTALE ANNULLI"), paperAmount(m_totals.voids))
         << Paper::row(QStringLiteral("GRAN TOTALE"), paperAmount(m_grandTotal));
    if (closing) {
        ++m_closings;
        body << Paper::row(QStringLiteral("AZZERAMENTO N."), QString::number(m_closings));
        m_totals = Totals{};
        m_receiptNumber = m_nonFiscalNumber = 0;
    }
    printNonFiscal(body,
                   closing ? QStringLiteral("CHIUSURA GIORNALIERA") : QStringLiteral("LETTURA VENDUTO"));
    return ok();
}

QByteArray Register::cashOut(const Command &) {
    if (receiptOpen())
        return error("14");
    if (m_doc.kind == DocKind::NonFiscal)
        closeDocument();
    ++m_totals.nonFiscal;
    ++m_nonFiscalNumber;
    printNonFiscal({}, QStringLiteral("PRELIEVO DI CASSA"));
    return ok();
}

QByteArray Register::journalRead(const Command &c) {
    if (receiptOpen())
        return error("14");
    const auto n = number(c.field(1));
    if (!n)
        return error("04");
    return ok({m_journal.value(*n, "00")});
}

QByteArray Register::journalWrite(const Command &c) {
    if (receiptOpen())
        return error("14");
    const auto n = number(c.field(1));
    if (!n || c.fields.size() < 5)
        return error("04");
    const QByteArray value = c.field(4).trimmed().left(8);
    if (value.contains('/') || !parseFixed(value, 0))
        return error("04");
    m_journal.insert(*n, value);
    return ok();
}

QByteArray Register::totalsRead(const Command &) {
    QByteArrayList f;
    for (const qint64 v : m_totals.vat)
        f << wireAmount(v);
    f << wireAmount(m_totals.sales) << QByteArray::number(m_totals.receipts)
      << QByteArray::number(m_totals.nonFiscal) << wireAmount(m_totals.corrections)
      << wireAmount(m_totals.returns) << wireAmount(m_totals.voids);
    return ok(f);
}

QByteArray Register::dateTimeRead(const Command &) {
    const QDateTime now = clock();
    return ok({now.toString(QStringLiteral("dd-MM-yyyy")).toLatin1(),
               now.toString(QStringLiteral("hh:mm:ss")).toLatin1()});
}

QByteArray Register::countersRead(const Command &) {
    // closing in progress, last receipt, last non-fiscal document, invoices, credit notes
    return ok({QByteArray::number(m_closings + 1), QByteArray::number(m_receiptNumber),
               QByteArray::number(m_nonFiscalNumber), QByteArray::number(m_invoiceNumber),
               QByteArray::number(m_creditNoteNumber)});
}

QByteArray Register::grandTotalRead(const Command &) {
    return ok({wireAmount(m_grandTotal), QByteArray::number(m_closings)});
}

QByteArrayList Register::vatRates() const {
    QByteArrayList out;
    for (const qint64 r : m_rates)
        out << wireAmount(r);
    return out;
}

QByteArray Register::vatRead(const Command &) {
    return ok(vatRates());
}

QByteArray Register::vatWrite(const Command &c) {
    if (receiptOpen())
        return error("14");
    if (c.fields.size() < 6)
        return error("01");
    std::array<qint64, 5> rates{};
    for (int i = 0; i < 5; ++i) {
        const auto r = parseFixed(c.field(i + 1), 2);
        if (!r || *r > kMaxRate)
            return error("09");
        rates[i] = *r;
    }
    // New rates only after the daily closing, and only so many times.
    if (m_totals.receipts > 0)
        return error("10");
    if (m_vatChanges >= kMaxVatChanges)
        return error("2B");
    ++m_vatChanges;
    m_rates = rates;
    return ok();
}

QByteArray Register::keyPress(const Command &c) {
    const auto key = number(c.field(1));
    if (!key)
        return error("04");
    return Keyboard::press(*this, *key);
}

QByteArray Register::displayRead(const Command &) {
    return ok({toCp1252(m_display[0].leftJustified(16, u' ', true)),
               toCp1252(m_display[1].leftJustified(16, u' ', true))});
}

QByteArray Register::logoRow(const Command &c) {
    const QByteArray code = m_logos.takeRow(c.fields);
    return code == "00" ? ok() : error(code);
}

} // namespace ecrsim
