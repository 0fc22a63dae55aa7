#include "commands/ForbiddenExtensions.h"

#include "commands/SequentialItems.h"

#include <QFile>

namespace norvvelm {

ForbiddenExtensions ForbiddenExtensions::parse(QByteArrayView content) {
    ForbiddenExtensions t;
    const QStringList items = ReadSequentialFileItems(content, kMaxEntries);
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
