#include "programming/PluTable.h"

#include "commands/CommandLanguage.h"
#include "link/SerialFunz2.h"
#include "programming/FieldText.h"
#include "programming/WriteProcedure.h"

namespace norvvelm {

const QStringList &PluTable::columnTitles() {
    static const QStringList titles = {QStringLiteral("BC"),    QStringLiteral("Descrizione"),
                                       QStringLiteral("Rep"),   QStringLiteral("Bonus"),
                                       QStringLiteral("Price"), QStringLiteral("Max Price"),
                                       QStringLiteral("Mag."),  QStringLiteral("FLAGS"),
                                       QStringLiteral("Vend."), QStringLiteral("Tot.Vend")};
    return titles;
}

QString PluTable::readCommand(int n) {
    return QStringLiteral("p/") + QString::number(n) + u'/';
}

QString PluTable::clearCommand(int n) {
    return QStringLiteral("P/") + QString::number(n) + QStringLiteral("////0/0/0/0/00000000/");
}

QString PluTable::writeCommand(int n, PluRow &row) {
    QString line = QStringLiteral("P/") + QString::number(n) + u'/';
    for (int c = 0; c < kWritten; ++c) {
        if (isNumeric(c))
            row[size_t(c)] = DecimalText(LeadingNumber(row[size_t(c)]));
        line += row[size_t(c)] + u'/';
    }
    return line;
}

PluRow PluTable::parse(const QString &answer) {
    const QStringList f = AnswerFields(answer);
    const auto text = [&](int i) { return f.value(i - 1).trimmed(); };
    const auto number = [&](int i) { return DecimalText(LeadingNumber(f.value(i - 1))); };
    PluRow r;
    r[0] = text(1);
    r[1] = text(2);
    r[2] = text(3);
    r[3] = text(4);
    r[7] = text(5);
    r[4] = number(7);
    r[5] = number(8);
    r[6] = number(9);
    r[8] = number(10);
    r[9] = number(11);
    return r;
}

QString PluTable::answerCode(const QString &answer) {
    return AnswerFields(answer).value(0).trimmed();
}

int PluTable::read(const std::function<void(int)> &progress,
                   const std::function<void(int, const PluRow &)> &row) {
    int n = 1;
    for (; n <= kMaxPlu; ++n) {
        if (progress)
            progress(n);
        if (m_procedure.link().send(readCommand(n)) != 0)
            break;
        const PluRow plu = parse(m_procedure.link().answer());
        if (plu[0].isEmpty())
            break;
        if (row)
            row(n, plu);
    }
    return n - 1;
}

PluTable::WriteOutcome PluTable::write(QList<PluRow> &rows, const std::function<void(int)> &progress,
                                       const std::function<void(int)> &changed) {
    WriteOutcome out;
    TableLink &link = m_procedure.link();
    WriteProcedure::Rows send;
    send.count = int(rows.size());
    send.progress = [&](int r) {
        if (progress)
            progress(r + 1);
    };
    send.line = [&](int r) {
        const QString line = writeCommand(r + 1, rows[r]);
        if (changed)
            changed(r);
        return line;
    };
    send.failure = [&](int r) -> QString { return QStringLiteral("Errore in scarico PLU ") + rows[r][0]; };
    const WriteProcedure::Outcome rowsOut = m_procedure.sendRows(send);
    out.written = rowsOut.sent - rowsOut.failed;
    out.failed = rowsOut.failed;
    out.stopped = rowsOut.stopped;

    // The sweep: PLUs the register still holds beyond the grid are cleared,
    // up to the table's last position.
    int empty = 0;
    for (int n = int(rows.size()) + 1; !out.stopped && n <= kMaxPlu && empty < kEmptyToStop; ++n) {
        if (progress)
            progress(n);
        const int status = link.send(readCommand(n));
        if (status != 0 || answerCode(link.answer()).isEmpty()) {
            if (IsLinkFailure(status)) {
                m_procedure.showFailure(QStringLiteral("Errore in lettura PLU ") + QString::number(n));
                out.stopped = true;
            }
            ++empty;
            continue;
        }
        empty = 0;
        if (m_link)
            m_link->WaitComData(5);
        if (link.send(clearCommand(n)) != 0) {
            ++out.failed;
            m_procedure.showFailure(QStringLiteral("Errore in cancellazione PLU ") + QString::number(n));
            out.stopped = IsLinkFailure(link.status());
            break;
        }
        out.cleared.append(n);
    }
    if (!out.stopped) {
        if (out.failed == 0)
            m_procedure.showSuccess(QStringLiteral("PLU scaricate"));
        else
            m_procedure.closeRows({out.written + out.failed, out.failed, false}, int(rows.size()),
                                  QStringLiteral("PLU scaricate"), QStringLiteral("Errore in scarico PLU"));
    }
    return out;
}

} // namespace norvvelm
