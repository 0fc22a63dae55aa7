#include "commands/SequentialItems.h"

#include "link/Ansi.h"

namespace norvvelm {

QStringList ReadSequentialItems(const QString &text, qsizetype max) {
    QStringList items;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (max < 0 || items.size() < max)) {
        while (i < n && (text[i] == u' ' || text[i] == u'\t'))
            ++i;
        QString item;
        if (i < n && text[i] == u'"') {
            const qsizetype close = text.indexOf(u'"', i + 1);
            const qsizetype end = close < 0 ? n : close;
            item = text.mid(i + 1, end - i - 1);
            i = close < 0 ? n : close + 1;
            while (i < n && text[i] != u',' && text[i] != u'\n' && text[i] != u'\r')
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && text[i] != u',' && text[i] != u'\n' && text[i] != u'\r')
                ++i;
            item = text.mid(start, i - start).trimmed();
        }
        if (i < n && text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
            ++i;
        if (i < n)
            ++i; // the comma or line end
        items.append(item);
    }
    return items;
}

QStringList ReadSequentialFileItems(QByteArrayView content, qsizetype max) {
    return ReadSequentialItems(decodeTextFile(content), max);
}

} // namespace norvvelm
