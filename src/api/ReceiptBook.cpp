#include "api/ReceiptBook.h"

#include <QJsonArray>

namespace norvvelm {

bool ReceiptOutcome::isFinal() const {
    return state == QLatin1String("printed") || state == QLatin1String("failed") ||
           state == QLatin1String("refused");
}

QJsonObject ReceiptOutcome::toJson() const {
    auto time = [](const QDateTime &t) {
        return t.isValid() ? QJsonValue(t.toString(Qt::ISODateWithMs)) : QJsonValue();
    };
    QJsonArray errs;
    for (const Error &e : errors)
        errs.append(QJsonObject{{QStringLiteral("line"), e.line},
                                {QStringLiteral("code"), e.code},
                                {QStringLiteral("text"), e.text}});
    return QJsonObject{
        {QStringLiteral("id"), id},
        {QStringLiteral("key"), key.isEmpty() ? QJsonValue() : QJsonValue(key)},
        {QStringLiteral("source"), source},
        {QStringLiteral("state"), state},
        {QStringLiteral("receipt_number"), receiptNumber >= 0 ? QJsonValue(receiptNumber) : QJsonValue()},
        {QStringLiteral("total"), total.isEmpty() ? QJsonValue() : QJsonValue(total)},
        {QStringLiteral("lines"), QJsonArray::fromStringList(lines)},
        {QStringLiteral("errors"), errs},
        {QStringLiteral("accepted"), time(accepted)},
        {QStringLiteral("started"), time(started)},
        {QStringLiteral("finished"), time(finished)},
    };
}

bool ReceiptOutcome::fromJson(const QJsonObject &o, ReceiptOutcome &out) {
    out = ReceiptOutcome{};
    out.id = o.value(QStringLiteral("id")).toString();
    out.key = o.value(QStringLiteral("key")).toString();
    out.source = o.value(QStringLiteral("source")).toString();
    out.state = o.value(QStringLiteral("state")).toString();
    out.receiptNumber = o.value(QStringLiteral("receipt_number")).toInt(-1);
    out.total = o.value(QStringLiteral("total")).toString();
    for (const QJsonValue l : o.value(QStringLiteral("lines")).toArray())
        out.lines << l.toString();
    for (const QJsonValue e : o.value(QStringLiteral("errors")).toArray())
        out.errors.append({e[QStringLiteral("line")].toInt(), e[QStringLiteral("code")].toString(),
                           e[QStringLiteral("text")].toString()});
    auto time = [&](const char *name) {
        return QDateTime::fromString(o.value(QLatin1String(name)).toString(), Qt::ISODateWithMs);
    };
    out.accepted = time("accepted");
    out.started = time("started");
    out.finished = time("finished");
    return !out.id.isEmpty() && !out.state.isEmpty();
}

} // namespace norvvelm
