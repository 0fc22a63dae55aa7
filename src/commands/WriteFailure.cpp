#include "commands/WriteFailure.h"

#include "commands/Session.h"

#include <QDir>

namespace norvvelm {

StatusTexts WriteFailureTexts(const QString &what, const QString &path) {
    return {QStringLiteral("Errore di scrittura"), QStringLiteral("Impossibile scrivere ") + what +
                                                       QStringLiteral(": ") + QDir::toNativeSeparators(path)};
}

void ReportWriteFailure(Session &session, const QString &what, const QString &path) {
    const StatusTexts texts = WriteFailureTexts(what, path);
    session.statusBar().setMessage(texts.type, texts.message);
}

} // namespace norvvelm
