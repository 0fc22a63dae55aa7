#include "commands/ForbiddenExtensions.h"

#include "link/Ansi.h"

#include <QFile>

namespace norvvelm {

namespace {

// Items in the manner of sequential text input: leading blanks skipped; a
// quoted item runs to its closing quote; an unquoted one to the next comma or
// line end, trailing blanks dropped.
QStringList readItems(const QString &text, int max) {
    QStringList items;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && items.size() < max) {
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

} // namespace

ForbiddenExtensions ForbiddenExtensions::parse(QByteArrayView content) {
    ForbiddenExtensions t;
    const QStringList items = readItems(decodeTextFile(content), kMaxEntries);
    for (const QString &item : items) {
        QString entry;
        const qsizetype close = item.indexOf(u']');
        if (item.size() > 1 && item.startsWith(u'[') && close >= 1)
            entry = item.mid(1, close - 1);
        t.m_entries.append(entry);
        t.m_lookup.insert(entry.toLower());
    }
    return t;
}

ForbiddenExtensions ForbiddenExtensions::load(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return parse(f.readAll());
}

bool ForbiddenExtensions::forbids(const QString &fileName) const {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0 || m_lookup.isEmpty())
        return false;
    return m_lookup.contains(fileName.mid(dot + 1).toLower());
}

} // namespace norvvelm
