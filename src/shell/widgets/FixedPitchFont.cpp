#include "shell/widgets/FixedPitchFont.h"

#include <QFontDatabase>
#include <QFontMetricsF>

namespace norvvelm {

QStringList FixedPitchFamilies() {
    return {QStringLiteral("Courier New"), QStringLiteral("Liberation Mono"),
            QStringLiteral("DejaVu Sans Mono")};
}

QStringView FixedPitchSample() {
    static const QString sample = [] {
        QString s;
        for (char16_t c = 0x20; c < 0x7f; ++c)
            s.append(QChar(c));
        s.append(u"\u00e0\u00e8\u00e9\u00ec\u00f2\u00f9\u20ac");
        return s;
    }();
    return sample;
}

bool HasOneAdvance(const QFont &font, QStringView sample) {
    const QFontMetricsF m(font);
    if (sample.isEmpty())
        return true;
    const qreal first = m.horizontalAdvance(sample.front());
    if (first <= 0)
        return false;
    for (const QChar c : sample) {
        if (!m.inFontUcs4(c.unicode()) || m.horizontalAdvance(c) != first)
            return false;
    }
    return true;
}

QFont FixedPitchFont(qreal scale) {
    const qreal size = QFont().pointSizeF() * scale;
    for (const QString &family : FixedPitchFamilies()) {
        QFont f(family);
        f.setStyleHint(QFont::TypeWriter);
        f.setFixedPitch(true);
        if (size > 0)
            f.setPointSizeF(size);
        if (HasOneAdvance(f))
            return f;
    }
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (size > 0)
        f.setPointSizeF(size);
    return f;
}

} // namespace norvvelm
