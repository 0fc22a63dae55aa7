#include "api/ReceiptReader.h"

#include "commands/CommandLanguage.h"
#include "link/Ansi.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace norvvelm {

namespace {

constexpr int kPaymentTypes = 10;

QString quoted(const QString &s) {
    return u'"' + s.left(40) + u'"';
}

// A JSON string may name half of a character (a "\ud800" escape alone);
// no register prints it.
bool hasLoneSurrogate(const QString &s) {
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
            ++i;
        else if (s.at(i).isSurrogate())
            return true;
    }
    return false;
}

QString loneSurrogateText() {
    return QStringLiteral("contiene un carattere Unicode non valido (surrogato isolato)");
}

// The JSON reader: each getter says what is wrong with the value at `where`.
class Reader {
public:
    QString error;

    bool fail(const QString &where, const QString &why) {
        if (error.isEmpty())
            error = where + QStringLiteral(": ") + why;
        return false;
    }

    // The string at `v`; empty when it is left out and not required; none
    // (the fault said) when it is missing, or not a string (`notString`).
    std::optional<QString> string(const QJsonValue &v, const QString &where, bool required,
                                  const QString &notString) {
        if (v.isUndefined() || v.isNull()) {
            if (!required)
                return QString();
            fail(where, QStringLiteral("manca"));
            return std::nullopt;
        }
        if (!v.isString()) {
            fail(where, notString);
            return std::nullopt;
        }
        if (hasLoneSurrogate(v.toString())) {
            fail(where, loneSurrogateText());
            return std::nullopt;
        }
        return v.toString();
    }

    std::optional<QString> text(const QJsonValue &v, const QString &where, bool required) {
        const auto s = string(v, where, required, QStringLiteral("deve essere un testo"));
        if (!s)
            return std::nullopt;
        if (const QString problem = FieldProblem(*s); !problem.isEmpty()) {
            fail(where, problem);
            return std::nullopt;
        }
        return s;
    }

    // An amount or quantity: a decimal string, never a JSON number (whose
    // reading passes through binary floating point).
    std::optional<QString> decimal(const QJsonValue &v, const QString &where, int decimals, bool required) {
        const auto s =
            string(v, where, required,
                   QStringLiteral("deve essere un testo decimale come \"5.26\" (non un numero JSON)"));
        if (!s || !v.isString())
            return s; // none, or left out
        if (!IsDecimalText(*s, decimals)) {
            fail(where,
                 QStringLiteral("importo non valido %1 (cifre, punto decimale, al massimo %2 decimali)")
                     .arg(quoted(*s))
                     .arg(decimals));
            return std::nullopt;
        }
        return s;
    }

    // A small whole number: a JSON integer or a string of digits.
    std::optional<int> whole(const QJsonValue &v, const QString &where, int low, int high) {
        int n = -1;
        if (v.isDouble()) {
            const double d = v.toDouble();
            if (d >= low && d <= high && d == double(int(d)))
                n = int(d);
        } else if (v.isString()) {
            bool ok = false;
            const QString s = v.toString();
            if (s.size() <= 3 && !s.isEmpty() && s.at(0).isDigit())
                n = s.toInt(&ok);
            if (!ok)
                n = -1;
        } else if (v.isUndefined() || v.isNull()) {
            fail(where, QStringLiteral("manca"));
            return std::nullopt;
        }
        if (n < low || n > high) {
            fail(where, QStringLiteral("deve essere un numero intero da %1 a %2").arg(low).arg(high));
            return std::nullopt;
        }
        return n;
    }

    bool onlyKeys(const QJsonObject &o, const QStringList &keys, const QString &where) {
        for (auto it = o.begin(); it != o.end(); ++it) {
            if (!keys.contains(it.key()))
                return fail(where, QStringLiteral("campo sconosciuto ") + quoted(it.key()));
        }
        return true;
    }

    std::optional<QStringList> texts(const QJsonValue &v, const QString &where) {
        if (v.isUndefined())
            return QStringList();
        if (!v.isArray()) {
            fail(where, QStringLiteral("deve essere un elenco di testi"));
            return std::nullopt;
        }
        QStringList out;
        const QJsonArray a = v.toArray();
        for (qsizetype i = 0; i < a.size(); ++i) {
            const auto t = text(a.at(i), where + u'[' + QString::number(i) + u']', true);
            if (!t)
                return std::nullopt;
            out << *t;
        }
        return out;
    }
};

