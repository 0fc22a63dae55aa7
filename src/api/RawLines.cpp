#include "api/RawLines.h"

#include "commands/CommandLanguage.h"
#include "link/Ansi.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace norvvelm {

namespace {

// What of a line the register cannot take as it is: a character outside
// Windows-1252 (half of one included), which the port would send as another.
QString untravelled(const QString &line) {
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        const bool pair = c.isHighSurrogate() && i + 1 < line.size() && line.at(i + 1).isLowSurrogate();
        const QString one = pair ? line.mid(i, 2) : QString(c);
        if (!c.isSurrogate() && fromAnsi(toAnsi(one)) == one)
            continue;
        const uint code = pair ? QChar::surrogateToUcs4(c, line.at(i + 1)) : c.unicode();
        return QStringLiteral("carattere U+%1 che la cassa non riceve")
            .arg(QString::number(code, 16).toUpper().rightJustified(4, u'0'));
    }
    return {};
}

} // namespace

RawLinesReading ReadRawLines(const QByteArray &body) {
    RawLinesReading r;
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &parse);
    if (parse.error != QJsonParseError::NoError) {
        r.error =
            QStringLiteral("JSON non valido al carattere %1: %2").arg(parse.offset).arg(parse.errorString());
        return r;
    }
    if (!doc.isObject()) {
        r.error = QStringLiteral("il corpo deve essere un oggetto JSON {\"lines\": [...]}");
        return r;
    }
    QJsonObject o = doc.object();
    const QJsonValue v = o.take(QStringLiteral("lines"));
    if (!o.isEmpty()) {
        r.error = QStringLiteral("righe: campo sconosciuto \"%1\"").arg(o.keys().first().left(40));
        return r;
    }
    if (!v.isArray()) {
        r.error = QStringLiteral("lines: deve essere un elenco di testi");
        return r;
    }
    const QJsonArray a = v.toArray();
    if (a.isEmpty() || a.size() > kMaxRawLines) {
        r.error = QStringLiteral("lines: da 1 a %1 righe, non %2").arg(kMaxRawLines).arg(a.size());
        return r;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        const QString where = QStringLiteral("lines[%1]: ").arg(i);
        if (!a.at(i).isString()) {
            r.error = where + QStringLiteral("deve essere un testo");
            return r;
        }
        const QString given = a.at(i).toString();
        if (given.trimmed().isEmpty()) {
            r.error = where + QStringLiteral("riga vuota");
            return r;
        }
        const QString line = CommandFileLine(given);
        QString problem = LineProblem(line);
        if (problem.isEmpty())
            problem = untravelled(line);
        if (!problem.isEmpty()) {
            r.error = where + problem;
            return r;
        }
        r.lines << line;
    }
    return r;
}

} // namespace norvvelm
