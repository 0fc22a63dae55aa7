#include "programming/ScrollMessages.h"

#include "commands/WriteFailure.h"
#include "programming/WriteProcedure.h"
#include "shell/ProfileFile.h"

namespace norvvelm {

namespace {
const QString kSection = QStringLiteral("Messaggi");
QString key(int row) {
    return QStringLiteral("Msg") + QString::number(row + 1);
}
} // namespace

QString ScrollMessages::command(const QString &message) {
    return QStringLiteral("o/") + message + u'/';
}

bool ScrollMessages::send(const QStringList &texts, int selected) {
    QString message;
    bool stored = true;
    if (selected >= 0 && selected < kCount) {
        message = texts.value(selected).trimmed();
        stored = ProfileFile(m_procedure.link().iniPath()).writeString(kSection, key(selected), message);
    }
    m_procedure.link().send(command(message));
    const bool sent = m_procedure.report(QStringLiteral("Errore in scarico messaggio scorrevole"),
                                         QStringLiteral("Messaggio Scorrevole scaricato") + u'\r' +
                                             QStringLiteral("Ricordarsi di attivarlo"));
    // After the send, whose exchange clears the status bar.
    if (!stored)
        ReportWriteFailure(m_procedure.link().session, QStringLiteral("la copia del messaggio scorrevole"),
                           m_procedure.link().iniPath());
    return sent;
}

QStringList ScrollMessages::reload() const {
    const ProfileFile ini(m_procedure.link().iniPath());
    QStringList out;
    for (int i = 0; i < kCount; ++i)
        out << ini.getString(kSection, key(i), QString(), kReadBuffer);
    return out;
}

} // namespace norvvelm
