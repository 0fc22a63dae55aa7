#include "programming/SParameters.h"

#include "commands/CommandLanguage.h"
#include "programming/FieldText.h"
#include "programming/WriteProcedure.h"

#include <cmath>

namespace norvvelm {

namespace {

QStringList both(const char *no, const char *yes) {
    return {QString::fromUtf8(no), QString::fromUtf8(yes)};
}

} // namespace

const std::array<QStringList, SParameters::kFlags> &SParameters::flagItems() {
    static const std::array<QStringList, kFlags> items = {
        both("Normal", "Thin"),
        both("No Print BitMaps", "Print BitMaps"),
        both("Top Bitmap Single Size", "Top Bitmap Double Size"),
        both("Bottom BitMap Single Size", "Bottom BitMap Double Size"),
        both("No Print departments on Z report ", "Print departments on Z report "),
        both("No Drawer Open", "Drawer Open"),
        both("No Drawer open prints receipt ", "Drawer open prints receipt "),
        both("No Clear PLU stats on Z report", "Clear PLU stats on Z report"),
        both("No Print quantities on receipt ", "Print quantities on receipt "),
        both("No Print PLU codes in receipts", "Print PLU codes in receipts"),
        both("No Check QTY x AMOUNT result for range", "Check QTY x AMOUNT result for range"),
        both("No message for negative stock", "Gives message for negative stock"),
        both("No Check PLU codes for special leading codes", "Check PLU codes for special leading codes"),
        both("No Activate ONLINE communication", "Activate ONLINE communication"),
        both("No Activate online client search ", "Activate online client search "),
        both("No Search local item database if online search replies 'not found'",
             "Search local item database if online search replies 'not found'"),
        both("No print vat analysis ", "print vat analysis"),
        QStringList{QStringLiteral("No activate clerks "), QStringLiteral("activate clerks"),
                    QStringLiteral("activate clerks for every sale")},
        both("No Automatically print comments ", "Automatically print comments "),
        both("No Print bar-chart or numeric on statistics", "Print bar-chart or numeric on statistics"),
        both("No Check discount/markup limit", "Check discount/markup limit"),
        both("No Prints VAT in PLU", "Prints VAT in PLU"),
        both("No Print logo", "Print logo"),
        both("No Prints VAT in PLU ", "Prints VAT in PLU "),
        both("No Print second quantity ", "Print second quantity "),
        both("No Check zero sales from PC", "Check zero sales from PC "),
    };
    return items;
}

QString SParameters::defaultAnswer() {
    return QStringLiteral("00/00/01/00001100001000000001000000/999999.99/999999.999/1000000.00/99999999.99/"
                          "0.00/0.00/0.00/1/CASSA -1/27/27/27/27/27/27/27/27/27/29/29/29/29/29/29/29/29/29/"
                          "8/0/76");
}

int SParameters::defaultFlag(int flag) {
    return parse(defaultAnswer()).flags.at(size_t(flag));
}

const std::array<QString, SParameters::kMaximums> &SParameters::maximumLabels() {
    static const std::array<QString, kMaximums> labels = {QStringLiteral("Maximum sale price"),
                                                          QStringLiteral("Maximum sale quantity"),
                                                          QStringLiteral("Maximum receipt total"),
                                                          QStringLiteral("Maximum daily sales total"),
                                                          QStringLiteral("Maximum Bonus "),
                                                          QStringLiteral("Maximum discount/markup amount "),
                                                          QString::fromUtf8("Maximum cashier’s amount")};
    return labels;
}

const std::array<int, SParameters::kMaximums> &SParameters::maximumDigits() {
    static const std::array<int, kMaximums> digits = {7, 8, 9, 8, 3, 3, 8};
    return digits;
}

SRecord SParameters::parse(const QString &answer) {
    const QStringList f = AnswerFields(answer);
    const auto field = [&](int i) { return i <= f.size() ? f.at(i - 1) : QStringLiteral("0"); };
    SRecord r;
    const QString flags = field(1);
    for (int j = 0; j < kFlags; ++j) {
        const QChar c = j < flags.size() ? flags.at(j) : QChar();
        const int index = c >= u'0' && c <= u'9' ? c.unicode() - u'0' : 0;
        // An index the list does not have leaves the flag without a selection.
        r.flags[size_t(j)] = index < flagItems().at(size_t(j)).size() ? index : -1;
    }
    for (int m = 0; m < kMaximums; ++m) {
        const QString t = field(2 + m);
        const qsizetype dot = t.indexOf(u'.');
        const double v = std::trunc(LeadingNumber(dot < 0 ? t : t.left(dot)));
        r.maximums[size_t(m)] = DecimalText(v);
    }
    r.stationId = field(9).trimmed();
    r.stationName = field(10).trimmed();
    for (int i = 0; i < kLeading; ++i) {
        r.weightLeading[size_t(i)] = field(11 + i).trimmed();
        r.priceLeading[size_t(i)] = field(20 + i).trimmed();
    }
    r.printIntensity = field(29).trimmed();
    r.payRateCode = field(30).trimmed();
    return r;
}

QString SParameters::writeCommand(const SRecord &r) {
    QString line = QStringLiteral("S/");
    for (const int f : r.flags)
        line += QString::number(f < 0 ? 0 : f % 10);
    for (const QString &m : r.maximums)
        line += u'/' + m.trimmed();
    line += u'/' + LastCharacters(r.stationId, 3);
    line += u'/' + LastCharacters(r.stationName, 8);
    for (const QString &w : r.weightLeading)
        line += u'/' + LastCharacters(w, 2);
    for (const QString &p : r.priceLeading)
        line += u'/' + LastCharacters(p, 2);
    line += u'/' + LastCharacters(r.printIntensity, 3);
    line += u'/' + LastCharacters(r.payRateCode, 2);
    return line + u'/';
}

bool SParameters::read(SRecord &record) {
    if (m_procedure.link().send(QStringLiteral("s/")) != 0)
        return false;
    record = parse(m_procedure.link().answer());
    return true;
}

bool SParameters::write(const SRecord &record) {
    m_procedure.link().send(writeCommand(record));
    return m_procedure.report(QStringLiteral("Errore in scarico parametri S"),
                              QStringLiteral("Parametri S scaricati"));
}

} // namespace norvvelm
