#include "app/widgets/DialogPickers.h"

#include <QDir>
#include <QFileDialog>
#include <QStringList>

namespace norvvelm {

QString DialogPickers::chooseFolder(const QString &title) {
    const QString dir = QFileDialog::getExistingDirectory(m_owner, title, QDir::homePath());
    if (dir.isEmpty())
        return {};
    // Roots keep their separator.
    const QString clean = QDir::cleanPath(dir);
    return QDir::toNativeSeparators(clean);
}

QString DialogPickers::dialogFilter(const QString &filter) {
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(u';', u' ');
        if (pattern.trimmed() == QLatin1String("*.*"))
            pattern = QStringLiteral("*");
        out.append(parts[i] + QStringLiteral(" (") + pattern + u')');
    }
    return out.join(QStringLiteral(";;"));
}

QString DialogPickers::chooseFile(const QString &filter) {
    return QFileDialog::getOpenFileName(m_owner, QString(), QDir::homePath(), dialogFilter(filter)).trimmed();
}

} // namespace norvvelm
