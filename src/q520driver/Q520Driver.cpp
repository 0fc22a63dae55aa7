#include "q520driver/Q520Driver.h"

#include "q520driver/Q520Platform.h"
#include "q520driver/Q520Port.h"
#include "q520driver/Q520Prompter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace q520 {

namespace {

const QString kAttenzione = QStringLiteral("ATTENZIONE");
const QString kCannotGoOn = QStringLiteral("\n\nImpossibile continuare.");

// "j/" keeps its code, its first three fields and a final "0/".
QString cutCustomerLine(const QString &line) {
    const QStringList parts = line.split(u'/');
    QString out = QStringLiteral("j/");
    for (int i = 1; i <= 3; ++i)
        out += (i < parts.size() ? parts.at(i) : QString()) + u'/';
    return out + QStringLiteral("0/");
}

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

} // namespace

struct Driver::FileWork {
    bool receiptOpen = false;
    bool totalsRequested = false;
    bool totalsDone = false;
    int lineCounter = 0;
    int retries = 0;
    bool complete = true; // every line reached the register and was accepted
};

Driver::Driver(const QString &homeFolder, Port *port, Prompter *prompter, QObject *parent)
    : QObject(parent), m_home(homeFolder), m_port(port), m_prompter(prompter) {
    m_timer.setSingleShot(false);
    connect(&m_timer, &QTimer::timeout, this, [this] { serveReceiptFile(); });
    connect(m_port, &Port::readyRead, this, &Driver::onReadyRead);
    m_receiver.log = [this](const QString &text) { m_log.write(text); };
}

Driver::~Driver() {
    m_abort = true;
    closeDown();
}

QString Driver::noCommunicationMessage() {
    return QStringLiteral(
        "Comunicazione impossibile !\n\nCassa spenta o \nCavo interrotto o\n Velocità errata");
}

bool Driver::start() {
    if (m_running || m_starting || m_working)
        return m_running;
    const SettingsResult read = readSettings(m_home);
    if (!read.ok) {
        m_prompter->message(read.message, kAttenzione, Prompter::Icon::Information);
        return false;
    }
    m_settings = read.settings;
    m_log.setPath(m_settings.logPath(), m_settings.logEnabled);
    if (m_settings.logEnabled)
        QDir().mkpath(m_settings.logFolder); // a missing log folder would lose every line
    m_starting = true;
    m_abort = false;
    raiseProcessPriority();

    QString failure;
    QString error;
    if (!m_port->open(m_settings.portDevice, m_settings.baudRate, &error)) {
        m_log.write(QStringLiteral("Apertura della porta ") + m_settings.portDevice +
                    QStringLiteral(" non riuscita : ") + error);
        failure = QStringLiteral("Porta seriale già in uso !");
    } else if (!presenceTest()) {
        failure = noCommunicationMessage();
    } else {
        // The register refuses work from the PC while its on-line mode is active:
        // the answer to "s/" carries that flag at its 23rd character.
        QString answer;
        if (exchangeFrame(QByteArrayLiteral("s/"), &answer) != Reply::Answer)
            failure = noCommunicationMessage();
        else if (answer.size() >= 23 && answer.at(22) == u'1')
            failure = QStringLiteral("Comunicazione impossibile !\n\nOn Line Attivo !");
    }
    m_starting = false;
    if (m_abort) { // "Ferma" while starting
        closeDown();
        return false;
    }
    if (!failure.isEmpty()) {
        closeDown();
        m_log.write(QString(failure).replace(u'\n', u' ').simplified());
        m_prompter->message(failure, kAttenzione, Prompter::Icon::Critical);
        return false;
    }
    m_running = true;
    m_timer.start(m_timing.pollMs);
    emit runningChanged(true);
    return true;
}

void Driver::stop() {
    m_abort = true;
    emit wakeUp();
    const bool was = m_running;
    closeDown();
    if (was)
        emit runningChanged(false);
}

void Driver::closeDown() {
    m_timer.stop();
    m_running = false;
    if (m_port->isOpen())
        m_port->close();
    m_messages.clear();
    m_receiver.clear();
    restoreProcessPriority();
}

void Driver::onReadyRead() {
    const QList<Message> arrived = m_receiver.feed(m_port->readAll());
    for (const Message &m : arrived) {
        if (m.kind == Message::Kind::Answer)
            m_port->write(QByteArray(1, kAck));
        else if (m.kind == Message::Kind::Nak)
            m_log.write(QStringLiteral("Ricevuto NAK, probabile comando inviato errato : ") +
                        visibleBytes(m_lastCommand));
        m_messages.enqueue(m);
    }
    if (!arrived.isEmpty())
        emit wakeUp();
}

bool Driver::waitMessage(int ms, Message *out) {
    if (m_messages.isEmpty() && !m_abort && m_port->isOpen()) {
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(this, &Driver::wakeUp, &loop, &QEventLoop::quit);
        limit.start(ms);
        while (m_messages.isEmpty() && !m_abort && limit.isActive())
            loop.exec();
    }
    if (m_abort || m_messages.isEmpty())
        return false;
    *out = m_messages.dequeue();
    return true;
}

