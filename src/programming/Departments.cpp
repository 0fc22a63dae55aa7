#include "programming/Departments.h"

#include "programming/WriteProcedure.h"

namespace norvvelm {

QString Departments::readCommand(int n) {
    return QStringLiteral("d/") + QString::number(n) + u'/';
}

QString Departments::writeCommand(int n, const Department &d) {
    const int rate = d.rate >= 0 && d.rate <= 9 ? d.rate : 0;
    return QStringLiteral("D/") + QString::number(n) + u'/' + d.description.trimmed() + u'/' +
           QString::number(rate) + QStringLiteral("//////");
}

Department Departments::parse(const QString &answer) {
    Department d;
    const qsizetype start = 9; // character 10
    const qsizetype slash = answer.indexOf(u'/', start);
    if (slash < 0) {
        d.description = answer.mid(start).trimmed();
        return d;
    }
    d.description = answer.mid(start, slash - start).trimmed();
    const QChar c = slash + 1 < answer.size() ? answer.at(slash + 1) : QChar();
    const int v = c >= u'0' && c <= u'9' ? c.unicode() - u'0' : 0;
    d.rate = v - 1 >= 0 ? v : 0;
    return d;
}

bool Departments::read(const std::function<void(int)> &before,
                       const std::function<void(int, const std::optional<Department> &)> &done) {
    bool last = false;
    for (int n = 1; n <= kCount; ++n) {
        if (before)
            before(n);
        last = m_procedure.link().send(readCommand(n)) == 0;
        if (done)
            done(n, last ? std::optional<Department>(parse(m_procedure.link().answer())) : std::nullopt);
    }
    return last;
}

void Departments::write(const QList<Department> &departments) {
    WriteProcedure::Rows rows;
    rows.count = kCount;
    rows.line = [&](int r) -> QString { return writeCommand(r + 1, departments.value(r)); };
    rows.failure = [](int) { return QStringLiteral("Errore in scarico Reparti"); };
    const auto out = m_procedure.sendRows(rows);
    m_procedure.closeRows(out, kCount, QStringLiteral("Reparti scaricati"),
                          QStringLiteral("Errore in scarico Reparti"));
}

} // namespace norvvelm
