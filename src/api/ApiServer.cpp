#include "api/ApiServer.h"

#include "commands/DocumentLines.h"

#include "api/ApiToken.h"
#include "api/RawLines.h"
#include "api/ReceiptBook.h"
#include "api/ReceiptReader.h"
#include "commands/CommandLanguage.h"
#include "commands/DocumentLines.h"
#include "commands/RegisterOwner.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "link/EcrErrors.h"
#include "link/SerialFunz2.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpSocket>

namespace norvvelm {

namespace {

QByteArray compact(const QJsonObject &o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

// "host", "host:port", "[v6]", "[v6]:port" into host and port (-1 when none).
bool splitHost(const QByteArray &value, QString &host, int &port) {
    port = -1;
    QByteArray h = value;
    if (h.startsWith('[')) {
        const qsizetype close = h.indexOf(']');
        if (close < 0)
            return false;
        host = QString::fromLatin1(h.mid(1, close - 1));
        h = h.mid(close + 1);
        if (h.isEmpty())
            return true;
        if (!h.startsWith(':'))
            return false;
        h = h.mid(1);
    } else {
        const qsizetype colon = h.lastIndexOf(':');
        host = QString::fromLatin1(colon < 0 ? h : h.left(colon));
        if (colon < 0)
            return !host.isEmpty();
        h = h.mid(colon + 1);
    }
    bool ok = false;
    port = h.toInt(&ok);
    return ok && port > 0 && port < 65536 && !host.isEmpty();
}

QString contentTypeOf(const QString &path) {
    static const QHash<QString, QString> types{
        {QStringLiteral("html"), QStringLiteral("text/html; charset=utf-8")},
        {QStringLiteral("js"), QStringLiteral("text/javascript; charset=utf-8")},
        {QStringLiteral("css"), QStringLiteral("text/css; charset=utf-8")},
        {QStringLiteral("json"), QStringLiteral("application/json")},
        {QStringLiteral("svg"), QStringLiteral("image/svg+xml")},
        {QStringLiteral("png"), QStringLiteral("image/png")},
        {QStringLiteral("ico"), QStringLiteral("image/x-icon")},
        {QStringLiteral("woff2"), QStringLiteral("font/woff2")},
        {QStringLiteral("txt"), QStringLiteral("text/plain; charset=utf-8")},
    };
    return types.value(QFileInfo(path).suffix().toLower(), QStringLiteral("application/octet-stream"));
}

// `host` and `port` (-1: none given) name this server, reached on `socket`.
bool isOwnAddress(const QString &host, int port, const QTcpSocket &socket) {
    if (port >= 0 && port != socket.localPort())
        return false;
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress a(host);
    return !a.isNull() && a.isEqual(socket.localAddress(), QHostAddress::TolerantConversion);
}

// A Host field, or the authority of a target in absolute form, naming this server.
bool isOwnAuthority(const QByteArray &value, const QTcpSocket &socket) {
    QString host;
    int port = -1;
    return splitHost(value, host, port) && isOwnAddress(host, port, socket);
}

// Refused: a Host, or the authority of a target in absolute form, that
// names another server.
std::optional<HttpResponse> checkHost(const HttpRequest &request, const QTcpSocket &socket) {
    QByteArray foreign;
    if (!isOwnAuthority(request.header("host"), socket))
        foreign = request.header("host");
    else if (!request.authority.isEmpty() && !isOwnAuthority(request.authority, socket))
        foreign = request.authority;
    else
        return std::nullopt;
    return HttpResponse::error(403, QStringLiteral("bad_host"),
                               QStringLiteral("Host non ammesso: ") + QString::fromLatin1(foreign.left(100)));
}

// Refused: a field that two readers of the request could take differently.
std::optional<HttpResponse> checkRepeated(const HttpRequest &request) {
    for (const auto &[name, field] :
         {std::pair{"idempotency-key", u"Idempotency-Key"}, {"origin", u"Origin"}}) {
        int count = 0;
        request.header(name, &count);
        if (count > 1)
            return HttpResponse::error(
                400, HttpResponse::Problem{QStringLiteral("header_repeated"),
                                           QStringLiteral("Intestazione ripetuta: ") + QLatin1String(name),
                                           QString::fromUtf16(field),
                                           0,
                                           {}});
    }
    return std::nullopt;
}

bool isRead(const HttpRequest &request) {
    return request.method == "GET" || request.method == "HEAD";
}

// Refused: a POST (or a DELETE) that a web page of another origin sends.
// Only this server's own page may post; an origin without a port is on port 80.
std::optional<HttpResponse> checkOrigin(const HttpRequest &request, const QTcpSocket &socket) {
    if (isRead(request) || !request.hasHeader("origin"))
        return std::nullopt;
    const QByteArray origin = request.header("origin");
    QString host;
    int port = -1;
    if (origin.startsWith("http://") && splitHost(origin.mid(7), host, port) &&
        isOwnAddress(host, port < 0 ? 80 : port, socket))
        return std::nullopt;
    return HttpResponse::error(403, QStringLiteral("forbidden_origin"),
                               QStringLiteral("Origin non ammessa: ") +
                                   QString::fromLatin1(origin.left(100)));
}

HttpResponse methodNotAllowed(const QByteArray &allow) {
    HttpResponse r =
        HttpResponse::error(405, QStringLiteral("method_not_allowed"), QStringLiteral("Metodo non ammesso"));
    r.headers.append({QByteArray("Allow"), allow});
    return r;
}

HttpResponse parameterRefused(const QString &name, const QString &code, const QString &text) {
    return HttpResponse::error(400, HttpResponse::Problem{code, text, name, 0, {}});
}

// A query parameter the resource does not take is refused, so that a typing
// error never passes for a choice; one given twice too, since two readers
// could take either.
std::optional<HttpResponse> checkParameters(const HttpRequest &request,
                                            std::initializer_list<QStringView> known) {
    QStringList seen;
    for (const auto &[name, value] : request.query.queryItems(QUrl::FullyDecoded)) {
        if (std::find(known.begin(), known.end(), QStringView(name)) == known.end())
            return parameterRefused(name.left(64), QStringLiteral("unknown_parameter"),
                                    QStringLiteral("Parametro sconosciuto: ") + name.left(64));
        if (seen.contains(name))
            return parameterRefused(name, QStringLiteral("parameter_repeated"),
                                    QStringLiteral("Parametro ripetuto: ") + name);
        seen << name;
    }
    return std::nullopt;
}

HttpResponse waitRefused() {
    return parameterRefused(QStringLiteral("wait"), QStringLiteral("wait_invalid"),
                            QStringLiteral("wait: da 0 a 30000 millisecondi"));
}

// What the body's reader said of a fault, as a program matches it: the
// line ("riga 2 ...") or the field ("items[0].price: ...", "\"lines\" ...")
// it names at its start. A field it does not know is named itself
// ("items[0]: campo sconosciuto \"discount\"" is items[0].discount).
HttpResponse bodyRefused(const QString &error) {
    static const QRegularExpression line(QStringLiteral("^riga (\\d+) "));
    static const QRegularExpression field(
        QStringLiteral("^\"?([a-z_]+(?:\\[\\d+\\])?(?:\\.[a-z_0-9]+)?)\"?(?::| non si unisce)"));
    static const QRegularExpression unknown(QStringLiteral(": campo sconosciuto \"(.*)\"$"));
    HttpResponse::Problem p{QStringLiteral("body_invalid"), error, {}, 0, {}};
    if (const auto m = line.match(error); m.hasMatch()) {
        p.code = QStringLiteral("line_invalid");
        p.line = m.captured(1).toInt();
    } else if (const auto f = field.match(error); f.hasMatch()) {
        p.code = QStringLiteral("field_invalid");
        p.field = f.captured(1);
        // A field it does not know, inside an element (items[0]) or at the
        // body's own level (named "scontrino", or by the document's kind).
        if (const auto u = unknown.match(error); u.hasMatch())
            p.field = p.field.contains(u'[') ? p.field + u'.' + u.captured(1) : u.captured(1);
    }
    return HttpResponse::error(400, p);
}

// A body's meaning, whatever its bytes: JSON with its keys in any order and
// any spacing, text with any line ends (CR LF, LF, CR) and any number of
// them after its last line (blank lines print nothing), are the same
// receipt. Its media type is part of it: the same text as plain text and as
// JSON are different ones.
QByteArray meaningOf(const QByteArray &media, const QByteArray &body, ReceiptBodyType type) {
    QByteArray canonical = body;
    if (type == ReceiptBodyType::Json) {
        const QJsonDocument doc = QJsonDocument::fromJson(body);
        if (doc.isObject())
            canonical = compact(doc.object());
    } else {
        canonical.replace("\r\n", "\n");
        canonical.replace('\r', '\n');
        while (canonical.endsWith('\n'))
            canonical.chop(1);
    }
    return QCryptographicHash::hash(QByteArray(media + '\n' + canonical), QCryptographicHash::Sha256).toHex();
}

// The hash of the bytes as they came, as earlier versions kept it.
QByteArray bytesOf(const QByteArray &media, const QByteArray &body) {
    return QCryptographicHash::hash(QByteArray(media + '\n' + body), QCryptographicHash::Sha256).toHex();
}

// The journal cannot keep the change: nothing changed, said with when to
// try again.
HttpResponse journalUnwritable(const QString &what) {
    HttpResponse r = HttpResponse::error(503, QStringLiteral("journal_unwritable"),
                                         QStringLiteral("Coda non scrivibile su disco: ") + what);
    r.headers.append({"Retry-After", QByteArray::number(ApiServer::kJournalRetryAfterS)});
    return r;
}

HttpResponse unknownReceipt(const QString &id) {
    return HttpResponse::error(404, QStringLiteral("unknown_receipt"),
                               QStringLiteral("Scontrino sconosciuto: ") + id.left(64));
}

int waitOf(const HttpRequest &request, bool &ok) {
    ok = true;
    if (!request.query.hasQueryItem(QStringLiteral("wait")))
        return 0;
    const int ms = request.query.queryItemValue(QStringLiteral("wait")).toInt(&ok);
    ok = ok && ms >= 0 && ms <= ApiServer::kMaxWaitMs;
    return ms;
}

} // namespace

ApiServer::ApiServer(Session &session, Deadlines &deadlines, QObject *parent)
    : QObject(parent), m_s(session), m_deadlines(deadlines),
      m_http(deadlines, [this](const HttpRequest &r, const QTcpSocket &s) { return checkHeaders(r, s); }),
      m_feed(session), m_metrics(session) {
    connect(&m_http, &HttpServer::requestReady, this, &ApiServer::handle);
}

ApiServer::~ApiServer() {
    close();
}

void ApiServer::setBook(ReceiptBook *book) {
    if (m_book)
        m_book->disconnect(this);
    m_book = book;
    if (m_book)
        connect(m_book, &ReceiptBook::changed, this, &ApiServer::receiptChanged);
}

bool ApiServer::listen(const QString &address, int port, QString *error) {
    close();
    QString why;
    m_token = ApiToken::load(m_s.settings().programDir(), &why);
    if (m_token.isEmpty()) {
        if (error)
            *error = QStringLiteral("chiave di accesso non scrivibile (") + why + u')';
        return false;
    }
    QHostAddress host;
    if (address.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        host = QHostAddress(QHostAddress::LocalHost);
    else if (!host.setAddress(address)) {
        if (error)
            *error = QStringLiteral("indirizzo non valido: ") + address;
        return false;
    }
    if (!m_http.listen(host, quint16(port))) {
        if (error)
            *error = m_http.errorString();
        return false;
    }
    return true;
}

void ApiServer::close() {
    for (const Waiter &w : std::as_const(m_waiters))
        m_deadlines.cancel(w.due);
    m_waiters.clear();
    m_http.shutdown();
}

// Host first, then what could be read two ways, then the origin of a POST,
// then the key.
std::optional<HttpResponse> ApiServer::checkHeaders(const HttpRequest &request,
                                                    const QTcpSocket &socket) const {
    if (auto refusal = checkHost(request, socket))
        return refusal;
    if (auto refusal = checkRepeated(request))
        return refusal;
    if (auto refusal = checkOrigin(request, socket))
        return refusal;
    return checkToken(request, socket);
}

// Every request that changes something (a POST, a DELETE), and on an
// address other than loopback every request, carries the key once.
std::optional<HttpResponse> ApiServer::checkToken(const HttpRequest &request,
                                                  const QTcpSocket &socket) const {
    if (isRead(request) && socket.localAddress().isLoopback())
        return std::nullopt;
    int count = 0;
    const QByteArray given = ApiToken::fromAuthorization(request.header("authorization", &count));
    if (count == 1 && ApiToken::matches(m_token, given))
        return std::nullopt;
    HttpResponse r =
        HttpResponse::error(401, QStringLiteral("unauthorized"),
                            count == 0 ? QStringLiteral("Chiave di accesso mancante (Authorization: Bearer)")
                                       : QStringLiteral("Chiave di accesso errata"));
    r.headers.append({QByteArray("WWW-Authenticate"), QByteArray("Bearer realm=\"NorvVelm\"")});
    return r;
}

void ApiServer::handle(HttpConnection *connection, const HttpRequest &request) {
    const QString &path = request.path;
    // A HEAD is answered as a GET; its connection sends no body.
    const bool get = request.method == "GET" || request.method == "HEAD";
    // Receipts, and documents of every kind (receipts among them): one
    // queue, one numbering, the same answers.
    const bool documents = path == QLatin1String("/api/v1/documents");
    if (path == QLatin1String("/api/v1/receipts") || documents) {
        if (request.method == "POST") {
            if (auto refusal = checkParameters(request, {u"wait", u"expires_in"}))
                return connection->respond(*refusal);
            return submit(connection, request, documents);
        }
        return connection->respond(get ? list(request) : methodNotAllowed("GET, HEAD, POST"));
    }
    if (path == QLatin1String("/api/v1/raw"))
        return raw(connection, request);
    static const QRegularExpression one(
        QStringLiteral("^/api/v1/(?:receipts|documents)/([A-Za-z0-9_.-]{1,64})$"));
    if (const auto m = one.match(path); m.hasMatch()) {
        if (request.method == "DELETE") {
            if (auto refusal = checkParameters(request, {}))
                return connection->respond(*refusal);
            return connection->respond(withdraw(m.captured(1)));
        }
        if (!get)
            return connection->respond(methodNotAllowed("DELETE, GET, HEAD"));
        if (auto refusal = checkParameters(request, {u"wait"}))
            return connection->respond(*refusal);
        return receipt(connection, request, m.captured(1));
    }
    connection->respond(resource(request, get));
}

// What is answered at once, to a GET (or HEAD) alone.
HttpResponse ApiServer::resource(const HttpRequest &request, bool get) const {
    const QString &path = request.path;
    const bool isPage = path == QLatin1String("/") || path.startsWith(QLatin1String("/page/"));
    if (path != QLatin1String("/api/v1/status") && path != QLatin1String("/metrics") &&
        path != QLatin1String("/api/v1/monitor") && path != QLatin1String("/api/v1/totals") &&
        path != QLatin1String("/api/v1/registers") && !isPage)
        return HttpResponse::error(404, QStringLiteral("not_found"),
                                   QStringLiteral("Risorsa sconosciuta: ") + path.left(100));
    if (!get)
        return methodNotAllowed("GET, HEAD");
    const bool monitorAsked = path == QLatin1String("/api/v1/monitor");
    if (auto refusal = checkParameters(request, monitorAsked ? std::initializer_list<QStringView>{u"since"}
                                                             : std::initializer_list<QStringView>{}))
        return *refusal;
    if (path == QLatin1String("/api/v1/status"))
        return status();
    if (path == QLatin1String("/metrics"))
        return metricsText();
    if (path == QLatin1String("/api/v1/totals"))
        return totals();
    if (path == QLatin1String("/api/v1/registers"))
        return registers();
    if (path == QLatin1String("/api/v1/monitor"))
        return monitor(request);
    return page(path == QLatin1String("/") ? QStringLiteral("/index.html") : path.mid(5));
}

// The till's registers, each print server's entry as it announced it, with
// the address of its interface and page; `self` is this one.
HttpResponse ApiServer::registers() const {
    QJsonArray out;
    for (const RegisterEntry &e : m_registers ? m_registers() : QList<RegisterEntry>()) {
        const QString host = e.address.contains(u':') ? u'[' + e.address + u']' : e.address;
        out.append(QJsonObject{
            {QStringLiteral("name"), e.name},
            {QStringLiteral("address"), e.address},
            {QStringLiteral("port"), e.port},
            {QStringLiteral("url"), QStringLiteral("http://%1:%2/").arg(host).arg(e.port)},
            {QStringLiteral("serial"), e.serial},
            {QStringLiteral("model"), e.model},
            {QStringLiteral("firmware"), e.firmware},
            {QStringLiteral("online"), e.online},
            {QStringLiteral("self"), e.pid == QCoreApplication::applicationPid() && e.port == port()},
        });
    }
    return HttpResponse::json(200, compact({{QStringLiteral("registers"), out}}));
}

// The day's takings so far, as the register counts them.
HttpResponse ApiServer::totals() const {
    const Figures f = m_figures ? m_figures() : Figures{};
    if (!f.totals)
        return HttpResponse::error(
            503, QStringLiteral("register_unreachable"),
            QStringLiteral("Totali della cassa non ancora letti: cassa non raggiungibile"));
    const QJsonObject body{{QStringLiteral("figures"), FiguresJson(*f.totals)},
                           {QStringLiteral("read_at"), TimeJson(f.at)},
                           {QStringLiteral("fresh"), f.fresh}};
    return HttpResponse::json(200, compact(body));
}

QJsonObject ApiServer::journalStatus() const {
    const QString problem = m_s.runState().journalProblem();
    return {{QStringLiteral("writable"), problem.isEmpty()},
            {QStringLiteral("error"), problem.isEmpty() ? QJsonValue() : QJsonValue(problem)}};
}

// Why the queue's lines do not go to the register now: the register out of
// reach (as the station knows it), the operator holding it, the journal
// unwritable; null when nothing stops them.
QJsonValue ApiServer::offlineReason() const {
    Offline why = m_offline ? m_offline() : Offline{};
    if (why.code.isEmpty() && !registerUp())
        why = {QStringLiteral("not_identified"), QStringLiteral("Cassa non ancora identificata")};
    const RegisterOwner &owner = m_s.registerOwner();
    if (why.code.isEmpty() && owner.operatorHolds())
        why = {QStringLiteral("operator_holds"),
               owner.documentOpen() ? QStringLiteral("Scontrino aperto dalla console sulla cassa: gli "
                                                     "scontrini attendono la sua chiusura")
               : owner.rawReceiptOpen()
                   ? QStringLiteral("Scontrino aperto dai comandi del tecnico sulla cassa: "
                                    "gli scontrini attendono la sua chiusura")
                   : QStringLiteral("Cassa in uso dall'operatore: gli scontrini "
                                    "attendono che la lasci")};
    if (const QString problem = m_s.runState().journalProblem(); why.code.isEmpty() && !problem.isEmpty())
        why = {QStringLiteral("journal_unwritable"), problem};
    if (why.code.isEmpty())
        return QJsonValue();
    return QJsonObject{{QStringLiteral("code"), why.code}, {QStringLiteral("message"), why.message}};
}

HttpResponse ApiServer::status() const {
    const RegisterIdentity &id = m_s.settings().identity();
    QJsonValue lastError;
    const QString answer = m_s.lastExchange().lastAnswer();
    if (!answer.isEmpty() && !AnswerAccepted(answer)) {
        const QString code = AnswerErrorCode(answer);
        lastError = QJsonObject{{QStringLiteral("code"), code},
                                {QStringLiteral("number"), CommandErrorNumber(code)},
                                {QStringLiteral("text"), DescribeEcrError(code).message}};
    }
    // The payment types programmed on the register, as read at its last
    // identification (empty until read).
    QJsonArray paymentTypes;
    for (const int t : (m_rules ? m_rules() : ReceiptRules{}).paymentTypes)
        paymentTypes.append(t);
    const RegisterOwner &owner = m_s.registerOwner();
    const QJsonObject reg{
        {QStringLiteral("online"), registerUp()},
        {QStringLiteral("offline_reason"), offlineReason()},
        // The queue's own receipt, or a document the operator opened.
        {QStringLiteral("receipt_open"),
         (m_book && m_book->receiptOpen()) || owner.documentOpen() || owner.rawReceiptOpen()},
        {QStringLiteral("payment_types"), paymentTypes},
        {QStringLiteral("serial"), id.sn.trimmed()},
        {QStringLiteral("firmware"), id.fw.trimmed()},
        {QStringLiteral("model"), m_s.settings().config().Modello},
        {QStringLiteral("last_error"), lastError},
    };
    const QJsonObject server{
        {QStringLiteral("enabled"), m_serverEnabled && m_serverEnabled()},
        {QStringLiteral("queue"), m_book ? m_book->pending() : 0},
        {QStringLiteral("queue_lines"), m_book ? m_book->queuedLines() : 0},
        {QStringLiteral("printing"), (m_book && m_book->receiptOpen()) || m_s.runState().lineBusy()},
        // Where the print server looks for receipt files, and which it takes.
        {QStringLiteral("folder"), m_s.settings().config().ServerDir},
        {QStringLiteral("mask"), m_s.settings().config().ServerFile},
        {QStringLiteral("journal"), journalStatus()},
        {QStringLiteral("closing"), closingStatus()},
    };
    return HttpResponse::json(
        200, compact({{QStringLiteral("register"), reg}, {QStringLiteral("server"), server}}));
}

// Today's closing, and the day's takings as last read from the register
// (the status never talks to it: GET /api/v1/totals does).
QJsonObject ApiServer::closingStatus() const {
    const Closing c = m_closing ? m_closing() : Closing{};
    QJsonObject out{
        {QStringLiteral("automatic"), c.time.isEmpty() ? QJsonValue() : QJsonValue(c.time)},
        {QStringLiteral("done"), c.done},
        {QStringLiteral("at"), TimeJson(c.at)},
        {QStringLiteral("problem"), c.problem.isEmpty() ? QJsonValue() : QJsonValue(c.problem)},
        {QStringLiteral("takings"), c.takings ? QJsonValue(AmountText(*c.takings)) : QJsonValue()},
        {QStringLiteral("takings_at"), TimeJson(c.takingsAt)},
    };
    return out;
}

HttpResponse ApiServer::metricsText() const {
    ApiMetrics::Snapshot now;
    if (m_book) {
        now.documents = m_book->finals();
        now.queueReceipts = m_book->pending();
    }
    now.queueLines = m_book ? m_book->queuedLines() : 0;
    now.registerUp = registerUp();
    now.journalWritable = m_s.runState().journalProblem().isEmpty();
    HttpResponse r;
    r.contentType = "text/plain; version=0.0.4; charset=utf-8";
    r.body = m_metrics.text(now);
    return r;
}

HttpResponse ApiServer::monitor(const HttpRequest &request) const {
    bool ok = true;
    qint64 since = 0;
    if (request.query.hasQueryItem(QStringLiteral("since")))
        since = request.query.queryItemValue(QStringLiteral("since")).toLongLong(&ok);
    if (!ok || since < 0)
        return parameterRefused(QStringLiteral("since"), QStringLiteral("since_invalid"),
                                QStringLiteral("since: numero non valido"));
    QJsonArray lines;
    for (const MonitorFeed::Line &l : m_feed.after(since))
        lines.append(QJsonObject{{QStringLiteral("seq"), l.seq}, {QStringLiteral("text"), l.text}});
    return HttpResponse::json(
        200, compact({{QStringLiteral("last"), m_feed.last()}, {QStringLiteral("lines"), lines}}));
}

HttpResponse ApiServer::page(const QString &path) const {
    // Only names inside the page's own folder, never a way out of it.
    const QString clean = QDir::cleanPath(path);
    if (!clean.startsWith(u'/') || clean.contains(QLatin1String("..")) || clean.contains(u'\\'))
        return HttpResponse::error(404, QStringLiteral("not_found"), QStringLiteral("Risorsa sconosciuta"));
    QFile f(pagePrefix() + clean);
    if (!f.open(QIODevice::ReadOnly))
        return HttpResponse::error(404, QStringLiteral("not_found"),
                                   QStringLiteral("Risorsa sconosciuta: ") + clean.left(100));
    HttpResponse r;
    r.contentType = contentTypeOf(clean).toLatin1();
    r.body = f.readAll();
    return r;
}

// The submission's headers and parameters: its key, how long to wait, when
// it expires; a refusal when one is not valid.
std::optional<HttpResponse> ApiServer::submission(const HttpRequest &request, Submission &out) const {
    static const QRegularExpression keyRule(QStringLiteral("^[A-Za-z0-9_.-]{1,64}$"));
    out.key = QString::fromLatin1(request.header("idempotency-key"));
    if (!keyRule.match(out.key).hasMatch())
        return HttpResponse::error(
            400, HttpResponse::Problem{
                     request.hasHeader("idempotency-key") ? QStringLiteral("idempotency_key_invalid")
                                                          : QStringLiteral("idempotency_key_missing"),
                     QStringLiteral("Idempotency-Key richiesta: da 1 a 64 caratteri tra A-Z "
                                    "a-z 0-9 _ . -"),
                     QStringLiteral("Idempotency-Key"),
                     0,
                     {}});
    bool ok = true;
    out.waitMs = waitOf(request, ok);
    if (!ok)
        return waitRefused();
    if (request.query.hasQueryItem(QStringLiteral("expires_in"))) {
        const int seconds = request.query.queryItemValue(QStringLiteral("expires_in")).toInt(&ok);
        if (!ok || seconds < 1 || seconds > kMaxExpiresS)
            return parameterRefused(QStringLiteral("expires_in"), QStringLiteral("expires_in_invalid"),
                                    QStringLiteral("expires_in: da 1 a %1 secondi").arg(kMaxExpiresS));
        out.expires = m_s.now().addSecs(seconds);
    }
    out.type = ReceiptBodyTypeOf(request.header("content-type"));
    if (out.type == ReceiptBodyType::Other)
        return HttpResponse::error(
            415, QStringLiteral("unsupported_media_type"),
            QStringLiteral("Content-Type deve essere text/plain o application/json (UTF-8)"));
    return std::nullopt;
}

void ApiServer::submit(HttpConnection *connection, const HttpRequest &request, bool document) {
    Submission sub;
    if (auto refusal = submission(request, sub))
        return connection->respond(*refusal);
    if (document && sub.type != ReceiptBodyType::Json)
        return connection->respond(
            HttpResponse::error(415, QStringLiteral("unsupported_media_type"),
                                QStringLiteral("Un documento \u00e8 un oggetto application/json")));
    ReceiptRules rules = m_rules ? m_rules() : ReceiptRules{};
    rules.receiptReference = [this](const QString &id) { return referenceOf(id); };
    const ReceiptReading reading =
        document ? ReadDocumentJson(request.body, rules) : ReadReceiptBody(request.body, sub.type, rules);
    if (!reading.ok())
        return connection->respond(bodyRefused(reading.error));
    if (!m_book)
        return connection->respond(HttpResponse::error(503, QStringLiteral("queue_unavailable"),
                                                       QStringLiteral("Coda non disponibile")));
    // The register refuses its daily closing while a receipt is open.
    const RegisterOwner &owner = m_s.registerOwner();
    if (reading.kind == u"daily_closing" &&
        (m_book->receiptOpen() || owner.documentOpen() || owner.rawReceiptOpen()))
        return connection->respond(HttpResponse::error(
            409, QStringLiteral("receipt_open"),
            QStringLiteral("Chiusura giornaliera rifiutata: uno scontrino \u00e8 aperto sulla cassa")));
    const QByteArray media = request.header("content-type").split(';').value(0).trimmed().toLower();
    const ReceiptSource source(ReceiptSource::Kind::Request, sub.key,
                               meaningOf(media, request.body, sub.type), sub.expires, reading.warnings,
                               reading.composed ? reading.kind : QString());
    ReceiptHistory receipt;
    ReceiptBook::Submit submitted = m_book->submit(source, reading.lines, receipt);
    // Kept by an earlier version by its bytes: the same bytes are the same.
    if (submitted == ReceiptBook::Submit::Conflict && receipt.source.bodyHash == bytesOf(media, request.body))
        submitted = ReceiptBook::Submit::Repeated;
    answerSubmitted(connection, submitted, receipt, sub.waitMs);
}

// A credit note's reference from a receipt this server printed: its number
// and day, as the credit-note dialog's reference field takes them; the file
// number is the receipt's number.
ReceiptReference ApiServer::referenceOf(const QString &id) const {
    const std::optional<ReceiptHistory> r = m_book ? m_book->find(id) : std::nullopt;
    if (!r)
        return {{}, {}, QStringLiteral("scontrino sconosciuto: ") + id.left(64)};
    const bool receipt = r->source.document.isEmpty() || r->source.document == u"receipt";
    if (r->outcome != OutcomeState::Printed || r->receiptNumber < 0 || !receipt)
        return {{}, {}, QStringLiteral("non \u00e8 uno scontrino stampato: ") + id.left(64)};
    const QString day =
        r->finished.isValid() ? r->finished.toString(QStringLiteral("dd-MM-yyyy")) : QString();
    return {QStringLiteral("SCONTRINO N. %1 DEL %2").arg(r->receiptNumber).arg(day).trimmed(),
            QString::number(r->receiptNumber).right(kFileNumberLimit),
            {}};
}

void ApiServer::answerSubmitted(HttpConnection *connection, ReceiptBook::Submit submitted,
                                const ReceiptHistory &receipt, int waitMs) {
    switch (submitted) {
    case ReceiptBook::Submit::Accepted:
        return answerReceipt(connection, 202, ReceiptIdText(receipt.id), waitMs);
    case ReceiptBook::Submit::Repeated:
        return answerReceipt(connection, 200, ReceiptIdText(receipt.id), waitMs);
    case ReceiptBook::Submit::Conflict:
        return connection->respond(HttpResponse::error(
            409,
            HttpResponse::Problem{QStringLiteral("idempotency_conflict"),
                                  QStringLiteral("Idempotency-Key gi\u00e0 usata per un altro scontrino: ") +
                                      ReceiptIdText(receipt.id),
                                  QStringLiteral("Idempotency-Key"), 0, ReceiptIdText(receipt.id)}));
    case ReceiptBook::Submit::Failed:
        break;
    }
    connection->respond(journalUnwritable(QStringLiteral("scontrino non accettato")));
}

void ApiServer::receipt(HttpConnection *connection, const HttpRequest &request, const QString &id) {
    bool ok = true;
    const int waitMs = waitOf(request, ok);
    if (!ok)
        return connection->respond(waitRefused());
    if (!m_book || !m_book->find(id))
        return connection->respond(unknownReceipt(id));
    answerReceipt(connection, 200, id, waitMs);
}

// A receipt none of whose lines went out is withdrawn: it never prints.
HttpResponse ApiServer::withdraw(const QString &id) {
    ReceiptHistory receipt;
    const auto refused = [&id](const QString &code, const QString &text) {
        return HttpResponse::error(409, HttpResponse::Problem{code, text + id.left(64), {}, 0, id.left(64)});
    };
    switch (m_book ? m_book->cancel(id, receipt) : ReceiptBook::Cancel::Unknown) {
    case ReceiptBook::Cancel::Cancelled:
    case ReceiptBook::Cancel::Ended:
        if (receipt.outcome == OutcomeState::Cancelled)
            return HttpResponse::json(200, compact(ReceiptJson(receipt)));
        return refused(QStringLiteral("receipt_final"), QStringLiteral("Scontrino gi\u00e0 concluso: "));
    case ReceiptBook::Cancel::Started:
        return refused(QStringLiteral("receipt_started"),
                       QStringLiteral("Scontrino gi\u00e0 inviato alla cassa: "));
    case ReceiptBook::Cancel::NotKept:
        return journalUnwritable(QStringLiteral("scontrino non ritirato"));
    case ReceiptBook::Cancel::Unknown:
        break;
    }
    return unknownReceipt(id);
}

// The query of a listing; a refusal when a parameter is not one.
std::optional<HttpResponse> ApiServer::listQuery(const HttpRequest &request, ReceiptQuery &q) {
    const QUrlQuery &query = request.query;
    const auto has = [&query](const char16_t *name) { return query.hasQueryItem(QString::fromUtf16(name)); };
    const auto value = [&query](const char16_t *name) {
        return query.queryItemValue(QString::fromUtf16(name), QUrl::FullyDecoded);
    };
    q.limit = kDefaultListLimit;
    if (has(u"limit")) {
        bool ok = false;
        q.limit = value(u"limit").toInt(&ok);
        if (!ok || q.limit < 1 || q.limit > kMaxListLimit)
            return parameterRefused(QStringLiteral("limit"), QStringLiteral("limit_invalid"),
                                    QStringLiteral("limit: da 1 a %1").arg(kMaxListLimit));
    }
    if (has(u"since")) {
        // A "+" left unescaped in the query reaches some readers as a blank.
        q.since = TimeFromText(value(u"since").replace(u' ', u'+'));
        if (!q.since.isValid())
            return parameterRefused(QStringLiteral("since"), QStringLiteral("since_invalid"),
                                    QStringLiteral("since: data e ora ISO 8601 (2026-12-10T09:00:00+01:00)"));
    }
    if (has(u"date")) {
        q.date = QDate::fromString(value(u"date"), Qt::ISODate);
        if (!q.date.isValid())
            return parameterRefused(QStringLiteral("date"), QStringLiteral("date_invalid"),
                                    QStringLiteral("date: una data AAAA-MM-GG"));
    }
    if (has(u"state")) {
        for (const QString &name : value(u"state").split(u',')) {
            const auto state = OutcomeStateNamed(name);
            if (!state)
                return parameterRefused(QStringLiteral("state"), QStringLiteral("state_invalid"),
                                        QStringLiteral("state: stato sconosciuto ") + name.left(32));
            q.states.append(*state);
        }
    }
    if (has(u"cursor")) {
        q.before = ReceiptIdNumber(value(u"cursor"));
        if (q.before == 0)
            return parameterRefused(QStringLiteral("cursor"), QStringLiteral("cursor_invalid"),
                                    QStringLiteral("cursor: il valore di next di una risposta precedente"));
    }
    return std::nullopt;
}

HttpResponse ApiServer::list(const HttpRequest &request) const {
    if (auto refusal = checkParameters(request, {u"limit", u"since", u"date", u"state", u"cursor"}))
        return *refusal;
    ReceiptQuery q;
    if (auto refusal = listQuery(request, q))
        return *refusal;
    QJsonArray out;
    bool more = false;
    QList<ReceiptHistory> found;
    if (m_book)
        found = m_book->listed(q, &more);
    for (const ReceiptHistory &r : std::as_const(found))
        out.append(ReceiptJson(r));
    const QJsonValue next =
        more && !found.isEmpty() ? QJsonValue(ReceiptIdText(found.last().id)) : QJsonValue();
    return HttpResponse::json(200,
                              compact({{QStringLiteral("receipts"), out}, {QStringLiteral("next"), next}}));
}

HttpResponse ApiServer::receiptResponse(int status, const QString &id) const {
    const auto r = m_book ? m_book->find(id) : std::nullopt;
    if (!r)
        return unknownReceipt(id);
    // A new receipt already final when answered was created whole.
    return HttpResponse::json(status == 202 && IsFinal(r->outcome) ? 201 : status, compact(ReceiptJson(*r)));
}

void ApiServer::answerReceipt(HttpConnection *connection, int status, const QString &id, int waitMs) {
    const auto r = m_book->find(id);
    if (waitMs <= 0 || !r || IsFinal(r->outcome))
        return connection->respond(receiptResponse(status, id));
    m_waiters.removeIf([this](const Waiter &old) {
        if (old.connection)
            return false;
        m_deadlines.cancel(old.due);
        return true;
    });
    if (m_waiters.size() >= kMaxWaiters)
        return connection->respond(receiptResponse(status, id));
    Waiter w;
    w.connection = connection;
    w.id = id;
    w.status = status;
    w.serial = ++m_lastWaiter;
    w.due = m_deadlines.after(waitMs, [this, serial = w.serial] {
        for (qsizetype i = 0; i < m_waiters.size(); ++i) {
            if (m_waiters.at(i).serial == serial)
                return release(i);
        }
    });
    m_waiters.append(w);
}

void ApiServer::release(qsizetype index) {
    const Waiter w = m_waiters.takeAt(index);
    m_deadlines.cancel(w.due);
    if (w.connection)
        w.connection->respond(receiptResponse(w.status, w.id));
}

void ApiServer::receiptChanged(const QString &id) {
    const auto r = m_book->find(id);
    if (!r || !IsFinal(r->outcome))
        return;
    for (qsizetype i = m_waiters.size() - 1; i >= 0; --i) {
        if (m_waiters.at(i).id == id)
            release(i);
    }
}

// Why raw lines may not go now: the register out of reach, or busy with
// the queue's work (as for every operator sequence) or another sequence;
// none when they may. A receipt the raw lines opened is theirs to close.
std::optional<HttpResponse> ApiServer::rawRefusal() const {
    const Offline why = m_offline ? m_offline() : Offline{};
    if (!registerUp() || !why.code.isEmpty()) {
        const QJsonValue reason = offlineReason();
        return HttpResponse::error(503, QStringLiteral("register_unreachable"),
                                   QStringLiteral("Cassa non raggiungibile: ") +
                                       reason[QStringLiteral("message")].toString());
    }
    const RegisterOwner &owner = m_s.registerOwner();
    QString busy = owner.refusal(RegisterOwner::Use::Changes);
    if (busy.isEmpty() && (owner.sequenceUnderWay() || m_s.runState().lineBusy()))
        busy = QStringLiteral("Cassa in uso da un'altra sequenza di comandi: riprovare al termine.");
    if (busy.isEmpty() && owner.documentOpen())
        busy = QStringLiteral("Documento aperto dalla console sulla cassa: "
                              "riprovare quando sar\u00e0 chiuso.");
    if (busy.isEmpty())
        return std::nullopt;
    return HttpResponse::error(409, QStringLiteral("register_busy"), busy);
}

void ApiServer::raw(HttpConnection *connection, const HttpRequest &request) {
    if (request.method != "POST")
        return connection->respond(methodNotAllowed("POST"));
    if (!m_s.settings().config().ApiRigheDirette || !m_rawSender)
        return connection->respond(HttpResponse::error(
            403, QStringLiteral("raw_disabled"),
            QStringLiteral("Comandi diretti non abilitati: il tecnico li abilita dal suo pannello")));
    if (auto refusal = checkParameters(request, {}))
        return connection->respond(*refusal);
    if (ReceiptBodyTypeOf(request.header("content-type")) != ReceiptBodyType::Json)
        return connection->respond(
            HttpResponse::error(415, QStringLiteral("unsupported_media_type"),
                                QStringLiteral("Le righe dirette sono un oggetto application/json")));
    const RawLinesReading reading = ReadRawLines(request.body);
    if (!reading.ok())
        return connection->respond(bodyRefused(reading.error));
    if (auto refusal = rawRefusal())
        return connection->respond(*refusal);
    // The connection may go while the lines do: its answer then goes nowhere.
    const QPointer<HttpConnection> guard(connection);
    QJsonArray answers;
    QJsonValue stoppedAt;
    {
        // One sequence: the print server waits until its last line.
        const RegisterLease lease(m_s, RegisterOwner::Use::Changes);
        if (!lease)
            return connection->respond(
                HttpResponse::error(409, QStringLiteral("register_busy"), m_s.statusBar().panel(2)));
        for (qsizetype i = 0; i < reading.lines.size() && stoppedAt.isNull(); ++i) {
            const QString &line = reading.lines.at(i);
            const int status = m_rawSender(line);
            const QString answer = m_s.lastExchange().lastAnswer();
            QJsonObject entry{
                {QStringLiteral("line"), line},
                {QStringLiteral("answer"), answer.isEmpty() ? QJsonValue() : QJsonValue(answer)},
                {QStringLiteral("error"), QJsonValue()},
                {QStringLiteral("message"), QJsonValue()}};
            if (status != 0) {
                const bool unanswered = link::noAnswer(status) || answer.isEmpty();
                const QString code = unanswered ? QStringLiteral("no_answer") : AnswerErrorCode(answer);
                entry[QStringLiteral("error")] = code;
                const QString meaning = unanswered ? QString() : DescribeEcrError(code).message;
                entry[QStringLiteral("message")] =
                    meaning.isEmpty() ? m_s.lastExchange().statusText() : meaning;
                stoppedAt = int(i);
            }
            answers.append(entry);
        }
    }
    if (guard)
        guard->respond(HttpResponse::json(
            200, compact({{QStringLiteral("answers"), answers}, {QStringLiteral("stopped_at"), stoppedAt}})));
}

} // namespace norvvelm
