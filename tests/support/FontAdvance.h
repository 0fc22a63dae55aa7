#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QString>

namespace testsupport {

// The characters of the register's display and the monitor whose advance in
// `font` differs from that of "M", or that the font has no glyph for: empty
// when the text lines up in columns the way the user reads it.
inline QString unevenCharacters(const QFont &font) {
    QString sample =
        QStringLiteral("0123456789,.-*/:>= ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    sample += QStringView(u"\u00e0\u00e8\u00e9\u00ec\u00f2\u00f9\u20ac!?%()[]_|");
    const QFontMetricsF m(font);
    const qreal width = m.horizontalAdvance(u'M');
    QString uneven;
    for (const QChar c : sample)
        if (!m.inFontUcs4(c.unicode()) || m.horizontalAdvance(c) != width)
            uneven.append(c);
    return uneven;
}

} // namespace testsupport
