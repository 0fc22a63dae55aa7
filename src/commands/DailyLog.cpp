#include "commands/DailyLog.h"

#include "commands/Session.h"
#include "commands/WriteFailure.h"
#include "link/Ansi.h"

#include <QDir>

#include <QFile>

namespace norvvelm {

namespace {
QString column(const QString &text, int width) {
    return text.left(width).leftJustified(width, u' ');
}

QString folderOf(const Session &s) {
    return ServerFolder(s.config(), s.programDir());
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

void WriteLogLine(Session &s, const QString &answer, const QString &command) {
    if (answer.endsWith(QLatin1String("26")))
        return;
    if (!s.logEnabled())
        return;
    const QString name = dailylog::FileName(s);
    QFile f(name);
    const auto failed = [&] {
        if (s.dailyLogFailing())
            return;
        s.setDailyLogFailing(true);
        ReportWriteFailure(s, QStringLiteral("il registro giornaliero"), name);
    };
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) {
        failed();
        return;
    }
    const QString line =
        dailylog::FormatLine(s.now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), command, answer);
    // Control characters would break the fixed layout of the file.
    QString clean = line;
    for (QChar &c : clean) {
        if (c.unicode() < 0x20)
            c = u' ';
    }
    const QByteArray bytes = toAnsi(clean) + "\r\n";
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        failed();
        return;
    }
    if (s.dailyLogFailing()) {
        s.setDailyLogFailing(false);
        s.setPanel(1, QStringLiteral("Registro giornaliero"));
        s.setPanel(2, QStringLiteral("Registro giornaliero di nuovo scritto: ") +
                          QDir::toNativeSeparators(name));
    }
}

} // namespace norvvelm