// One item of a structured receipt as its sale line; none (the reason in
// `r.error`) when it is not one.
std::optional<QString> itemLine(Reader &r, const QJsonValue &value, const QString &where) {
    if (!value.isObject()) {
        r.error = where + QStringLiteral(": deve essere un oggetto");
        return std::nullopt;
    }
    const QJsonObject it = value.toObject();
    if (!r.onlyKeys(it,
                    {QStringLiteral("description"), QStringLiteral("description2"),
                     QStringLiteral("quantity"), QStringLiteral("price"), QStringLiteral("department"),
                     QStringLiteral("vat")},
                    where))
        return std::nullopt;
    const auto d1 =
        r.text(it.value(QStringLiteral("description")), where + QStringLiteral(".description"), true);
    const auto d2 =
        r.text(it.value(QStringLiteral("description2")), where + QStringLiteral(".description2"), false);
    const auto qty =
        r.decimal(it.value(QStringLiteral("quantity")), where + QStringLiteral(".quantity"), 3, true);
    const auto price =
        r.decimal(it.value(QStringLiteral("price")), where + QStringLiteral(".price"), 2, true);
    const auto dept = r.whole(it.value(QStringLiteral("department")), where + QStringLiteral(".department"),
                              1, kDepartments);
    const auto vat = r.decimal(it.value(QStringLiteral("vat")), where + QStringLiteral(".vat"), 2, false);
    if (!d1 || !d2 || !qty || !price || !dept || !vat)
        return std::nullopt;
    return SaleLine(*d1, *d2, *qty, *price, *dept, *vat);
}

// One payment of a structured receipt as its payment line; none (the reason
// in `r.error`) when it is not one.
std::optional<QString> paymentLine(Reader &r, const QJsonValue &value, const QString &where) {
    if (!value.isObject()) {
        r.error = where + QStringLiteral(": deve essere un oggetto");
        return std::nullopt;
    }
    const QJsonObject p = value.toObject();
    if (!r.onlyKeys(p, {QStringLiteral("type"), QStringLiteral("amount")}, where))
        return std::nullopt;
    const auto type =
        r.whole(p.value(QStringLiteral("type")), where + QStringLiteral(".type"), 1, kPaymentTypes);
    const auto amount =
        r.decimal(p.value(QStringLiteral("amount")), where + QStringLiteral(".amount"), 2, false);
    if (!type || !amount)
        return std::nullopt;
    return PaymentLine(*type, *amount);
}

ReceiptReading structured(const QJsonObject &o) {
    Reader r;
    ReceiptReading out;
    if (!r.onlyKeys(o,
                    {QStringLiteral("items"), QStringLiteral("payments"), QStringLiteral("customer"),
                     QStringLiteral("text")},
                    QStringLiteral("scontrino"))) {
        out.error = r.error;
        return out;
    }
    const QJsonValue items = o.value(QStringLiteral("items"));
    const QJsonValue payments = o.value(QStringLiteral("payments"));
    if (!items.isArray() || items.toArray().isEmpty()) {
        out.error = QStringLiteral("items: serve un elenco di almeno una vendita");
        return out;
    }
    if (!payments.isArray() || payments.toArray().isEmpty()) {
        out.error = QStringLiteral("payments: serve un elenco di almeno un pagamento");
        return out;
    }
    const auto customer = r.texts(o.value(QStringLiteral("customer")), QStringLiteral("customer"));
    const auto text = r.texts(o.value(QStringLiteral("text")), QStringLiteral("text"));
    if (!customer || !text) {
        out.error = r.error;
        return out;
    }
    if (customer->size() > 9) {
        out.error = QStringLiteral("customer: al massimo 9 righe");
        return out;
    }
    if (!customer->isEmpty())
        out.lines << CustomerHeaderLine(*customer);

    for (qsizetype i = 0; i < items.toArray().size(); ++i) {
        const auto line =
            itemLine(r, items.toArray().at(i), QStringLiteral("items[") + QString::number(i) + u']');
        if (!line) {
            out.error = r.error;
            return out;
        }
        out.lines << *line;
    }
    for (const QString &t : *text)
        out.lines << ReceiptTextLine(t);
    for (qsizetype i = 0; i < payments.toArray().size(); ++i) {
        const auto line =
            paymentLine(r, payments.toArray().at(i), QStringLiteral("payments[") + QString::number(i) + u']');
        if (!line) {
            out.error = r.error;
            return out;
        }
        out.lines << *line;
    }
    return out;
}

