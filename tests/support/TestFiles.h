#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTest>

namespace testsupport {

inline void writeFile(const QString &path, const QByteArray &bytes) {
    QFile f(path);
    QVERIFY2(f.open(QIODevice::WriteOnly), qPrintable(path));
    f.write(bytes);
}

inline QByteArray readFile(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The newest outcome file of a receipt file's name in `folder`, as a till's
// program finds it: "<name>.R<id>.json" of the highest id; empty when none.
inline QString newestOutcomeFile(const QString &folder, const QString &name) {
    const QString prefix = name + QStringLiteral(".R");
    QString newest;
    qulonglong highest = 0;
    for (const QString &f : QDir(folder).entryList({prefix + QStringLiteral("*.json")}, QDir::Files)) {
        bool ok = false;
        const qulonglong id = f.mid(prefix.size(), f.size() - prefix.size() - 5).toULongLong(&ok);
        if (ok && id > highest) {
            highest = id;
            newest = folder + u'/' + f;
        }
    }
    return newest;
}

} // namespace testsupport
