#include "api/ReceiptBook.h"

#include "commands/CommandLanguage.h"
#include "commands/Runner.h"

#include <QJsonArray>
#include <QLocale>

#include <cstdlib>

namespace norvvelm {

namespace {
constexpr struct {
    OutcomeState state;
    const char16_t *name;
} kStateNames[] = {{OutcomeState::Queued, u"queued"},   {OutcomeState::Printing, u"printing"},
                   {OutcomeState::Voided, u"voided"},   {OutcomeState::Printed, u"printed"},
                   {OutcomeState::Refused, u"refused"}, {OutcomeState::Failed, u"failed"},
                   {OutcomeState::Open, u"open"},       {OutcomeState::Cancelled, u"cancelled"}};

const QString kFileSourceApi = QStringLiteral("api");
} // namespace

QString ReceiptIdText(quint64 id) {
    return QStringLiteral("R") + QString::number(id);
}

quint64 ReceiptIdNumber(QStringView text) {
    if (!text.startsWith(u'R') || text.size() < 2 || text.at(1) == u'+')
        return 0;
    bool ok = false;
    const quint64 n = text.mid(1).toULongLong(&ok);
    return ok ? n : 0;
}

QString OutcomeStateName(OutcomeState state) {
    for (const auto &n : kStateNames) {
        if (n.state == state)
            return QString::fromUtf16(n.name);
    }
    return {};
}

std::optional<OutcomeState> OutcomeStateNamed(QStringView name) {
    for (const auto &n : kStateNames) {
        if (name == QStringView(n.name))
            return n.state;
    }
    return std::nullopt;
}

namespace {
QJsonValue amountJson(const std::optional<qint64> &cents) {
    return cents ? QJsonValue(AmountText(*cents)) : QJsonValue();
}

std::optional<qint64> amountOf(const QJsonValue &v) {
    return v.isString() ? AmountCents(v.toString()) : std::nullopt;
}
} // namespace

QJsonObject FiguresJson(const ReceiptTotals &t) {
    QJsonArray vat;
    for (const auto &v : t.vatCents)
        vat.append(amountJson(v));
    return QJsonObject{
        {QStringLiteral("receipts"), t.receipts},
        {QStringLiteral("sales"), amountJson(t.salesCents)},
        {QStringLiteral("vat"), vat},
        {QStringLiteral("non_fiscal"), t.nonFiscal >= 0 ? QJsonValue(t.nonFiscal) : QJsonValue()},
        {QStringLiteral("corrections"), amountJson(t.correctionsCents)},
        {QStringLiteral("returns"), amountJson(t.returnsCents)},
        {QStringLiteral("voids"), amountJson(t.voidsCents)}};
}

ReceiptTotals FiguresFromJson(const QJsonObject &o) {
    ReceiptTotals t;
    t.receipts = o.value(QStringLiteral("receipts")).toInt(-1);
    t.salesCents = amountOf(o.value(QStringLiteral("sales")));
    const QJsonArray vat = o.value(QStringLiteral("vat")).toArray();
    for (int i = 0; i < 5; ++i)
        t.vatCents[size_t(i)] = amountOf(vat.at(i));
    t.nonFiscal = o.value(QStringLiteral("non_fiscal")).toInt(-1);
    t.correctionsCents = amountOf(o.value(QStringLiteral("corrections")));
    t.returnsCents = amountOf(o.value(QStringLiteral("returns")));
    t.voidsCents = amountOf(o.value(QStringLiteral("voids")));
    return t;
}

QJsonValue TimeJson(const QDateTime &t) {
    if (!t.isValid())
        return QJsonValue();
    // Always "+HH:MM" (never "Z"), in the time's own offset: what the till
    // showed when it happened.
    const int offset = t.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    const QLatin1Char zero('0');
    return QString(QLocale::c().toString(t, QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz")) +
                   QChar(offset < 0 ? u'-' : u'+') +
                   QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, zero).arg(minutes % 60, 2, 10, zero));
}

QDateTime TimeFromText(const QString &text) {
    return QDateTime::fromString(text, Qt::ISODateWithMs);
}

bool ReceiptQuery::matches(const ReceiptHistory &r) const {
    if (before != 0 && r.id >= before)
        return false;
    if (since.isValid() && (!r.accepted.isValid() || r.accepted < since))
        return false;
    if (date.isValid() && (!r.accepted.isValid() || r.accepted.toLocalTime().date() != date))
        return false;
    return states.isEmpty() || states.contains(r.outcome);
}

QString KindOf(const ReceiptHistory &r) {
    return r.source.document.isEmpty() ? QStringLiteral("receipt") : r.source.document;
}

QJsonObject ReceiptJson(const ReceiptHistory &r) {
    const auto time = TimeJson;
    QJsonArray errs;
    for (const ReceiptError &e : r.errors)
        errs.append(
            QJsonObject{{QStringLiteral("line"), e.line},
                        {QStringLiteral("code"), e.code.isEmpty() ? QJsonValue() : QJsonValue(e.code)},
                        {QStringLiteral("number"), e.number >= 0 ? QJsonValue(e.number) : QJsonValue()},
                        {QStringLiteral("text"), e.text}});
    const bool request = r.source.kind == ReceiptSource::Kind::Request;
    return QJsonObject{
        {QStringLiteral("id"), ReceiptIdText(r.id)},
        {QStringLiteral("key"), request ? QJsonValue(r.source.key) : QJsonValue()},
        {QStringLiteral("source"), request ? kFileSourceApi : r.source.key},
        {QStringLiteral("state"), OutcomeStateName(r.outcome)},
        {QStringLiteral("receipt_number"), r.receiptNumber >= 0 ? QJsonValue(r.receiptNumber) : QJsonValue()},
        {QStringLiteral("total"), r.totalCents ? QJsonValue(AmountText(*r.totalCents)) : QJsonValue()},
        {QStringLiteral("lines"), QJsonArray::fromStringList(r.lines)},
        {QStringLiteral("errors"), errs},
        {QStringLiteral("accepted"), time(r.accepted)},
        {QStringLiteral("started"), time(r.started)},
        {QStringLiteral("finished"), time(r.finished)},
        {QStringLiteral("kind"), KindOf(r)},
        {QStringLiteral("figures"), r.figures ? QJsonValue(FiguresJson(*r.figures)) : QJsonValue()},
        {QStringLiteral("reset"), r.figuresReset ? QJsonValue(*r.figuresReset) : QJsonValue()},
        {QStringLiteral("warnings"), QJsonArray::fromStringList(r.source.warnings)},
        {QStringLiteral("expires"), time(r.source.expires)},
        {QStringLiteral("reason"), r.reasonCode.isEmpty()
                                       ? QJsonValue()
                                       : QJsonObject{{QStringLiteral("code"), r.reasonCode},
                                                     {QStringLiteral("message"), r.reasonText}}},
    };
}

bool ReceiptFromJson(const QJsonObject &o, ReceiptHistory &out) {
    out = ReceiptHistory{};
    out.id = ReceiptIdNumber(o.value(QStringLiteral("id")).toString());
    const QJsonValue key = o.value(QStringLiteral("key"));
    if (key.isString())
        out.source = {ReceiptSource::Kind::Request, key.toString(), {}, {}, {}};
    else
        out.source = {ReceiptSource::Kind::File, o.value(QStringLiteral("source")).toString(), {}, {}, {}};
    for (const QJsonValue w : o.value(QStringLiteral("warnings")).toArray())
        out.source.warnings << w.toString();
    if (const QString kind = o.value(QStringLiteral("kind")).toString(); kind != u"receipt")
        out.source.document = kind;
    if (const QJsonValue f = o.value(QStringLiteral("figures")); f.isObject())
        out.figures = FiguresFromJson(f.toObject());
    if (const QJsonValue reset = o.value(QStringLiteral("reset")); reset.isBool())
        out.figuresReset = reset.toBool();
    const auto state = OutcomeStateNamed(o.value(QStringLiteral("state")).toString());
    out.receiptNumber = o.value(QStringLiteral("receipt_number")).toInt(-1);
    if (const QJsonValue total = o.value(QStringLiteral("total")); total.isString())
        out.totalCents = AmountCents(total.toString());
    for (const QJsonValue l : o.value(QStringLiteral("lines")).toArray())
        out.lines << l.toString();
    for (const QJsonValue e : o.value(QStringLiteral("errors")).toArray()) {
        const QString code = e[QStringLiteral("code")].toString();
        out.errors.append({e[QStringLiteral("line")].toInt(), code,
                           code.isEmpty() ? -1 : CommandErrorNumber(code),
                           e[QStringLiteral("text")].toString()});
    }
    // Written with their offset, or without it (local time) before it was.
    auto time = [&](const char *name) { return TimeFromText(o.value(QLatin1String(name)).toString()); };
    out.accepted = time("accepted");
    out.started = time("started");
    out.finished = time("finished");
    out.source.expires = time("expires");
    const QJsonObject reason = o.value(QStringLiteral("reason")).toObject();
    out.reasonCode = reason.value(QStringLiteral("code")).toString();
    out.reasonText = reason.value(QStringLiteral("message")).toString();
    if (state)
        out.outcome = *state;
    return out.id != 0 && state.has_value();
}

} // namespace norvvelm
