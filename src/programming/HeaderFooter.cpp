#include "programming/HeaderFooter.h"

#include "commands/Prompter.h"
#include "commands/WriteFailure.h"
#include "programming/WriteProcedure.h"
#include "shell/ProfileFile.h"

namespace norvvelm {

namespace {

const QString kSection = QStringLiteral("Intestazioni");
constexpr int kAlignRight = 1, kAlignCentre = 2; // 0 is left

PrintRow rowAt(const QList<PrintRow> &rows, int i) {
    return i < rows.size() ? rows.at(i) : PrintRow{};
}

} // namespace

QString HeaderFooter::fontCode(int mode) {
    return mode >= 0 && mode <= 3 ? QString::number(mode + 1) : QStringLiteral("0");
}

int HeaderFooter::lineWidth(int mode) {
    return mode == 2 || mode == 3 ? 16 : 32;
}

QString HeaderFooter::layOut(const QString &text, int align, int width) {
    const QString t = text.trimmed();
    const QString blanks(width, u' ');
    if (align == kAlignRight)
        return QString(blanks + t).right(width);
    if (align == kAlignCentre) {
        const int p = (width - int(t.size())) / 2;
        if (p >= 1)
            return QString(QString(p, u' ') + t + blanks).left(width);
    }
    return QString(t + blanks).left(width);
}

QString HeaderFooter::headerCommand(const QList<PrintRow> &rows) {
    QString line = QStringLiteral("H/");
    for (int i = 0; i < kHeaderRows; ++i) {
        const PrintRow r = rowAt(rows, i);
        const QString laid = layOut(r.text, r.align, lineWidth(r.mode));
        line += fontCode(r.mode) + u'/';
        // A blank header row goes as an empty field.
        line += (laid.trimmed().isEmpty() ? QString() : laid) + u'/';
    }
    return line;
}

QString HeaderFooter::footerCommand(const QList<PrintRow> &rows) {
    QString line = QStringLiteral("F/");
    for (int i = 0; i < kFooterRows; ++i) {
        const PrintRow r = rowAt(rows, i);
        line += fontCode(r.mode) + u'/' + layOut(r.text, r.align, lineWidth(r.mode)) + u'/';
    }
    return line;
}

QString HeaderFooter::storedValue(const PrintRow &row) {
    // A list with nothing selected has no digit of its own: its first item's.
    const auto digit = [](int index) { return QString::number(index >= 0 && index <= 9 ? index : 0); };
    return digit(row.align) + digit(row.mode) + row.text.trimmed();
}

HeaderFooter::Restored HeaderFooter::restore(const QString &value) {
    Restored r;
    if (value.size() < 3)
        return r;
    const int a = value.at(0).unicode() - u'0';
    const int m = value.at(1).unicode() - u'0';
    if (a >= 0 && a <= 2)
        r.align = a;
    if (m >= 0 && m <= 3)
        r.mode = m;
    r.text = value.mid(2);
    return r;
}

bool HeaderFooter::store(const QList<PrintRow> &rows, int count, const QString &keyPrefix) {
    const ProfileFile ini(m_procedure.link().iniPath());
    bool written = true;
    for (int i = 0; i < count; ++i)
        written =
            ini.writeString(kSection, keyPrefix + QString::number(i + 1), storedValue(rowAt(rows, i))) &&
            written;
    return written;
}

void HeaderFooter::sayCopyLost(bool stored, const QString &what) {
    // After the send, whose exchange clears the status bar.
    if (!stored)
        ReportWriteFailure(m_procedure.link().session, what, m_procedure.link().iniPath());
}

bool HeaderFooter::writeHeader(const QList<PrintRow> &rows) {
    if (!m_procedure.confirm(QStringLiteral("L'intestazione degli scontrini si può cambiare un massimo di 60 "
                                            "volte. Confermare Operazione?")))
        return false;
    const QString line = headerCommand(rows);
    // Stored before the send, whatever its outcome.
    const bool stored = store(rows, kHeaderRows, QStringLiteral("Head"));
    m_procedure.link().send(line);
    const bool sent = m_procedure.report(QStringLiteral("Errore in scarico intestazione"),
                                         QStringLiteral("Intestazione Scaricata"));
    sayCopyLost(stored, QStringLiteral("la copia dell'intestazione"));
    return sent;
}

bool HeaderFooter::writeFooter(const QList<PrintRow> &rows) {
    const QString line = footerCommand(rows);
    const bool stored = store(rows, kFooterRows, QStringLiteral("Foot"));
    m_procedure.link().send(line);
    const bool sent = m_procedure.report(QStringLiteral("Errore in scarico intestazione Piede"),
                                         QStringLiteral("Piede di scontrino scaricato"));
    sayCopyLost(stored, QStringLiteral("la copia del piede di scontrino"));
    return sent;
}

QList<PrintRow> HeaderFooter::reload(QList<PrintRow> rows, const QString &keyPrefix) {
    m_procedure.prompter().message(QStringLiteral("Questa operazione non recupera i valori ") + u'\n' +
                                       QStringLiteral("dal Misuratore Fiscale ma dal file di ini"),
                                   QStringLiteral("Attenzione"), Prompter::Icon::Information);
    const ProfileFile ini(m_procedure.link().iniPath());
    for (int i = 0; i < rows.size(); ++i) {
        const Restored r =
            restore(ini.getString(kSection, keyPrefix + QString::number(i + 1), QString(), 256));
        if (r.align)
            rows[i].align = *r.align;
        if (r.mode)
            rows[i].mode = *r.mode;
        if (r.text)
            rows[i].text = *r.text;
    }
    return rows;
}

QList<PrintRow> HeaderFooter::reloadHeader(QList<PrintRow> rows) {
    rows.resize(kHeaderRows);
    return reload(std::move(rows), QStringLiteral("Head"));
}

QList<PrintRow> HeaderFooter::reloadFooter(QList<PrintRow> rows) {
    rows.resize(kFooterRows);
    return reload(std::move(rows), QStringLiteral("Foot"));
}

} // namespace norvvelm