void Driver::pause(int ms) {
    if (ms <= 0 || m_abort)
        return;
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &Driver::wakeUp, &loop, [&] {
        if (m_abort)
            loop.quit();
    });
    limit.start(ms);
    while (!m_abort && limit.isActive())
        loop.exec();
}

bool Driver::presenceTest() {
    m_messages.clear();
    m_port->write(QByteArray(1, kCan));
    QCoreApplication::processEvents();
    m_messages.clear();
    m_port->write(QByteArray(1, kEnq));
    Message m;
    if (!waitMessage(m_timing.presenceMs, &m))
        return false;
    return m.kind == Message::Kind::Ack;
}

Driver::Reply Driver::exchangeFrame(const QByteArray &line, QString *answer) {
    m_messages.clear();
    m_lastCommand = buildFrame(line);
    m_port->write(m_lastCommand);
    Message m;
    if (!waitMessage(m_timing.replyMs, &m))
        return Reply::Silent;
    if (m.kind == Message::Kind::Nak)
        return Reply::Nak;
    // After the ACK comes the answer; an answer without its ACK is taken too.
    QDeadlineTimer deadline(m_timing.answerMs);
    while (m.kind != Message::Kind::Answer) {
        if (!waitMessage(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())), &m))
            return Reply::Silent;
    }
    *answer = m.text;
    return Reply::Answer;
}

void Driver::show(const QString &text, bool critical) {
    if (!m_abort)
        m_prompter->message(text, kAttenzione,
                            critical ? Prompter::Icon::Critical : Prompter::Icon::Information);
}

Driver::Outcome Driver::fail(const QString &text) {
    m_log.write(text);
    show(text + kCannotGoOn);
    return Outcome::Stop;
}

