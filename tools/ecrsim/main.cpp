// ecrsim: the simulated fiscal register on a pseudo-terminal.
//
//   ecrsim --pty PATH [--serial SN] [--fault SPEC]... [--answer-delay MS] [--char-delay MS]
//          [--paper FILE|-] [--log FILE]
//
// Serves until SIGTERM or SIGINT and removes PATH when it ends. Lines on
// standard input control it while it runs (see Control.h).

#include "Control.h"
#include "PtyServer.h"
#include "Register.h"
#include "SimLink.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};
void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &c, 1);
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ecrsim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated fiscal register on a pseudo-terminal."));
    parser.addHelpOption();
    const QCommandLineOption ptyOpt(QStringLiteral("pty"), QStringLiteral("Link PATH to the terminal."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption serialOpt(QStringLiteral("serial"), QStringLiteral("Serial number."),
                                       QStringLiteral("SN"));
    const QCommandLineOption faultOpt(QStringLiteral("fault"),
                                      QStringLiteral("Scripted fault (repeatable), e.g. enq:can, "
                                                     "frame:nak*2, answer:short, answer:pause=5,600, "
                                                     "busy*3, refuse=14, serious=37, paperbit*2, "
                                                     "paperlow, paperout, coveropen."),
                                      QStringLiteral("SPEC"));
    const QCommandLineOption delayOpt(QStringLiteral("answer-delay"),
                                      QStringLiteral("Milliseconds before each answer."),
                                      QStringLiteral("MS"));
    const QCommandLineOption charOpt(QStringLiteral("char-delay"),
                                     QStringLiteral("Milliseconds between answer characters."),
                                     QStringLiteral("MS"));
    const QCommandLineOption paperOpt(QStringLiteral("paper"),
                                      QStringLiteral("Append every printed document to FILE (UTF-8; - for "
                                                     "standard output)."),
                                      QStringLiteral("FILE"));
    parser.addOptions({ptyOpt, serialOpt, faultOpt, delayOpt, charOpt});
    const QCommandLineOption logOpt(QStringLiteral("log"),
                                    QStringLiteral("Append every command line taken and its answer, "
                                                   "separated by a tab, to FILE."),
                                    QStringLiteral("FILE"));
    parser.addOption(paperOpt);
    parser.addOption(logOpt);
    parser.process(app);

    if (!parser.isSet(ptyOpt)) {
        fprintf(stderr, "ecrsim: --pty PATH is required\n");
        return 2;
    }

    ecrsim::Register reg;
    if (parser.isSet(serialOpt))
        reg.identity.serial = parser.value(serialOpt).toLatin1();
    if (parser.isSet(paperOpt)) {
        QString error;
        if (!reg.paper().setFile(parser.value(paperOpt), &error)) {
            fprintf(stderr, "ecrsim: %s\n", qPrintable(error));
            return 2;
        }
    }
    ecrsim::SimLink link(reg);
    link.setAnswerDelayMs(parser.value(delayOpt).toInt());
    link.setCharDelayMs(parser.value(charOpt).toInt());
    QFile commandLog(parser.value(logOpt));
    if (parser.isSet(logOpt)) {
        if (!commandLog.open(QIODevice::Append | QIODevice::Unbuffered)) {
            fprintf(stderr, "ecrsim: cannot write %s: %s\n", qPrintable(commandLog.fileName()),
                    qPrintable(commandLog.errorString()));
            return 2;
        }
        link.onCommand = [&commandLog](const QByteArray &line, const QByteArray &answer) {
            auto oneLine = [](QByteArray b) {
                return b.replace('\n', ' ').replace('\r', ' ').replace('\t', ' ');
            };
            commandLog.write(oneLine(line) + '\t' + oneLine(answer) + '\n');
        };
    }
    for (const QString &spec : parser.values(faultOpt)) {
        QString error;
        if (!link.addFaultSpec(spec, &error)) {
            fprintf(stderr, "ecrsim: %s\n", qPrintable(error));
            return 2;
        }
    }

    // Signals are caught before the port appears: whoever sees the link may
    // end the program at once, and it still cleans up.
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) == 0) {
        auto *sn = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(sn, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
        struct sigaction sa {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGTERM, &sa, nullptr);
        sigaction(SIGINT, &sa, nullptr);
    }

    ecrsim::PtyServer server(link, parser.value(ptyOpt));
    QString error;
    if (!server.start(&error)) {
        fprintf(stderr, "ecrsim: %s\n", qPrintable(error));
        return 1;
    }

    ecrsim::Control control(link, server);
    control.listen(STDIN_FILENO);

    fprintf(stderr, "ecrsim: serving %s -> %s\n", qPrintable(parser.value(ptyOpt)),
            qPrintable(server.devicePath()));
    const int rc = app.exec();
    server.stop();
    return rc;
}
