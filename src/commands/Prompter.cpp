#include "commands/Prompter.h"

#include <cstdio>

namespace norvvelm {

namespace {
void writeOut(const QString &title, const QString &text) {
    QString flat = text;
    flat.replace(QStringLiteral("\r\n"), QStringLiteral(" / "));
    flat.replace(u'\r', QStringLiteral(" / "));
    flat.replace(u'\n', QStringLiteral(" / "));
    WriteConsoleLine(stderr, title.isEmpty() ? flat : title + QStringLiteral(": ") + flat);
}

QString answerName(Prompter::Answer a) {
    switch (a) {
    case Prompter::Answer::Ok:
        return QStringLiteral("OK");
    case Prompter::Answer::Cancel:
        return QStringLiteral("Annulla");
    case Prompter::Answer::Yes:
        return QStringLiteral("S\u00ec");
    case Prompter::Answer::No:
        return QStringLiteral("No");
    }
    return {};
}
} // namespace

void WriteConsoleLine(FILE *to, const QString &text) {
    const QByteArray out = text.toUtf8() + '\n';
    fwrite(out.constData(), 1, size_t(out.size()), to);
    fflush(to);
}

void StderrPrompter::message(const QString &text, const QString &title, Icon) {
    writeOut(title, text);
}

Prompter::Answer StderrPrompter::ask(const QString &text, const QString &title, Icon, Buttons, Answer,
                                     Answer safe) {
    writeOut(title, text + QStringLiteral(" -> ") + answerName(safe));
    return safe;
}

} // namespace norvvelm
