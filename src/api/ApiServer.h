#pragma once

#include "api/ApiMetrics.h"
#include "api/HttpServer.h"
#include "api/MonitorFeed.h"
#include "api/ReceiptBook.h"
#include "api/ReceiptReader.h"
#include "api/RegisterDirectory.h"
#include "commands/CommandLanguage.h"
#include "link/Deadlines.h"

#include <QDateTime>
#include <QHostAddress>
#include <QJsonValue>
#include <QObject>
#include <QPointer>

#include <functional>

namespace norvvelm {

class ReceiptBook;
class Session;
struct ReceiptQuery;

// The local HTTP interface, version 1: receipts submitted and followed to
// their outcome, the register's status, the monitor, the metrics, and the
// status page's files. Every request is judged hostile first: its Host must
// be this server's own address or localhost, a POST must carry the token and
// no foreign Origin, and on an address other than loopback every request
// carries the token.
class ApiServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxWaitMs = 30000;
    static constexpr int kMaxExpiresS = 86400; // a receipt may wait to start at most a day
    static constexpr int kMaxWaiters = 1000;   // beyond them, answered at once
    static constexpr int kDefaultListLimit = 50;
    static constexpr int kMaxListLimit = 1000;
    static constexpr int kDefaultPort = 8714;
    // A receipt refused while the journal cannot be written may come back
    // after this many seconds, when the journal is tried again.
    static constexpr int kJournalRetryAfterS = 5;
    // The resource folder the status page's files are served from.
    static QString pagePrefix() { return QStringLiteral(":/page"); }

    // Waits and time-outs are measured on the clock of `deadlines`.
    ApiServer(Session &session, Deadlines &deadlines, QObject *parent = nullptr);
    ~ApiServer() override;

    void setBook(ReceiptBook *book);
    // Whether the register is identified, and whether the print server runs
    // (both false when not told).
    void setRegisterUp(std::function<bool()> up) { m_registerUp = std::move(up); }
    void setServerEnabled(std::function<bool()> enabled) { m_serverEnabled = std::move(enabled); }
    // The register's figures of the day: read now when the register is free,
    // else the last read, with when it was made.
    struct Figures {
        std::optional<ReceiptTotals> totals;
        QDateTime at;
        bool fresh = false;
    };
    void setFiguresReader(std::function<Figures()> reader) { m_figures = std::move(reader); }
    // Why the register does not take the queue's lines, as the station knows
    // it (the port, its answers): a stable code and the words said; an empty
    // code when nothing keeps it.
    struct Offline {
        QString code;
        QString message;
    };
    void setOfflineReason(std::function<Offline()> reason) { m_offline = std::move(reason); }
    // The day's automatic closing: its time (empty: off), whether today's
    // closing is done and when, why the last attempt did not close; with
    // the day's takings as last read.
    struct Closing {
        QString time;
        bool done = false;
        QDateTime at;
        QString problem;
        std::optional<qint64> takings; // the day's sales, as last read
        QDateTime takingsAt;
    };
    void setClosingStatus(std::function<Closing()> closing) { m_closing = std::move(closing); }
    // What the register is known to take, for the checks before queueing.
    void setReceiptRules(std::function<ReceiptRules()> rules) { m_rules = std::move(rules); }
    // Sends one of the technician's raw command lines as the technician's
    // page does, the register held: the runner's status, the register's
    // answer left in the session. Without it raw lines are refused.
    // Every print server of the till, as they announced themselves.
    void setRegisters(std::function<QList<RegisterEntry>()> lister) { m_registers = std::move(lister); }
    void setRawSender(std::function<int(const QString &line)> send) { m_rawSender = std::move(send); }

    // Opens the address and port with the token of the home folder; false,
    // with the reason in `error`, when either cannot be had.
    bool listen(const QString &address, int port, QString *error);
    void close();
    bool isListening() const { return m_http.isListening(); }
    quint16 port() const { return m_http.serverPort(); }
    QHostAddress address() const { return m_http.serverAddress(); }
    QByteArray token() const { return m_token; }
    HttpServer &http() { return m_http; }
    ApiMetrics &metrics() { return m_metrics; }

private:
    std::optional<HttpResponse> checkHeaders(const HttpRequest &request, const QTcpSocket &socket) const;
    std::optional<HttpResponse> checkToken(const HttpRequest &request, const QTcpSocket &socket) const;
    bool registerUp() const { return m_registerUp && m_registerUp(); }
    void handle(HttpConnection *connection, const HttpRequest &request);
    HttpResponse resource(const HttpRequest &request, bool get) const;
    HttpResponse status() const;
    QJsonValue offlineReason() const;
    HttpResponse totals() const;
    QJsonObject journalStatus() const;
    HttpResponse metricsText() const;
    HttpResponse monitor(const HttpRequest &request) const;
    HttpResponse page(const QString &path) const;
    struct Submission {
        QString key;
        int waitMs = 0;
        QDateTime expires;
        ReceiptBodyType type = ReceiptBodyType::Other;
    };
    std::optional<HttpResponse> submission(const HttpRequest &request, Submission &out) const;
    void submit(HttpConnection *connection, const HttpRequest &request, bool document);
    ReceiptReference referenceOf(const QString &id) const;
    void answerSubmitted(HttpConnection *connection, ReceiptBook::Submit submitted,
                         const ReceiptHistory &receipt, int waitMs);
    HttpResponse withdraw(const QString &id);
    void receipt(HttpConnection *connection, const HttpRequest &request, const QString &id);
    HttpResponse list(const HttpRequest &request) const;
    static std::optional<HttpResponse> listQuery(const HttpRequest &request, ReceiptQuery &query);
    // Answers now, or when the receipt is final or `waitMs` is up.
    void answerReceipt(HttpConnection *connection, int status, const QString &id, int waitMs);
    void receiptChanged(const QString &id);
    // The technician's raw lines (POST /api/v1/raw), when the technician
    // allowed them: sent at once, never between the queue's lines.
    void raw(HttpConnection *connection, const HttpRequest &request);
    std::optional<HttpResponse> rawRefusal() const;
    HttpResponse receiptResponse(int status, const QString &id) const;

    Session &m_s;
    Deadlines &m_deadlines;
    std::function<bool()> m_registerUp;
    std::function<bool()> m_serverEnabled;
    std::function<Figures()> m_figures;
    std::function<Offline()> m_offline;
    std::function<Closing()> m_closing;
    std::function<QList<RegisterEntry>()> m_registers;
    HttpResponse registers() const;
    QJsonObject closingStatus() const;
    std::function<ReceiptRules()> m_rules;
    std::function<int(const QString &)> m_rawSender;
    ReceiptBook *m_book = nullptr;
    HttpServer m_http;
    MonitorFeed m_feed;
    ApiMetrics m_metrics;
    QByteArray m_token;

    struct Waiter {
        QPointer<HttpConnection> connection;
        QString id;
        int status = 200;
        quint64 serial = 0;
        Deadlines::Id due = 0;
    };
    QList<Waiter> m_waiters;
    quint64 m_lastWaiter = 0;
    void release(qsizetype index);
};

} // namespace norvvelm
