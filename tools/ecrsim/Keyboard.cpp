#include "ecrsim/Keyboard.h"

#include "ecrsim/Register.h"
#include "ecrsim/Text.h"

namespace ecrsim {

namespace {

constexpr int kDisplayWidth = 16;
constexpr int kMaxEntryDigits = 9;

// The register's key codes.
enum Key {
    KeyCorrNonRiscosso = 1,
    KeyFx2 = 7,
    KeyTot3 = 9,
    KeyProgKey = 13,
    KeyPaperFeed = 21,
    KeyCashIn = 26,
    KeyVoidReceipt = 28,
    KeyOperator = 29,
    KeyQuantity = 34,
    KeyVoidItem = 35,
    KeyDrawer = 36,
    KeyReturn = 43,
    KeyPluKey = 51,
    KeySurchargePercent = 53,
    KeyTot4 = 58,
    KeyDiscountPercent = 60,
    KeyAmountFunction = 67,
    KeySubtotal = 102,
    KeyClear = 118,
    KeyJournalCopy = 120,
};

// Department keys 1 to 6.
int departmentOf(int key) {
    switch (key) {
    case 5:
        return 1;
    case 6:
        return 2;
    case 4:
        return 3;
    case 12:
        return 4;
    case 3:
        return 5;
    case 11:
        return 6;
    default:
        return 0;
    }
}

// The entry as a number with `decimals` decimals: with a comma as typed,
// without one either whole (`implicit` false) or in hundredths.
std::optional<qint64> entryValue(const QString &entry, int decimals, bool implicitCents) {
    if (entry.isEmpty())
        return std::nullopt;
    if (entry.contains(u',')) {
        QByteArray t = entry.toLatin1();
        t.replace(',', '.');
        if (t.endsWith('.'))
            t.chop(1);
        return parseFixed(t, decimals);
    }
    const auto whole = parseFixed(entry.toLatin1(), 0);
    if (!whole)
        return std::nullopt;
    qint64 scale = 1;
    for (int i = 0; i < decimals; ++i)
        scale *= 10;
    return implicitCents ? *whole * scale / 100 : *whole * scale;
}

QByteArray quantityField(qint64 thousandths) {
    QByteArray s = QByteArray::number(thousandths / 1000);
    if (const qint64 frac = thousandths % 1000; frac != 0) {
        QByteArray f = QByteArray::number(frac).rightJustified(3, '0');
        while (f.endsWith('0'))
            f.chop(1);
        s += '.' + f;
    }
    return s;
}

bool accepted(const QByteArray &answer) {
    return answer.startsWith("00");
}

} // namespace

int Keyboard::digitOf(int key) {
    switch (key) {
    case 69:
        return 0;
    case 22:
        return 1;
    case 30:
        return 2;
    case 38:
        return 3;
    case 37:
        return 4;
    case 46:
        return 5;
    case 54:
        return 6;
    case 61:
        return 7;
    case 62:
        return 8;
    case 70:
        return 9;
    default:
        return -1;
    }
}

QString Keyboard::firstLine(qint64 total, const QString &word) {
    const QString amount = paperAmount(total);
    const int room = kDisplayWidth - int(amount.size()) - 1;
    const QString w = room > 0 ? word.trimmed().left(room) : QString();
    return amount + QString(kDisplayWidth - amount.size() - w.size(), u' ') + w;
}

void Keyboard::resetEntry(Register &reg) {
    KeyboardState &k = reg.m_keys;
    k.entry.clear();
    k.quantity = 1000;
    k.function = 0;
    k.functionDigit = -1;
}

void Keyboard::showEntry(Register &reg) {
    const KeyboardState &k = reg.m_keys;
    QString shown;
    if (k.entry.contains(u','))
        shown = k.entry;
    else if (!k.entry.isEmpty())
        shown = paperAmount(k.entry.toLongLong());
    if (k.quantity != 1000)
        shown = paperQuantity(k.quantity) + QStringLiteral(" X ") + shown;
    reg.setDisplay(k.returnMode ? QStringLiteral("RESO") : QString(), shown.rightJustified(kDisplayWidth));
}

QByteArray Keyboard::fail(Register &reg, QByteArrayView code) {
    resetEntry(reg);
    reg.setDisplay(QStringLiteral("ERRORE"), QStringLiteral("ERRORE ") + QString::fromLatin1(code));
    return reg.error(code);
}

QByteArray Keyboard::press(Register &reg, int key) {
    KeyboardState &k = reg.m_keys;
    if (reg.m_doc.kind != Register::DocKind::CreditNote)
        k.creditNoteTotal = false;
    if (!reg.receiptOpen())
        k.lastSale.reset();

    if (const int d = digitOf(key); d >= 0 || key == kComma) {
        if (k.function != 0) {
            // The digit that says what the function key does.
            if (d < 0 || k.functionDigit >= 0)
                return fail(reg, "46");
            k.functionDigit = d;
            return reg.ok();
        }
        if (key == kComma) {
            if (k.entry.contains(u','))
                return fail(reg, "46");
            k.entry += k.entry.isEmpty() ? QStringLiteral("0,") : QStringLiteral(",");
        } else {
            qsizetype digits = 0;
            for (const QChar c : std::as_const(k.entry))
                digits += c.isDigit();
            if (digits >= kMaxEntryDigits)
                return fail(reg, "46");
            k.entry += QChar(u'0' + d);
        }
        showEntry(reg);
        return reg.ok();
    }
    if (const int dept = departmentOf(key); dept > 0)
        return department(reg, dept);

    switch (key) {
    case KeyQuantity: {
        const auto q = entryValue(k.entry, 3, false);
        if (!q || *q == 0)
            return fail(reg, "04");
        if (*q > 9999999)
            return fail(reg, "64");
        k.quantity = *q;
        k.entry.clear();
        showEntry(reg);
        return reg.ok();
    }
    case kCash:
        return cash(reg);
    case KeyTot3:
    case KeyCorrNonRiscosso:
        return pay(reg, 3);
    case KeySubtotal:
        if (!reg.receiptOpen()) {
            reg.setDisplay(QStringLiteral("SUBTOTALE"), paperAmount(0).rightJustified(kDisplayWidth));
            return reg.ok();
        }
        resetEntry(reg);
        return reg.dispatch("U/");
    case KeyClear:
        resetEntry(reg);
        k.returnMode = false;
        reg.setDisplay(QString(), QString());
        return reg.ok();
    case KeyVoidReceipt:
        resetEntry(reg);
        return reg.dispatch("+/");
    case KeyReturn:
        if (!k.entry.isEmpty())
            return fail(reg, "46");
        k.returnMode = true;
        showEntry(reg);
        return reg.ok();
    case KeyVoidItem:
        return voidLastItem(reg);
    case KeyDiscountPercent:
        return percent(reg, false);
    case KeySurchargePercent:
        return percent(reg, true);
    case KeyAmountFunction:
    case KeyTot4:
        if (k.function != 0)
            return fail(reg, "46");
        k.function = key;
        return reg.ok();
    case KeyCashIn:
        return cashIn(reg);
    case KeyPluKey:
        return plu(reg);
    case KeyDrawer:
        ++k.drawerOpenings;
        reg.setDisplay(QString(), QStringLiteral("CASSETTO APERTO"));
        return reg.ok();
    case KeyPaperFeed:
        ++k.paperFeeds;
        return reg.ok();
    case KeyOperator: {
        const auto n = entryValue(k.entry, 0, false);
        if (!n || *n < 1 || *n > 9)
            return fail(reg, "0A");
        k.operatorNumber = int(*n);
        k.entry.clear();
        reg.setDisplay(QString(), QStringLiteral("OPERATORE %1").arg(k.operatorNumber));
        return reg.ok();
    }
    case KeyJournalCopy:
        // The copy of the last receipt from the electronic journal.
        if (reg.receiptOpen())
            return reg.error("14");
        if (!reg.m_lastReceipt.isEmpty())
            reg.m_paper.print(QStringList{Paper::centred(QStringLiteral("*** COPIA DA GIORNALE ***"))} +
                              reg.m_lastReceipt);
        return reg.ok();
    default:
        // Keys the technician programs (Fx1 to Fx3 unprogrammed), the cursor
        // and confirmation keys of the programming menus: nothing to do here.
        return reg.ok();
    }
}

QByteArray Keyboard::department(Register &reg, int dept) {
    KeyboardState &k = reg.m_keys;
    const auto price = entryValue(k.entry, 2, true);
    if (!price || *price == 0)
        return fail(reg, "18");
    QString description = reg.tables.departments[size_t(dept - 1)].trimmed();
    if (description.isEmpty())
        description = QStringLiteral("REPARTO %1").arg(dept);
    const QByteArray line = (k.returnMode ? QByteArray("3/R/") : QByteArray("3/S/")) +
                            toCp1252(description.replace(u'/', u'\\')) + "//" + quantityField(k.quantity) +
                            '/' + wireAmount(*price) + '/' + QByteArray::number(dept) + "//";
    const qint64 before = reg.receiptOpen() ? reg.m_doc.total : 0;
    const QByteArray answer = reg.dispatch(line);
    if (!accepted(answer)) {
        resetEntry(reg);
        k.returnMode = false;
        return answer;
    }
    k.lastSale =
        KeyboardState::Sale{description, reg.m_doc.total - before, reg.m_deptRate[size_t(dept - 1)] - 1};
    resetEntry(reg);
    k.returnMode = false;
    return answer;
}

QByteArray Keyboard::plu(Register &reg) {
    KeyboardState &k = reg.m_keys;
    const auto number = entryValue(k.entry, 0, false);
    if (!number)
        return fail(reg, "04");
    const auto item = reg.tables.plus.constFind(int(*number));
    if (item == reg.tables.plus.constEnd())
        return fail(reg, "07");
    const QByteArray line = QByteArray("3/S/") + toCp1252(QString(item->description).replace(u'/', u'\\')) +
                            "//" + quantityField(k.quantity) + '/' + wireAmount(item->price) + '/' +
                            QByteArray::number(item->department) + "//";
    const qint64 before = reg.receiptOpen() ? reg.m_doc.total : 0;
    const QByteArray answer = reg.dispatch(line);
    if (accepted(answer) && item->department >= 1 && item->department <= Register::kDepartments)
        k.lastSale = KeyboardState::Sale{item->description, reg.m_doc.total - before,
                                         reg.m_deptRate[size_t(item->department - 1)] - 1};
    resetEntry(reg);
    return answer;
}

QByteArray Keyboard::pay(Register &reg, int type) {
    KeyboardState &k = reg.m_keys;
    if (!reg.receiptOpen()) {
        resetEntry(reg);
        return reg.error("6C");
    }
    QByteArray amount;
    if (!k.entry.isEmpty()) {
        const auto a = entryValue(k.entry, 2, true);
        if (!a)
            return fail(reg, "15");
        amount = wireAmount(*a);
    }
    resetEntry(reg);
    return reg.dispatch("5/" + QByteArray::number(type) + '/' + amount + '/');
}

QByteArray Keyboard::cash(Register &reg) {
    KeyboardState &k = reg.m_keys;
    if (k.function != 0) {
        // 67 then 1: discount of the amount typed; 67 then 4: surcharge;
        // 58 then a digit: payment of that type.
        const int function = k.function, digit = k.functionDigit;
        k.function = 0;
        k.functionDigit = -1;
        if (function == KeyTot4)
            return digit >= 1 ? pay(reg, digit) : fail(reg, "0C");
        if (digit != 1 && digit != 4)
            return fail(reg, "21");
        const auto a = entryValue(k.entry, 2, true);
        if (!a || *a == 0)
            return fail(reg, "7A");
        resetEntry(reg);
        if (digit == 1)
            return adjust(reg, -*a, QStringLiteral("SCONTO"));
        return adjust(reg, *a, QStringLiteral("MAGGIORAZIONE"));
    }
    if (!reg.receiptOpen()) {
        resetEntry(reg);
        return reg.ok();
    }
    if (reg.m_doc.kind == Register::DocKind::CreditNote && !k.creditNoteTotal && k.entry.isEmpty()) {
        // A credit note shows its total first; its reference lines follow and
        // the second cash key closes it.
        k.creditNoteTotal = true;
        reg.setDisplay(QStringLiteral("TOTALE"), paperAmount(reg.m_doc.total).rightJustified(kDisplayWidth));
        return reg.ok({wireAmount(reg.m_doc.total)});
    }
    return pay(reg, 1);
}

QByteArray Keyboard::percent(Register &reg, bool isSurcharge) {
    KeyboardState &k = reg.m_keys;
    if (!reg.receiptOpen())
        return fail(reg, "6C");
    const auto rate = entryValue(k.entry, 2, false); // hundredths of a percent
    if (!rate || *rate == 0)
        return fail(reg, "7A");
    if (*rate > 10000)
        return fail(reg, "1C");
    // Of the sale just rung up, or of the receipt so far.
    const auto &sale = reg.m_doc.lastSale;
    const qint64 base = sale ? sale->amount : reg.m_doc.total;
    const qint64 amount = (base * *rate + 5000) / 10000;
    if (amount == 0)
        return fail(reg, "7A");
    const QString label = QStringLiteral("%1 %2%").arg(
        isSurcharge ? QStringLiteral("MAGG.") : QStringLiteral("SCONTO"), paperAmount(*rate));
    resetEntry(reg);
    return adjust(reg, isSurcharge ? amount : -amount, label);
}

QByteArray Keyboard::adjust(Register &reg, qint64 cents, const QString &label) {
    if (!reg.receiptOpen())
        return fail(reg, "6C");
    if (!reg.roomFor(1))
        return fail(reg, "29");
    Register::Document &doc = reg.m_doc;
    auto &sale = doc.lastSale;
    if (cents < 0 && -cents > (sale ? sale->amount : doc.total))
        return fail(reg, "70");
    if (doc.total + cents > 999999999)
        return fail(reg, "7E");
    if (sale) {
        doc.vat[size_t(sale->rate)] += cents;
        doc.total += cents;
        sale->amount += cents;
    } else {
        reg.shareAmongRates(cents);
    }
    if (cents < 0)
        doc.corrections -= cents;
    // The void of the last item would leave its discount behind.
    reg.m_keys.lastSale.reset();
    doc.lines << Paper::row(label, paperAmount(cents));
    reg.setDisplay(cents < 0 ? QStringLiteral("SCONTO") : QStringLiteral("MAGG."),
                   paperAmount(cents).rightJustified(kDisplayWidth));
    return reg.ok({wireAmount(doc.total)});
}

QByteArray Keyboard::voidLastItem(Register &reg) {
    KeyboardState &k = reg.m_keys;
    resetEntry(reg);
    if (!reg.receiptOpen())
        return fail(reg, "6C");
    if (!k.lastSale)
        return fail(reg, "6E");
    if (!reg.roomFor(1))
        return fail(reg, "29");
    const KeyboardState::Sale sale = *k.lastSale;
    k.lastSale.reset();
    reg.m_doc.lastSale.reset();
    reg.m_doc.total -= sale.amount;
    reg.m_doc.vat[size_t(sale.rate)] -= sale.amount;
    reg.m_doc.corrections += sale.amount;
    reg.m_doc.lines << Paper::row(QStringLiteral("STORNO ") + sale.description, paperAmount(-sale.amount));
    reg.setDisplay(QStringLiteral("STORNO"), paperAmount(-sale.amount).rightJustified(kDisplayWidth));
    return reg.ok({wireAmount(reg.m_doc.total)});
}

QByteArray Keyboard::cashIn(Register &reg) {
    KeyboardState &k = reg.m_keys;
    if (reg.receiptOpen())
        return fail(reg, "14");
    const auto a = entryValue(k.entry, 2, true);
    if (!a || *a == 0)
        return fail(reg, "18");
    resetEntry(reg);
    if (reg.m_doc.kind == Register::DocKind::NonFiscal)
        reg.closeDocument();
    ++k.cashIns;
    ++reg.m_totals.nonFiscal;
    ++reg.m_nonFiscalNumber;
    reg.printNonFiscal({Paper::row(QStringLiteral("IMPORTO"), paperAmount(*a))},
                       QStringLiteral("VERSAMENTO DI CASSA"));
    reg.setDisplay(QStringLiteral("VERSAMENTO"), paperAmount(*a).rightJustified(kDisplayWidth));
    return reg.ok();
}

} // namespace ecrsim
