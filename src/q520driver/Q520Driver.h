#pragma once

#include "q520driver/Q520Log.h"
#include "q520driver/Q520Protocol.h"
#include "q520driver/Q520Settings.h"

#include <QObject>
#include <QQueue>
#include <QTimer>

#include <functional>

namespace q520 {

class Port;
class Prompter;

// Every time and count of the driver's work, in milliseconds.
struct Timing {
    int presenceMs = 1000;  // ACK to the enquiry of the presence test
    int replyMs = 2000;     // ACK or NAK to a command frame
    int answerMs = 5000;    // the answer after the ACK
    int afterLineMs = 50;   // pause after an accepted line
    int busyRetryMs = 50;   // pause before sending a line again on "0E"
    int busyRetries = 40;   // "0E" answers taken before the line is given up
    int secondSaleMs = 500; // pause before a sale line that is the file's second line
    int pollMs = 1000;      // receipt timer
};

// The driver without its window: settings, start and stop, the receive
// handler, the receipt file's rules, the totals file and the log.
class Driver : public QObject {
    Q_OBJECT
public:
    Driver(const QString &homeFolder, Port *port, Prompter *prompter, QObject *parent = nullptr);
    ~Driver() override;

    void setTiming(const Timing &timing) { m_timing = timing; }
    const Timing &timing() const { return m_timing; }

    // "Avvia": reads the settings, opens the port, tests the register; true
    // when the receipt timer runs.
    bool start();
    // "Ferma": timer off, port closed. Work on a file in progress ends at its
    // next wait and the file is kept.
    void stop();
    bool isRunning() const { return m_running; }
    bool isWorking() const { return m_working; }

    // One tick of the receipt timer; true when a receipt file was there and worked.
    bool serveReceiptFile();

    QString homeFolder() const { return m_home; }
    const Settings &settings() const { return m_settings; }
    const Log &log() const { return m_log; }

    static QString noCommunicationMessage();

signals:
    void runningChanged(bool running);
    // Internal: a message arrived or the work must end; wakes every wait.
    void wakeUp();

private:
    enum class Reply { Answer, Nak, Silent };
    enum class Outcome { Sent, NotSent, Stop };
    struct FileWork;

    void onReadyRead();
    void closeDown();
    bool presenceTest();
    Reply exchangeFrame(const QByteArray &line, QString *answer);
    bool waitMessage(int ms, Message *out);
    void pause(int ms);
    void show(const QString &text, bool critical = true);
    Outcome sendLine(const QString &line, FileWork &work);
    Outcome fail(const QString &text);
    bool writeTotals(const QString &answer);
    void finishFile(const QString &path, bool complete);

    QString m_home;
    Port *m_port;
    Prompter *m_prompter;
    Settings m_settings;
    Log m_log;
    Timing m_timing;
    Receiver m_receiver;
    QQueue<Message> m_messages;
    QTimer m_timer;
    QByteArray m_lastCommand;
    bool m_running = false;
    bool m_starting = false;
    bool m_working = false;
    bool m_abort = false;
};

} // namespace q520
