#include "ecrsim/Tables.h"

#include "ecrsim/Register.h"
#include "ecrsim/Text.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace ecrsim {

namespace {

const char *const kPaymentNames[9] = {
    "CONTANTI", "ASSEGNI", "CREDITO", "CARTA DI CREDITO", "TICKET", "BANCOMAT", "BUONO", "SATISPAY", "ALTRO",
};

QString text(const QByteArray &field) {
    return fromCp1252(field);
}

bool digitsOnly(QByteArrayView v) {
    for (const char c : v) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

// Thousandths as the wire carries them: "12.5", "3", "-0.25".
QByteArray wireQuantity(qint64 thousandths) {
    const QByteArray sign = thousandths < 0 ? "-" : "";
    const qint64 a = std::llabs(thousandths);
    QByteArray s = QByteArray::number(a / 1000);
    if (const qint64 frac = a % 1000) {
        QByteArray f = QByteArray::number(frac).rightJustified(3, '0');
        while (f.endsWith('0'))
            f.chop(1);
        s += '.' + f;
    }
    return sign + s;
}

// The PLU's number: 1..9000.
std::optional<int> pluNumber(const QByteArray &field) {
    const auto v = parseFixed(field, 0);
    if (!v || *v < 1 || *v > Tables::kMaxPlu)
        return std::nullopt;
    return int(*v);
}

QString spread(const QString &t) {
    QString out;
    for (const QChar c : t)
        out += QString(c) + u' ';
    return out.left(32);
}

} // namespace

Tables::Tables() {
    const QStringList head = {QStringLiteral("NORVVELM DEMO SRL"), QStringLiteral("VIA DELLA PROVA 1"),
                              QStringLiteral("00100 ROMA (RM)"), QStringLiteral("P.IVA 01234567897")};
    for (int i = 0; i < head.size(); ++i) {
        const QString &h = head.at(i);
        header[size_t(i)].text = QString((32 - h.size()) / 2, u' ') + h;
    }
    const QString foot = QStringLiteral("GRAZIE E ARRIVEDERCI");
    footer[0].text = QString((32 - foot.size()) / 2, u' ') + foot;
    for (int i = 0; i < 20; ++i)
        departments[size_t(i)] = QStringLiteral("REPARTO %1").arg(i + 1);
    for (int i = 0; i < 9; ++i) {
        payments[size_t(i)].description = QString::fromLatin1(kPaymentNames[i]);
        payments[size_t(i)].shortDescription = QString::fromLatin1(kPaymentNames[i]).left(4);
    }
    payments[0].flags = "10000001"; // cash gives change and takes decimals
    sRecord = QByteArray("00001100001000000001000000/999999.99/999999.999/1000000.00/99999999.99/0.00/0.00/"
                         "0.00/1/CASSA -1/27/27/27/27/27/27/27/27/27/29/29/29/29/29/29/29/29/29/8/0")
                  .split('/');
}

namespace {
// Empty lines are not printed; double-width lines are spread over the roll.
template <typename Lines> QStringList printed(const Lines &lines) {
    QStringList out;
    for (const Tables::Line &l : lines) {
        if (l.text.trimmed().isEmpty())
            continue;
        out << (l.font == 3 || l.font == 4 ? spread(l.text) : l.text.left(32));
    }
    return out;
}
} // namespace

QStringList Tables::printedHeader() const {
    return printed(header);
}

QStringList Tables::printedFooter() const {
    return printed(footer);
}

int Tables::pluByCode(const QString &code) const {
    for (auto it = plus.cbegin(); it != plus.cend(); ++it) {
        if (it.value().code == code)
            return it.key();
    }
    return 0;
}

QJsonObject Tables::toJson() const {
    QJsonObject o;
    const auto lines = [](const auto &ls) {
        QJsonArray a;
        for (const Line &l : ls)
            a.append(QJsonObject{{QStringLiteral("font"), l.font}, {QStringLiteral("text"), l.text}});
        return a;
    };
    o.insert(QStringLiteral("header"), lines(header));
    o.insert(QStringLiteral("footer"), lines(footer));
    o.insert(QStringLiteral("headerChanges"), headerChanges);
    QJsonArray d;
    for (const QString &s : departments)
        d.append(s);
    o.insert(QStringLiteral("departments"), d);
    QJsonObject p;
    for (auto it = plus.cbegin(); it != plus.cend(); ++it) {
        const Plu &v = it.value();
        p.insert(QString::number(it.key()),
                 QJsonArray{v.code, v.description, v.department, QString::fromLatin1(v.bonus),
                            QString::fromLatin1(v.flags), double(v.price), double(v.maxPrice),
                            double(v.stock), double(v.sold), double(v.soldTotal)});
    }
    o.insert(QStringLiteral("plu"), p);
    QJsonArray pay;
    for (const Payment &v : payments)
        pay.append(QJsonArray{v.description, v.shortDescription, QString::fromLatin1(v.flags),
                              QString::fromLatin1(v.rate), QString::fromLatin1(v.markUp),
                              QString::fromLatin1(v.change), v.active, v.credit});
    o.insert(QStringLiteral("payments"), pay);
    o.insert(QStringLiteral("scrollMessage"), scrollMessage);
    o.insert(QStringLiteral("s"), QString::fromLatin1(sRecord.join('/')));
    return o;
}

bool Tables::fromJson(const QJsonObject &o) {
    Tables t;
    const auto lines = [&](const QString &key, auto &ls) {
        const QJsonArray a = o.value(key).toArray();
        for (qsizetype i = 0; i < a.size() && i < qsizetype(ls.size()); ++i) {
            const QJsonObject l = a.at(i).toObject();
            ls[size_t(i)] =
                Line{l.value(QStringLiteral("font")).toInt(1), l.value(QStringLiteral("text")).toString()};
        }
    };
    if (!o.contains(QStringLiteral("header")) || !o.value(QStringLiteral("payments")).isArray())
        return false;
    lines(QStringLiteral("header"), t.header);
    lines(QStringLiteral("footer"), t.footer);
    t.headerChanges = o.value(QStringLiteral("headerChanges")).toInt();
    const QJsonArray d = o.value(QStringLiteral("departments")).toArray();
    for (qsizetype i = 0; i < d.size() && i < 20; ++i)
        t.departments[size_t(i)] = d.at(i).toString();
    const QJsonObject p = o.value(QStringLiteral("plu")).toObject();
    for (auto it = p.begin(); it != p.end(); ++it) {
        bool ok = false;
        const int n = it.key().toInt(&ok);
        const QJsonArray a = it.value().toArray();
        if (!ok || n < 1 || n > kMaxPlu || a.size() < 10)
            return false;
        Plu v;
        v.code = a.at(0).toString();
        v.description = a.at(1).toString();
        v.department = a.at(2).toInt();
        v.bonus = a.at(3).toString().toLatin1();
        v.flags = a.at(4).toString().toLatin1();
        v.price = qint64(a.at(5).toDouble());
        v.maxPrice = qint64(a.at(6).toDouble());
        v.stock = qint64(a.at(7).toDouble());
        v.sold = qint64(a.at(8).toDouble());
        v.soldTotal = qint64(a.at(9).toDouble());
        t.plus.insert(n, v);
    }
    const QJsonArray pay = o.value(QStringLiteral("payments")).toArray();
    for (qsizetype i = 0; i < pay.size() && i < 9; ++i) {
        const QJsonArray a = pay.at(i).toArray();
        Payment &v = t.payments[size_t(i)];
        v.description = a.at(0).toString();
        v.shortDescription = a.at(1).toString();
        v.flags = a.at(2).toString().toLatin1();
        v.rate = a.at(3).toString().toLatin1();
        v.markUp = a.at(4).toString().toLatin1();
        v.change = a.at(5).toString().toLatin1();
        v.active = a.at(6).toInt();
        v.credit = a.at(7).toInt();
    }
    t.scrollMessage = o.value(QStringLiteral("scrollMessage")).toString();
    const QByteArrayList s = o.value(QStringLiteral("s")).toString().toLatin1().split('/');
    if (s.size() == kSFields)
        t.sRecord = s;
    *this = t;
    return true;
}

// ---------------------------------------------------------------- the register's side

void Register::installTables() {
    // Every change to a table is kept in the state file, when there is one.
    auto changing = [this](const char *code, QByteArray (Register::*fn)(const Command &)) {
        handle(code, [this, fn](const Command &c) {
            QByteArray a = (this->*fn)(c);
            if (a.startsWith("00/"))
                saveState();
            return a;
        });
    };
    auto reading = [this](const char *code, QByteArray (Register::*fn)(const Command &)) {
        handle(code, [this, fn](const Command &c) { return (this->*fn)(c); });
    };
    changing("H/", &Register::headerWrite);
    changing("F/", &Register::footerWrite);
    reading("d/", &Register::departmentRead);
    changing("D/", &Register::departmentWrite);
    reading("p/", &Register::pluRead);
    changing("P/", &Register::pluWrite);
    reading("y/", &Register::paymentRead);
    changing("Y/", &Register::paymentWrite);
    changing("o/", &Register::scrollMessageWrite);
    reading("s/", &Register::sRead);
    changing("S/", &Register::sWrite);
    changing("b/", &Register::vatWrite);
}

bool Register::setStateFile(const QString &path, QString *error) {
    QFile f(path);
    if (f.exists()) {
        if (!f.open(QIODevice::ReadOnly)) {
            if (error)
                *error = QStringLiteral("cannot read the state file %1: %2").arg(path, f.errorString());
            return false;
        }
        QJsonParseError pe{};
        const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &pe);
        const QJsonObject o = doc.object();
        Tables t;
        bool ok = doc.isObject() && t.fromJson(o.value(QStringLiteral("tables")).toObject());
        const QJsonArray rates = o.value(QStringLiteral("vatRates")).toArray();
        const QJsonArray depts = o.value(QStringLiteral("departmentRates")).toArray();
        ok = ok && rates.size() == 5 && depts.size() == kDepartments;
        if (!ok) {
            if (error)
                *error = QStringLiteral("%1 is not a state file of the simulated register").arg(path);
            return false;
        }
        tables = t;
        for (int i = 0; i < 5; ++i)
            m_rates[size_t(i)] = qint64(rates.at(i).toDouble());
        for (int i = 0; i < kDepartments; ++i)
            m_deptRate[size_t(i)] = qBound(1, depts.at(i).toInt(1), 5);
        m_vatChanges = o.value(QStringLiteral("vatChanges")).toInt();
    }
    m_stateFile = path;
    saveState();
    return true;
}

