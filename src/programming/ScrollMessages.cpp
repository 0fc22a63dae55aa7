#include "programming/ScrollMessages.h"

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
    if (selected >= 0 && selected < kCount) {
        message = texts.value(selected).trimmed();
        ProfileFile(m_procedure.link().iniPath()).writeString(kSection, key(selected), message);
    }
    m_procedure.link().send(command(message));
    return m_procedure.report(QStringLiteral("Errore in scarico messaggio scorrevole"),
                              QStringLiteral("Messaggio Scorrevole scaricato") + u'\r' +
                                  QStringLiteral("Ricordarsi di attivarlo"));
}

QStringList ScrollMessages::reload() const {
    const ProfileFile ini(m_procedure.link().iniPath());
    QStringList out;
    for (int i = 0; i < kCount; ++i)
        out << ini.getString(kSection, key(i), QString(), kReadBuffer);
    return out;
}

} // namespace norvvelm