bool Driver::serveReceiptFile() {
    if (!m_running || m_working)
        return false;
    const QString path = m_settings.receiptPath();
    if (!QFileInfo(path).isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false; // tried again at the next tick
    const QByteArray raw = file.readAll();
    file.close();

    m_timer.stop();
    m_working = true;
    FileWork work;
    const QStringList lines = decodeReceiptText(raw).split(u'\n');
    for (QString line : lines) {
        if (m_abort) {
            work.complete = false;
            break;
        }
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (!line.endsWith(u'/'))
            line += u'/';
        const QString code = line.left(2);
        work.retries = 0;
        ++work.lineCounter;
        if (code == u"U/") {
            work.receiptOpen = true;
        } else if (code == u"j/") {
            line = cutCustomerLine(line);
            work.receiptOpen = true;
            --work.lineCounter;
        } else if (code == u"2/") {
            work.receiptOpen = true;
            --work.lineCounter;
        } else if (code == u"3/" || code == u"4/" || code == u"5/") {
            work.receiptOpen = true;
            if (work.lineCounter == 2)
                pause(m_timing.secondSaleMs);
        } else if (code == u"7/" || code == u"w/" || code == u"m/") {
            if (work.receiptOpen) {
                const QString text =
                    u'"' + code + QStringLiteral("\" - Comando non gestito con scontrino aperto !");
                m_log.write(text);
                show(text);
                work.complete = false;
                continue;
            }
        } else if (code == u"0/") {
            if (!work.totalsRequested)
                QFile::remove(m_settings.totalsPath()); // old totals are never read as new ones
            work.totalsRequested = true;
        } else {
            const QString text = u'"' + code + QStringLiteral("\" - Comando non gestito !");
            m_log.write(text);
            show(text);
            work.complete = false;
            break;
        }
        const Outcome outcome = sendLine(line, work);
        if (outcome == Outcome::NotSent)
            work.complete = false;
        if (outcome == Outcome::Stop) {
            work.complete = false;
            break;
        }
    }
    m_working = false;
    QCoreApplication::processEvents();
    finishFile(path, work.complete);
    if (m_running)
        m_timer.start(m_timing.pollMs);
    return true;
}

Driver::Outcome Driver::sendLine(const QString &line, FileWork &work) {
    const QString code = line.left(2);
    const QByteArray bytes = toAnsi(line);
    if (bytes.size() > kMaxCommandLength)
        return fail(QStringLiteral("Comando '") + code + QStringLiteral("' - Riga troppo lunga (") +
                    QString::number(bytes.size()) + QStringLiteral(" caratteri, al massimo ") +
                    QString::number(kMaxCommandLength) + u')');
    for (;;) {
        if (m_abort)
            return Outcome::Stop;
        if (!presenceTest()) {
            if (m_abort)
                return Outcome::Stop;
            m_log.write(QStringLiteral("Comando '") + code +
                        QStringLiteral("' - Nessun ACK all'ENQ, cassa assente"));
            show(noCommunicationMessage());
            return Outcome::Stop;
        }
        QString answer;
        const Reply reply = exchangeFrame(bytes, &answer);
        if (m_abort)
            return Outcome::Stop;
        if (reply == Reply::Silent) {
            const QByteArray partial = m_receiver.pending();
            if (!partial.isEmpty())
                m_log.write(QStringLiteral("Ricevuto messaggio incompleto: ") + visibleBytes(partial));
            m_receiver.clear();
            return fail(QStringLiteral("Comando '") + code +
                        QStringLiteral("' - Nessuna risposta dalla cassa : ") + visibleBytes(m_lastCommand));
        }
        if (reply == Reply::Nak) {
            if (m_prompter->askYesNo(QStringLiteral("Annullo Stampa in corso ?"),
                                     QStringLiteral("Scontrino Errato")))
                return Outcome::Stop;
            return Outcome::NotSent;
        }
        bool numeric = false;
        const int status = answer.mid(3, 2).toInt(&numeric);
        if (numeric && status >= 0 && status <= 7 && (status & 4)) {
            if (!m_prompter->confirm(QStringLiteral("Sostituire rotolo scontrino poi premere OK"),
                                     kAttenzione, Prompter::Icon::Information) ||
                m_abort)
                return Outcome::Stop;
            continue;
        }
        if (answer.size() < 2 || !isHexDigit(answer.at(0)) || !isHexDigit(answer.at(1)))
            return fail(QStringLiteral("Comando '") + code + QStringLiteral("' - Risposta non valida : ") +
                        visibleText(answer));
        const QString error = answer.left(2);
        if (error == u"00") {
            if (work.totalsRequested && !work.totalsDone) {
                work.totalsDone = true;
                if (!writeTotals(answer))
                    return fail(QStringLiteral("Impossibile scrivere il file dei totali ") +
                                m_settings.totalsPath());
            }
            pause(m_timing.afterLineMs);
            return Outcome::Sent;
        }
        if (error == u"2C") {
            pause(m_timing.afterLineMs);
            return Outcome::Sent;
        }
        if (error == u"0E") {
            if (++work.retries > m_timing.busyRetries) {
                m_log.write(QStringLiteral("Comando '") + code + QStringLiteral("' - Cassa occupata dopo ") +
                            QString::number(m_timing.busyRetries) +
                            QStringLiteral(" tentativi, riga abbandonata : ") + visibleText(line));
                return Outcome::NotSent;
            }
            pause(m_timing.busyRetryMs);
            continue;
        }
        if (error == u"68") {
            if (!m_prompter->confirm(QStringLiteral("Probabile pagamento in corso. Verificare cassa."),
                                     kAttenzione, Prompter::Icon::Information) ||
                m_abort)
                return Outcome::Stop;
            continue;
        }
        return fail(QStringLiteral("Comando '") + code + QStringLiteral("' - Errore N. ") +
                    QString::number(errorNumber(error)));
    }
}

bool Driver::writeTotals(const QString &answer) {
    static const QStringList kLabels = {
        QStringLiteral("IVA 1 = "),          QStringLiteral("IVA 2 = "),
        QStringLiteral("IVA 3 = "),          QStringLiteral("IVA 4 = "),
        QStringLiteral("IVA 5 = "),          QStringLiteral("TOTALE VENDITE = "),
        QStringLiteral("SCONTRINI = "),      QStringLiteral("NON FISCALI = "),
        QStringLiteral("TOTALE STORNI = "),  QStringLiteral("TOTALE RESI = "),
        QStringLiteral("TOTALE ANNULLI = "),
    };
    QString text;
    const QString data = answer.mid(9);
    qsizetype from = 0;
    for (const QString &label : kLabels) {
        const qsizetype slash = data.indexOf(u'/', from);
        if (slash < 0)
            break;
        text += label + data.mid(from, slash - from) + u'\n';
        from = slash + 1;
    }
    QSaveFile file(m_settings.totalsPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return false;
    file.write(toAnsi(text));
    return file.commit();
}

void Driver::finishFile(const QString &path, bool complete) {
    if (complete) {
        if (QFile::remove(path) || !QFileInfo::exists(path))
            return;
    } else {
        // Lines that did not reach the register stay readable for the operator,
        // and the file is never worked again under its own name.
        const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QString kept = path + u'.' + stamp + QStringLiteral(".err");
        for (int n = 2; QFileInfo::exists(kept); ++n)
            kept = path + u'.' + stamp + u'-' + QString::number(n) + QStringLiteral(".err");
        if (QFile::rename(path, kept)) {
            m_log.write(QStringLiteral("File scontrino non completato, conservato come ") +
                        QFileInfo(kept).fileName());
            return;
        }
        if (QFile::remove(path) || !QFileInfo::exists(path))
            return;
    }
    // A file that stays would be sent again at the next tick: the driver stops.
    const QString text = QStringLiteral("Impossibile cancellare il file scontrino ") + path;
    m_log.write(text);
    stop();
    m_abort = false;
    m_prompter->message(text + kCannotGoOn, kAttenzione, Prompter::Icon::Critical);
}

} // namespace q520