ReceiptReading checked(ReceiptReading reading) {
    if (!reading.ok()) {
        reading.lines.clear(); // nothing of a faulty body is taken
        return reading;
    }
    if (reading.lines.size() > kMaxReceiptLines) {
        reading.error =
            QStringLiteral("%1 righe (massimo %2)").arg(reading.lines.size()).arg(kMaxReceiptLines);
        reading.lines.clear();
        return reading;
    }
    bool open = false;
    for (qsizetype i = 0; i < reading.lines.size(); ++i) {
        if (const QString problem = ReceiptLineProblem(reading.lines.at(i), open); !problem.isEmpty()) {
            reading.error =
                QStringLiteral("riga %1 %2: %3").arg(i + 1).arg(quoted(reading.lines.at(i)), problem);
            reading.lines.clear();
            return reading;
        }
    }
    bool any = false;
    for (const QString &l : std::as_const(reading.lines))
        any = any || !l.trimmed().isEmpty();
    if (!any) {
        reading.error = QStringLiteral("nessuna riga da stampare");
        reading.lines.clear();
    }
    return reading;
}

} // namespace

ReceiptBodyType ReceiptBodyTypeOf(const QByteArray &contentType) {
    const QList<QByteArray> parts = contentType.split(';');
    const QByteArray media = parts.value(0).trimmed().toLower();
    QByteArray charset;
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QByteArray p = parts.at(i).trimmed().toLower();
        if (p.startsWith("charset="))
            charset = p.mid(8).replace('"', "");
    }
    if (media == "text/plain")
        return ReceiptBodyType::Text;
    if (media == "application/json")
        return charset.isEmpty() || charset == "utf-8" ? ReceiptBodyType::Json : ReceiptBodyType::Other;
    return ReceiptBodyType::Other;
}

ReceiptReading ReadReceiptText(const QByteArray &body) {
    ReceiptReading r;
    r.lines = SplitReceiptLines(decodeTextFile(body));
    return checked(r);
}

ReceiptReading ReadReceiptJson(const QByteArray &body) {
    ReceiptReading out;
    QJsonParseError parse{};
    const QJsonDocument doc = QJsonDocument::fromJson(body, &parse);
    if (parse.error != QJsonParseError::NoError) {
        out.error =
            QStringLiteral("JSON non valido al carattere %1: %2").arg(parse.offset).arg(parse.errorString());
        return out;
    }
    if (!doc.isObject()) {
        out.error = QStringLiteral("il corpo deve essere un oggetto JSON");
        return out;
    }
    const QJsonObject o = doc.object();
    if (o.contains(QStringLiteral("lines"))) {
        if (o.size() != 1) {
            out.error = QStringLiteral("\"lines\" non si unisce ad altri campi");
            return out;
        }
        const QJsonValue v = o.value(QStringLiteral("lines"));
        if (!v.isArray()) {
            out.error = QStringLiteral("lines: deve essere un elenco di testi");
            return out;
        }
        const QJsonArray a = v.toArray();
        for (qsizetype i = 0; i < a.size(); ++i) {
            if (!a.at(i).isString()) {
                out.error = QStringLiteral("lines[%1]: deve essere un testo").arg(i);
                return out;
            }
            if (hasLoneSurrogate(a.at(i).toString())) {
                out.error = QStringLiteral("lines[%1]: ").arg(i) + loneSurrogateText();
                return out;
            }
            out.lines << a.at(i).toString();
        }
        return checked(out);
    }
    return checked(structured(o));
}

ReceiptReading ReadReceiptBody(const QByteArray &body, ReceiptBodyType type) {
    switch (type) {
    case ReceiptBodyType::Text:
        return ReadReceiptText(body);
    case ReceiptBodyType::Json:
        return ReadReceiptJson(body);
    case ReceiptBodyType::Other:
        break;
    }
    ReceiptReading r;
    r.error = QStringLiteral("Content-Type deve essere text/plain o application/json");
    return r;
}

} // namespace norvvelm