void Register::saveState() const {
    if (m_stateFile.isEmpty())
        return;
    QJsonArray rates, depts;
    for (const qint64 r : m_rates)
        rates.append(double(r));
    for (const int d : m_deptRate)
        depts.append(d);
    const QJsonObject o{{QStringLiteral("tables"), tables.toJson()},
                        {QStringLiteral("vatRates"), rates},
                        {QStringLiteral("departmentRates"), depts},
                        {QStringLiteral("vatChanges"), m_vatChanges}};
    QSaveFile f(m_stateFile);
    if (f.open(QIODevice::WriteOnly)) {
        f.write(QJsonDocument(o).toJson());
        f.commit();
    }
}

QByteArray Register::printLines(const Command &c, int count, bool header) {
    if (receiptOpen())
        return error("14");
    if (c.fields.size() < 1 + 2 * count)
        return error("01");
    std::array<Tables::Line, Tables::kHeaderLines> lines{};
    for (int i = 0; i < count; ++i) {
        const auto font = parseFixed(c.field(1 + 2 * i), 0);
        if (!font || *font > 4)
            return error("04");
        const QString t = text(c.field(2 + 2 * i));
        const int width = *font == 3 || *font == 4 ? 16 : 32;
        if (t.size() > width)
            return error("04");
        lines[size_t(i)] = {int(*font == 0 ? 1 : *font), t};
    }
    if (header) {
        if (tables.headerChanges >= Tables::kMaxHeaderChanges)
            return error("1D");
        ++tables.headerChanges;
        std::copy_n(lines.begin(), count, tables.header.begin());
    } else {
        std::copy_n(lines.begin(), count, tables.footer.begin());
    }
    return ok();
}

