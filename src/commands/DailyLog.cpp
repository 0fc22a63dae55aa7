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
    return ServerFolder(s.settings().config(), s.settings().programDir());
}
} // namespace

QString dailylog::LogNamePart(const QString &maskName) {
    // Dots and spaces at either end would hide the file ("*.txt" gives
    // ".txt") or blur where its name ends; whatever the mask, they go.
    const auto loose = [](QChar c) { return c == u'.' || c.isSpace(); };
    qsizetype from = 0;
    qsizetype to = maskName.size();
    while (from < to && loose(maskName.at(from)))
        ++from;
    while (to > from && loose(maskName.at(to - 1)))
        --to;
    const QString part = maskName.mid(from, to - from);
    return part.isEmpty() ? QStringLiteral("VELM") : part;
}

QString dailylog::FileName(const Session &s) {
    const QString prefix = LogNamePart(s.dailyLog().logPrefix());
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
    if (!s.settings().logEnabled())
        return;
    const QString name = dailylog::FileName(s);
    QFile f(name);
    const auto failed = [&] {
        if (s.dailyLog().failing())
            return;
        s.dailyLog().setFailing(true);
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
    if (s.dailyLog().failing()) {
        s.dailyLog().setFailing(false);
        s.statusBar().setMessage(QStringLiteral("Registro giornaliero"),
                                 QStringLiteral("Registro giornaliero di nuovo scritto: ") +
                                     QDir::toNativeSeparators(name));
    }
}

QString LogFileExplanation() {
    return QStringList{
        QStringLiteral("Il file di log si trova nella stessa directory degli scontrini del server. "),
        QStringLiteral("Il suo nome dipende dalla regola di identificazione del file :"),
        QStringLiteral(
            "  1) se il file e' unico si chiama come il file di attesa, con postfisso = giorno.log."),
        QStringLiteral(
            "  2) se si usa una mascheratura del tipo *nomefile allora si chiama come la parte di"),
        QStringLiteral("     mascheratura dei files, con postfisso = giorno.log."),
        QStringLiteral("  3) se si e' usata una mascheratura globale '*' allora si chiamer\u00e0 VELM "),
        QStringLiteral("     sempre con postfisso = giorno.log."),
    }
        .join(u'\r');
}

} // namespace norvvelm
