#include "programming/FieldText.h"

#include "programming/TableLink.h"

#include "link/SerialFunz2.h"

#include <cmath>

namespace norvvelm {

bool IsLinkFailure(int status) {
    return link::noAnswer(status);
}

QString LastCharacters(const QString &text, int limit) {
    const QString t = text.trimmed();
    if (t.size() <= limit)
        return t;
    return t.right(limit).trimmed();
}

double LeadingNumber(const QString &text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < n && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    bool digits = false;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
        ++i;
        digits = true;
    }
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && text[i] >= u'0' && text[i] <= u'9') {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return 0;
    bool ok = false;
    const double v = text.mid(start, i - start).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
}

QString DecimalText(double value) {
    if (!std::isfinite(value) || value == 0)
        return QStringLiteral("0");
    QString s = QString::number(value, 'g', 15);
    if (s.contains(u'e'))
        s = QString::number(value, 'f', 15);
    if (s.contains(u'.')) {
        while (s.endsWith(u'0'))
            s.chop(1);
        if (s.endsWith(u'.'))
            s.chop(1);
    }
    if (s.startsWith(QLatin1String("0.")))
        s.remove(0, 1);
    else if (s.startsWith(QLatin1String("-0.")))
        s.remove(1, 1);
    return s;
}

} // namespace norvvelm