QByteArray Register::headerWrite(const Command &c) {
    return printLines(c, Tables::kHeaderLines, true);
}

QByteArray Register::footerWrite(const Command &c) {
    return printLines(c, Tables::kFooterLines, false);
}

QByteArray Register::departmentRead(const Command &c) {
    const auto n = parseFixed(c.field(1), 0);
    if (!n || *n < 1 || *n > kDepartments)
        return error("08");
    const int i = int(*n) - 1;
    return ok({toCp1252(tables.departments[size_t(i)]), QByteArray::number(m_deptRate[size_t(i)]), "0", "0",
               "0", "0"});
}

QByteArray Register::departmentWrite(const Command &c) {
    if (receiptOpen())
        return error("14");
    const auto n = parseFixed(c.field(1), 0);
    if (!n || *n < 1 || *n > kDepartments)
        return error("08");
    if (c.fields.size() < 4)
        return error("01");
    const QString d = text(c.field(2)).trimmed();
    const auto rate = parseFixed(c.field(3), 0);
    if (d.size() > 32)
        return error("04");
    if (!rate || *rate < 1 || *rate > 5)
        return error("09");
    tables.departments[size_t(*n - 1)] = d;
    m_deptRate[size_t(*n - 1)] = int(*rate);
    return ok();
}

QByteArray Register::pluRead(const Command &c) {
    const auto n = pluNumber(c.field(1));
    if (!n)
        return error("07");
    const auto it = tables.plus.constFind(*n);
    if (it == tables.plus.constEnd())
        return ok({"", "", "", "", "", "0", "0", "0", "0", "0", "0", "0", "0", "0"});
    const Tables::Plu &p = it.value();
    return ok({toCp1252(p.code), toCp1252(p.description), QByteArray::number(p.department), p.bonus, p.flags,
               "0", wireAmount(p.price), wireAmount(p.maxPrice), wireQuantity(p.stock), wireQuantity(p.sold),
               wireAmount(p.soldTotal), "0", "0", "0"});
}

