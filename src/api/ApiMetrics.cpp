#include "api/ApiMetrics.h"

#include "commands/CommandLanguage.h"
#include "commands/Runner.h"
#include "commands/Session.h"

namespace norvvelm {

namespace {

QByteArray number(double v) {
    return QByteArray::number(v, 'g', 12);
}

QByteArray label(const QString &v) {
    QByteArray out;
    for (const char c : v.toUtf8()) {
        if (c == '\\' || c == '"')
            out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

} // namespace

ApiMetrics::ApiMetrics(Session &session, QObject *parent) : QObject(parent) {
    connect(&session.lastExchange(), &LastExchange::lastAnswerChanged, this, &ApiMetrics::answered);
    connect(&session.runState(), &RunState::lineBusyChanged, this, [this](bool busy) {
        if (busy)
            m_exchange.start();
        else if (m_exchange.isValid())
            exchangeTook(double(m_exchange.nsecsElapsed()) / 1e9);
    });
}

void ApiMetrics::answered(const QString &answer) {
    if (answer.isEmpty())
        return;
    ++m_answered;
    if (!AnswerAccepted(answer))
        ++m_errors[AnswerErrorCode(answer)];
}

void ApiMetrics::exchangeTook(double seconds) {
    ++m_exchanges;
    m_exchangeSeconds += seconds;
    for (size_t i = 0; i < kBuckets.size(); ++i) {
        if (seconds <= kBuckets[i])
            ++m_bucketCounts[i];
    }
}

QByteArray ApiMetrics::text(const Snapshot &now) const {
    QByteArray out;
    // Every document counts among the receipts by its state, as before
    // documents had kinds; by kind too among the documents.
    QMap<QString, qint64> byState;
    for (auto it = now.documents.cbegin(); it != now.documents.cend(); ++it)
        byState[it.key().second] += it.value();
    out += "# HELP norvvelm_receipts_total Receipts that reached a final state, by state.\n"
           "# TYPE norvvelm_receipts_total counter\n";
    for (auto it = byState.cbegin(); it != byState.cend(); ++it)
        out += "norvvelm_receipts_total{state=\"" + label(it.key()) + "\"} " +
               QByteArray::number(it.value()) + '\n';
    out += "# HELP norvvelm_documents_total Documents that reached a final state, by kind and state.\n"
           "# TYPE norvvelm_documents_total counter\n";
    for (auto it = now.documents.cbegin(); it != now.documents.cend(); ++it)
        out += "norvvelm_documents_total{kind=\"" + label(it.key().first) + "\",state=\"" +
               label(it.key().second) + "\"} " + QByteArray::number(it.value()) + '\n';
    out += "# HELP norvvelm_lines_sent_total Command lines the register answered.\n"
           "# TYPE norvvelm_lines_sent_total counter\n"
           "norvvelm_lines_sent_total " +
           QByteArray::number(m_answered) + '\n';
    out += "# HELP norvvelm_register_errors_total Answers with an error code, by code.\n"
           "# TYPE norvvelm_register_errors_total counter\n";
    for (auto it = m_errors.cbegin(); it != m_errors.cend(); ++it)
        out += "norvvelm_register_errors_total{code=\"" + label(it.key()) + "\",number=\"" +
               QByteArray::number(CommandErrorNumber(it.key())) + "\"} " + QByteArray::number(it.value()) +
               '\n';
    out += "# HELP norvvelm_queue_lines Lines waiting in the queue.\n"
           "# TYPE norvvelm_queue_lines gauge\n"
           "norvvelm_queue_lines " +
           QByteArray::number(now.queueLines) + '\n';
    out += "# HELP norvvelm_queue_receipts Receipts accepted and not yet final.\n"
           "# TYPE norvvelm_queue_receipts gauge\n"
           "norvvelm_queue_receipts " +
           QByteArray::number(now.queueReceipts) + '\n';
    out += "# HELP norvvelm_register_up Whether the register is identified on an open port.\n"
           "# TYPE norvvelm_register_up gauge\n"
           "norvvelm_register_up " +
           QByteArray(now.registerUp ? "1" : "0") + '\n';
    out += "# HELP norvvelm_journal_writable Whether the queue's journal takes records: 0 while no receipt "
           "is taken.\n"
           "# TYPE norvvelm_journal_writable gauge\n"
           "norvvelm_journal_writable " +
           QByteArray(now.journalWritable ? "1" : "0") + '\n';
    out += "# HELP norvvelm_exchange_seconds Time of one exchange with the register.\n"
           "# TYPE norvvelm_exchange_seconds histogram\n";
    for (size_t i = 0; i < kBuckets.size(); ++i)
        out += "norvvelm_exchange_seconds_bucket{le=\"" + number(kBuckets[i]) + "\"} " +
               QByteArray::number(m_bucketCounts[i]) + '\n';
    out += "norvvelm_exchange_seconds_bucket{le=\"+Inf\"} " + QByteArray::number(m_exchanges) + '\n';
    out += "norvvelm_exchange_seconds_sum " + number(m_exchangeSeconds) + '\n';
    out += "norvvelm_exchange_seconds_count " + QByteArray::number(m_exchanges) + '\n';
    return out;
}

} // namespace norvvelm
