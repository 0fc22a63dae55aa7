// ecrsim: the simulated fiscal register on a pseudo-terminal or a TCP port.
//
//   ecrsim --pty PATH | --tcp PORT [--serial SN] [--fault RULE]... [--answer-delay MS] [--char-delay MS]
//          [--paper FILE|-] [--log FILE] [--state FILE] [--logos DIR] [--print-logos]
//          [--q520 [--q520-online] [--q520-paper N] [--q520-answer CODE[*N][@PREFIX]]...]
//   ecrsim -h | --help | -V | --version
//
// Serves until SIGTERM or SIGINT and removes PATH when it ends. --tcp serves
// one client at a time on the loopback interface, as a serial device server
// in raw mode; port 0 takes a free one, said on standard error. Lines on
// standard input control it while it runs (see Control.h).

#include "ecrsim/Control.h"
#include "ecrsim/PtyServer.h"
#include "ecrsim/Q520Register.h"
#include "ecrsim/Register.h"
#include "ecrsim/SimLink.h"
#include "ecrsim/TcpServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace {
const char kDescription[] = "Simulated fiscal register on a pseudo-terminal or a TCP port.\n"
                            "\n"
                            "Lines on standard input control it while it runs:\n"
                            "  fault RULE        script a fault, as --fault\n"
                            "  clear             drop every scripted fault, paper and cover conditions too\n"
                            "  paper out|in|low  the roll runs out | a new roll | near its end\n"
                            "  cover open|close  the roll's cover\n"
                            "  disconnect MS     the port disappears and comes back after MS\n"
                            "  logos print on|off, logos clear\n"
                            "  q520 online 0|1, q520 paper N, q520 answer CODE[*N][@PREFIX]\n"
                            "  quit              end the program";