QByteArray Register::pluWrite(const Command &c) {
    if (receiptOpen())
        return error("14");
    const auto n = pluNumber(c.field(1));
    if (!n)
        return error(parseFixed(c.field(1), 0) ? "22" : "07");
    if (c.fields.size() < 10)
        return error("01");
    const QString code = text(c.field(2)).trimmed();
    if (code.isEmpty()) {
        // An empty code clears the position.
        tables.plus.remove(*n);
        return ok();
    }
    Tables::Plu p;
    p.code = code;
    p.description = text(c.field(3)).trimmed();
    const auto dept = parseFixed(c.field(4), 0);
    const auto price = parseFixed(c.field(6), 2);
    const auto maxPrice = parseFixed(c.field(7), 2);
    const auto stock = parseFixed(c.field(8), 3);
    const QByteArray bonus = c.field(5).trimmed();
    const QByteArray flags = c.field(9).trimmed();
    if (code.size() > 13 || p.description.size() > 32)
        return error("04");
    if (!dept || *dept < 1 || *dept > kDepartments)
        return error("08");
    if (!price || !maxPrice || *price > 9999999 || *maxPrice > 9999999)
        return error("18");
    if (!stock || !parseFixed(bonus, 0) || flags.size() > 8 || !digitsOnly(flags))
        return error("04");
    if (const int other = tables.pluByCode(code); other != 0 && other != *n)
        return error("3E"); // the code is another PLU's
    p.department = int(*dept);
    p.bonus = bonus;
    p.flags = flags.leftJustified(8, '0');
    p.price = *price;
    p.maxPrice = *maxPrice;
    p.stock = *stock;
    if (const auto old = tables.plus.constFind(*n); old != tables.plus.constEnd() && old->code == code) {
        p.sold = old->sold; // the counters stay with the article
        p.soldTotal = old->soldTotal;
    }
    tables.plus.insert(*n, p);
    return ok();
}

QByteArray Register::paymentRead(const Command &c) {
    const auto n = parseFixed(c.field(1), 0);
    if (!n || *n < 1 || *n > kPayments)
        return error("0C");
    const Tables::Payment &p = tables.payments[size_t(*n - 1)];
    return ok({toCp1252(p.description), toCp1252(p.shortDescription), p.flags, p.rate,
               QByteArray::number(p.active), QByteArray::number(p.credit), "0", p.change, p.markUp, "0",
               "0"});
}

QByteArray Register::paymentWrite(const Command &c) {
    if (receiptOpen())
        return error("14");
    const auto n = parseFixed(c.field(1), 0);
    if (!n || *n < 1 || *n > kPayments)
        return error("0C");
    if (c.fields.size() < 10)
        return error("01");
    Tables::Payment p = tables.payments[size_t(*n - 1)];
    p.description = text(c.field(2)).trimmed();
    p.shortDescription = text(c.field(3)).trimmed();
    const QByteArray flags = c.field(4).trimmed();
    const QByteArray active = c.field(8).trimmed(), credit = c.field(9).trimmed();
    if (p.description.isEmpty() || p.description.size() > 8 || p.shortDescription.size() > 4)
        return error("04");
    if (flags.size() != 8 || !digitsOnly(flags) || !digitsOnly(active) || !digitsOnly(credit))
        return error("04");
    if (c.field(5).trimmed().size() > 4 || c.field(6).trimmed().size() > 4)
        return error("04");
    p.flags = flags;
    p.rate = c.field(5).trimmed();
    p.markUp = c.field(6).trimmed();
    p.active = active.toInt() ? 1 : 0;
    p.credit = credit.toInt() ? 1 : 0;
    tables.payments[size_t(*n - 1)] = p;
    return ok();
}

QByteArray Register::scrollMessageWrite(const Command &c) {
    if (c.fields.size() < 2 && !c.line.endsWith('/'))
        return error("01");
    const QString m = text(c.field(1));
    if (m.size() > 200)
        return error("04");
    tables.scrollMessage = m;
    return ok();
}

QByteArray Register::sRead(const Command &) {
    return ok(tables.sRecord);
}

QByteArray Register::sWrite(const Command &c) {
    if (receiptOpen())
        return error("14");
    if (c.fields.size() < 1 + Tables::kSFields)
        return error("01");
    if (c.fields.size() > 1 + Tables::kSFields)
        return error("02");
    QByteArrayList f = c.fields.mid(1);
    if (f.at(0).size() != 26 || !digitsOnly(f.at(0)))
        return error("04");
    for (int i = 1; i < Tables::kSFields; ++i) {
        f[i] = f.at(i).trimmed();
        // Every field but the station name is a number.
        if (i != 9 && !parseFixed(f.at(i), 3))
            return error("04");
    }
    tables.sRecord = f;
    return ok();
}

} // namespace ecrsim
