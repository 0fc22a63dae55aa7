#include "commands/DailyLog.h"

#include "commands/Session.h"
#include "link/Ansi.h"

#include <QFile>

namespace norvvelm {

namespace {
QString column(const QString &text, int width) {
    return text.left(width).leftJustified(width, u' ');
}

// The server folder with its separator, or the program's own folder when the
// configured one is too short to name anything.
QString folderOf(const Session &s) {
    QString folder = s.config().ServerDir;
    if (folder.size() <= 1)
        folder = s.programDir();
    if (!folder.endsWith(u'/') && !folder.endsWith(u'\\'))
        folder += u'/';
    return folder;
}
} // namespace

QString dailylog::FileName(const Session &s) {
    QString prefix = s.logPrefix().trimmed();
    if (prefix.isEmpty())
        prefix = QStringLiteral("VELM");
    return folderOf(s) + prefix + u' ' + s.now().toString(QStringLiteral("yyyyMMdd")) +
           QStringLiteral(".log");
}

QString dailylog::FormatLine(const QString &timestamp, const QString &command, const QString &answer) {
    return column(timestamp, 19) + QStringLiteral(" - ") + column(command, 50) + QStringLiteral(" - ") +
           column(answer, 150);
}

void WriteLogLine(const Session &s, const QString &answer, const QString &command) {
    if (answer.endsWith(QLatin1String("26")))
        return;
    if (!s.logEnabled())
        return;
    QFile f(dailylog::FileName(s));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString line =
        dailylog::FormatLine(s.now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), command, answer);
    // Control characters would break the fixed layout of the file.
    QString clean = line;
    for (QChar &c : clean) {
        if (c.unicode() < 0x20)
            c = u' ';
    }
    f.write(toAnsi(clean) + "\r\n");
}

} // namespace norvvelm
