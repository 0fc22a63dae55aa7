#include "commands/SequentialItems.h"

#include "link/Ansi.h"

namespace norvvelm {

namespace {
bool endsItem(QChar c) {
    return c == u',' || c == u'\n' || c == u'\r';
}

// From `i` to the item's end (a comma, a line end, the text's end).
qsizetype toItemEnd(const QString &text, qsizetype i) {
    while (i < text.size() && !endsItem(text[i]))
        ++i;
    return i;
}

// One item from `i` (its leading blanks skipped); `i` moves past its end.
QString readItem(const QString &text, qsizetype &i) {
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    QString item;
    if (i < n && text[i] == u'"') {
        const qsizetype close = text.indexOf(u'"', i + 1);
        const qsizetype end = close < 0 ? n : close;
        item = text.mid(i + 1, end - i - 1);
        i = toItemEnd(text, close < 0 ? n : close + 1);
    } else {
        const qsizetype start = i;
        i = toItemEnd(text, i);
        item = text.mid(start, i - start).trimmed();
    }
    if (i < n && text[i] == u'\r' && i + 1 < n && text[i + 1] == u'\n')
        ++i;
    if (i < n)
        ++i; // the comma or line end
    return item;
}
} // namespace

QStringList ReadSequentialItems(const QString &text, qsizetype max) {
    QStringList items;
    qsizetype i = 0;
    while (i < text.size() && (max < 0 || items.size() < max))
        items.append(readItem(text, i));
    return items;
}

QStringList ReadSequentialFileItems(QByteArrayView content, qsizetype max) {
    return ReadSequentialItems(decodeTextFile(content), max);
}

} // namespace norvvelm