int g_signalPipe[2] = {-1, -1};
void onSignal(int) {
    const char c = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &c, 1);
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ecrsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(NORVVELM_VERSION_STRING));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    // -V for the version, as every program of the package takes it.
    const QCommandLineOption helpOpt({QStringLiteral("h"), QStringLiteral("help")},
                                     QStringLiteral("Show this text."));
    const QCommandLineOption versionOpt({QStringLiteral("V"), QStringLiteral("version")},
                                        QStringLiteral("Show the version."));
    parser.addOption(helpOpt);
    parser.addOption(versionOpt);
    const QCommandLineOption ptyOpt(QStringLiteral("pty"), QStringLiteral("Link PATH to the terminal."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption tcpOpt(QStringLiteral("tcp"),
                                    QStringLiteral("Serve on this TCP port of the loopback interface "
                                                   "instead of a terminal (0: a free one)."),
                                    QStringLiteral("PORT"));
    const QCommandLineOption serialOpt(QStringLiteral("serial"), QStringLiteral("Serial number."),
                                       QStringLiteral("SN"));
    const QCommandLineOption faultOpt(QStringLiteral("fault"),
                                      QStringLiteral("Scripted fault (repeatable), e.g. enq:can, "
                                                     "frame:nak*2, answer:short, answer:pause=5,600, "
                                                     "busy*3, refuse=14, serious=37, paperbit*2, "
                                                     "paperlow, paperout, coveropen; a lost answer: "
                                                     "lose=3/#60 carries out the 60th line beginning "
                                                     "with 3/ and never answers it, hold=5/,1500 "
                                                     "answers the next 5/ 1.5 s late."),
                                      QStringLiteral("RULE"));
    const QCommandLineOption delayOpt(QStringLiteral("answer-delay"),
                                      QStringLiteral("Milliseconds before each answer."),
                                      QStringLiteral("MS"));
    const QCommandLineOption charOpt(QStringLiteral("char-delay"),
                                     QStringLiteral("Milliseconds between answer characters."),
                                     QStringLiteral("MS"));
    const QCommandLineOption q520Opt(QStringLiteral("q520"), QStringLiteral("Behave as the Q520 model."));
    const QCommandLineOption q520OnlineOpt(
        QStringLiteral("q520-online"),
        QStringLiteral("Q520: on-line mode active (flag in the answer to s/)."));
    const QCommandLineOption q520PaperOpt(QStringLiteral("q520-paper"),
                                          QStringLiteral("Q520: the next N answers carry the paper bit."),
                                          QStringLiteral("N"));
    const QCommandLineOption q520AnswerOpt(
        QStringLiteral("q520-answer"),
        QStringLiteral("Q520: answer the next N lines (starting with PREFIX) "
                       "with error CODE, e.g. 0E*41@3/ (repeatable). "
                       "A NUL in place of ACK: --fault frame:byte=0."),
        QStringLiteral("CODE[*N][@PREFIX]"));
    parser.addOptions({ptyOpt, tcpOpt, serialOpt, faultOpt, delayOpt, charOpt, q520Opt, q520OnlineOpt,
                       q520PaperOpt, q520AnswerOpt});
    const QCommandLineOption paperOpt(QStringLiteral("paper"),
                                      QStringLiteral("Append every printed document to FILE (UTF-8; - for "
                                                     "standard output)."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption logOpt(QStringLiteral("log"),
                                    QStringLiteral("Append every command line taken and its answer, "
                                                   "separated by a tab, to FILE."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption stateOpt(
        QStringLiteral("state"),
        QStringLiteral("Keep the programmed tables (header, footer, VAT rates, "
                       "departments, PLUs, payments, messages, S record) in FILE "
                       "across runs."),
        QStringLiteral("FILE"));
    const QCommandLineOption logosOpt(QStringLiteral("logos"),
                                      QStringLiteral("Write each complete logo to DIR as logo1.pbm or "
                                                     "logo2.pbm."),
                                      QStringLiteral("DIR"));
    const QCommandLineOption printLogosOpt(QStringLiteral("print-logos"),
                                           QStringLiteral("Print the logos at the top of each receipt."));
    parser.addOption(paperOpt);
    parser.addOption(logOpt);
    parser.addOption(stateOpt);
    parser.addOption(logosOpt);
    parser.addOption(printLogosOpt);
    if (!parser.parse(QCoreApplication::arguments())) {
        fprintf(stderr, "ecrsim: %s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(helpOpt)) {
        // The program's own name, not the path it was started by.
        QString help = parser.helpText();
        help.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")), QStringLiteral("Usage: ecrsim"));
        fputs(qPrintable(help), stdout);
        return 0;
    }
    if (parser.isSet(versionOpt)) {
        puts("ecrsim " NORVVELM_VERSION_STRING);
        return 0;
    }

    if (parser.isSet(ptyOpt) == parser.isSet(tcpOpt)) {
        fprintf(stderr, "ecrsim: one of --pty PATH and --tcp PORT is required\n");
        return 2;
    }
    bool portOk = true;
    const uint tcpPort = parser.isSet(tcpOpt) ? parser.value(tcpOpt).toUInt(&portOk) : 0;
    if (!portOk || tcpPort > 65535) {
        fprintf(stderr, "ecrsim: --tcp takes a port number from 0 to 65535\n");
        return 2;
    }

    std::unique_ptr<ecrsim::Register> model;
    if (parser.isSet(q520Opt)) {
        auto q520 = std::make_unique<ecrsim::Q520Register>();
        q520->onLine = parser.isSet(q520OnlineOpt);
        q520->paperAnswers = parser.value(q520PaperOpt).toInt();
        for (const QString &rule : parser.values(q520AnswerOpt)) {
            QString error;
            if (!q520->addScriptedAnswer(rule, &error)) {
                fprintf(stderr, "ecrsim: %s\n", qPrintable(error));
                return 2;
            }
        }
        model = std::move(q520);
    } else {
        model = std::make_unique<ecrsim::Register>();
    }
    ecrsim::Register &reg = *model;
    if (parser.isSet(serialOpt))
        reg.identity.serial = parser.value(serialOpt).toLatin1();
    if (parser.isSet(paperOpt)) {
        QString error;
        if (!reg.paper().setFile(parser.value(paperOpt), &error)) {
            fprintf(stderr, "ecrsim: %s\n", qPrintable(error));
            return 2;
        }
    }
    if (parser.isSet(stateOpt)) {
        QString error;
        if (!reg.setStateFile(parser.value(stateOpt), &error)) {
            fprintf(stderr, "ecrsim: %s\n", qPrintable(error));
            return 2;
        }
    }
    if (parser.isSet(logosOpt)) {
        QString error;
        if (!reg.logos().setFolder(parser.value(logosOpt), &error)) {
            fprintf(stderr, "ecrsim: %s\n", qPrintable(error));
            return 2;
        }
    }
    reg.logos().printOnReceipts = parser.isSet(printLogosOpt);
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
    for (const QString &rule : parser.values(faultOpt)) {
        QString error;
        if (!link.addFaultRule(rule, &error)) {
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

    if (parser.isSet(tcpOpt)) {
        ecrsim::TcpServer server(link, quint16(tcpPort));
        QString error;
        if (!server.start(&error)) {
            fprintf(stderr, "ecrsim: %s\n", qPrintable(error));
            return 1;
        }
        ecrsim::Control control(link, server);
        control.listen(STDIN_FILENO);
        fprintf(stderr, "ecrsim: serving tcp://127.0.0.1:%u\n", unsigned(server.port()));
        const int rc = app.exec();
        server.stop();
        return rc;
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
