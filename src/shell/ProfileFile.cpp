#include "shell/ProfileFile.h"

#include "link/Ansi.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace norvvelm {

ProfileFile::Text ProfileFile::read() const {
    Text t;
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly))
        return t;
    const QByteArray bytes = f.readAll();
    if (bytes.contains("\r\n"))
        t.eol = QStringLiteral("\r\n");
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString asUtf8 = utf8.decode(bytes);
    // Plain ASCII reads the same either way; keep writing what was there.
    t.utf8 = !utf8.hasError() && asUtf8.size() != bytes.size();
    QString text = utf8.hasError() ? fromAnsi(bytes) : asUtf8;
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.endsWithEol = text.isEmpty() || text.endsWith(u'\n');
    if (text.endsWith(u'\n'))
        text.chop(1);
    if (!text.isEmpty())
        t.lines = text.split(u'\n');
    return t;
}

bool ProfileFile::lineIsSection(const QString &line, QString *name) {
    const QString s = line.trimmed();
    if (!s.startsWith(u'['))
        return false;
    const qsizetype close = s.indexOf(u']');
    if (close < 0)
        return false;
    *name = s.mid(1, close - 1).trimmed();
    return true;
}

bool ProfileFile::lineIsKey(const QString &line, QString *key, QString *value) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq < 0)
        return false;
    *key = line.left(eq).trimmed();
    if (key->isEmpty() || key->startsWith(u';'))
        return false;
    *value = line.mid(eq + 1).trimmed();
    return true;
}

QString ProfileFile::getString(const QString &section, const QString &key, const QString &defaultValue,
                               int bufferSize) const {
    const Text t = read();
    QString value = defaultValue;
    bool inSection = false;
    bool found = false;
    for (const QString &line : t.lines) {
        QString name, k, v;
        if (lineIsSection(line, &name)) {
            if (found)
                break;
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (inSection && lineIsKey(line, &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            // A value in matching quotes is read without them.
            if (v.size() >= 2 &&
                ((v.startsWith(u'"') && v.endsWith(u'"')) || (v.startsWith(u'\'') && v.endsWith(u'\''))))
                v = v.mid(1, v.size() - 2);
            value = v;
            found = true;
            break;
        }
    }
    if (bufferSize > 0)
        value.truncate(bufferSize - 1);
    else
        value.clear();
    value.replace(QChar(u'\0'), QChar(u' '));
    return value.trimmed();
}

QStringList ProfileFile::keys(const QString &section) const {
    QStringList out;
    bool inSection = false;
    for (const QString &line : read().lines) {
        QString name, k, v;
        if (lineIsSection(line, &name))
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
        else if (inSection && lineIsKey(line, &k, &v))
            out.append(k);
    }
    return out;
}

bool ProfileFile::replaceInSection(QStringList &lines, const QString &section, const QString &key,
                                   const QString &value, qsizetype *sectionLine, qsizetype *lastInSection) {
    *sectionLine = -1; // the first section of that name
    *lastInSection = -1;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString name, k, v;
        if (lineIsSection(lines[i], &name)) {
            if (*sectionLine >= 0 && inSection)
                break;
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            if (inSection) {
                *sectionLine = i;
                *lastInSection = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!lines[i].trimmed().isEmpty())
            *lastInSection = i;
        if (lineIsKey(lines[i], &k, &v) && k.compare(key, Qt::CaseInsensitive) == 0) {
            lines[i] = k + u'=' + value; // the stored spelling of the key stays
            return true;
        }
    }
    return false;
}

void ProfileFile::setValue(QStringList &lines, const QString &section, const QString &key,
                           const QString &value) {
    qsizetype sectionLine = -1;
    qsizetype lastInSection = -1;
    if (replaceInSection(lines, section, key, value, &sectionLine, &lastInSection))
        return;
    const QString entry = key + u'=' + value;
    if (sectionLine >= 0) {
        lines.insert(lastInSection + 1, entry);
        return;
    }
    if (!lines.isEmpty() && !lines.last().trimmed().isEmpty())
        lines.append(QString());
    lines.append(u'[' + section + u']');
    lines.append(entry);
}

bool ProfileFile::write(const Text &t) const {
    QString text = t.lines.join(t.eol);
    if (t.endsWithEol)
        text += t.eol;
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(t.utf8 ? text.toUtf8() : toAnsi(text));
    return out.commit();
}

bool ProfileFile::writeString(const QString &section, const QString &key, const QString &value) const {
    Text t = read();
    setValue(t.lines, section, key, value);
    return write(t);
}

} // namespace norvvelm
