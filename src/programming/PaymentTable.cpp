#include "programming/PaymentTable.h"

#include "commands/CommandLanguage.h"
#include "programming/FieldText.h"
#include "programming/WriteProcedure.h"

namespace norvvelm {

QString PaymentTable::readCommand(int n) {
    return QStringLiteral("y/") + QString::number(n) + u'/';
}

QString PaymentTable::writeCommand(int n, const Payment &p) {
    QString flags;
    for (const int f : p.flags)
        flags += QString::number(f >= 0 && f <= 9 ? f : 0);
    const auto digit = [](int v) { return QString::number(v >= 0 && v <= 9 ? v : 0); };
    return QStringLiteral("Y/") + QString::number(n) + u'/' +
           LastCharacters(p.description, kDescriptionLimit) + u'/' +
           LastCharacters(p.shortDescription, kShortLimit) + u'/' + flags + u'/' +
           LastCharacters(p.rate, kCodeLimit) + u'/' + LastCharacters(p.markUp, kCodeLimit) + u'/' + u'/' +
           digit(p.active) + u'/' + digit(p.credit) + u'/';
}

void PaymentTable::parse(const QString &answer, Payment &p) {
    const QStringList f = AnswerFields(answer);
    // A field the answer lacks reads as "0".
    const auto field = [&](int i) { return i <= f.size() ? f.at(i - 1) : QStringLiteral("0"); };
    p.description = field(1).trimmed();
    p.shortDescription = field(2).trimmed();
    const QString flags = field(3);
    for (int k = 0; k < 8; ++k)
        p.flags[size_t(k)] = k < flags.size() && flags.at(k) == u'1' ? 1 : 0;
    p.rate = field(4).trimmed();
    p.change = field(8).trimmed();
    p.markUp = field(9).trimmed();
}

bool PaymentTable::read(const std::function<void(int, const QString &)> &row) {
    bool last = false;
    for (int n = 1; n <= kCount; ++n) {
        last = m_procedure.link().send(readCommand(n)) == 0;
        if (last && row)
            row(n, m_procedure.link().answer());
    }
    return last;
}

void PaymentTable::write(const QList<Payment> &payments) {
    WriteProcedure::Rows rows;
    rows.count = kCount;
    rows.line = [&](int r) -> QString { return writeCommand(r + 1, payments.value(r)); };
    rows.failure = [&](int r) -> QString {
        return QStringLiteral("Errore in scarico pagamento ") + payments.value(r).description.trimmed();
    };
    const auto out = m_procedure.sendRows(rows);
    m_procedure.closeRows(out, kCount, QStringLiteral("Tabella pagamenti scaricate"),
                          QStringLiteral("Errore in scarico pagamenti"));
}

} // namespace norvvelm
