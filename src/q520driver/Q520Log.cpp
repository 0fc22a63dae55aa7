#include "q520driver/Q520Log.h"

#include "q520driver/Q520Prompter.h"

#include <QDateTime>
#include <QFile>

#include <cstdio>

namespace q520 {

void Log::write(const QString &text) const {
    if (!m_enabled || m_path.isEmpty())
        return;
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                         QStringLiteral(" - ") + text;
    file.write(line.toUtf8() + '\n');
}

void UnattendedPrompter::message(const QString &text, const QString &title, Icon) {
    QString flat = text;
    flat.replace(u'\n', u' ');
    std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(flat.simplified()));
}

bool UnattendedPrompter::confirm(const QString &text, const QString &title, Icon icon) {
    message(text, title, icon);
    return false;
}

bool UnattendedPrompter::askYesNo(const QString &text, const QString &title) {
    message(text + QStringLiteral(" Si"), title, Icon::Critical);
    return true;
}

} // namespace q520
