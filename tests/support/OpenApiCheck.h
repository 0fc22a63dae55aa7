#pragma once

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QString>

namespace testsupport {

// The OpenAPI document of docs/api.md (its one JSON block), and a check of
// an answer against the schema it gives for a path, method and status: the
// types, required properties, enums and nullability of the schema, through
// its references, and the patterns of its strings.
class OpenApiCheck {
public:
    explicit OpenApiCheck(const QString &markdownPath) {
        QFile f(markdownPath);
        if (!f.open(QIODevice::ReadOnly))
            return;
        const QByteArray text = f.readAll();
        const qsizetype start = text.indexOf("```json\n");
        const qsizetype end = text.indexOf("\n```", start + 8);
        if (start < 0 || end < 0)
            return;
        m_doc = QJsonDocument::fromJson(text.mid(start + 8, end - start - 8)).object();
    }
    bool loaded() const { return m_doc.value(QStringLiteral("openapi")).toString().startsWith(u'3'); }
    const QJsonObject &document() const { return m_doc; }

    // Empty when `body` fits; else what does not. A status the document
    // does not list for the operation does not fit.
    QString check(const QString &path, const QString &method, int status, const QByteArray &body) const {
        const QJsonObject op = m_doc[QStringLiteral("paths")][path][method].toObject();
        if (op.isEmpty())
            return QStringLiteral("no operation %1 %2").arg(method, path);
        QJsonObject response = op[QStringLiteral("responses")][QString::number(status)].toObject();
        if (response.isEmpty())
            return QStringLiteral("status %1 not listed for %2 %3").arg(status).arg(method, path);
        response = resolve(response);
        const QJsonObject content = response[QStringLiteral("content")].toObject();
        if (!content.contains(QStringLiteral("application/json")))
            return {};
        QJsonParseError e{};
        const QJsonDocument doc = QJsonDocument::fromJson(body, &e);
        if (e.error != QJsonParseError::NoError)
            return QStringLiteral("not JSON: ") + e.errorString();
        const QJsonValue value = doc.isObject() ? QJsonValue(doc.object()) : QJsonValue(doc.array());
        return fits(value, content[QStringLiteral("application/json")][QStringLiteral("schema")].toObject(),
                    QStringLiteral("$"));
    }

    // Empty when `body` fits the schema of components/schemas/`name`.
    QString checkSchema(const QString &name, const QByteArray &body) const {
        const QJsonDocument doc = QJsonDocument::fromJson(body);
        if (!doc.isObject())
            return QStringLiteral("not a JSON object");
        return fits(doc.object(),
                    m_doc[QStringLiteral("components")][QStringLiteral("schemas")][name].toObject(),
                    QStringLiteral("$"));
    }

private:
    QJsonObject resolve(QJsonObject o) const {
        while (o.contains(QStringLiteral("$ref"))) {
            const QStringList parts = o[QStringLiteral("$ref")].toString().mid(2).split(u'/');
            QJsonValue v = m_doc;
            for (const QString &p : parts)
                v = v[p];
            o = v.toObject();
        }
        return o;
    }
    QString fits(const QJsonValue &v, QJsonObject schema, const QString &at) const {
        schema = resolve(schema);
        if (v.isNull())
            return schema[QStringLiteral("nullable")].toBool() ? QString() : at + QStringLiteral(" is null");
        const QString type = schema[QStringLiteral("type")].toString();
        if (type == QLatin1String("object")) {
            if (!v.isObject())
                return at + QStringLiteral(" not an object");
            const QJsonObject o = v.toObject();
            for (const QJsonValue &r : schema[QStringLiteral("required")].toArray()) {
                if (!o.contains(r.toString()))
                    return at + QStringLiteral(" lacks ") + r.toString();
            }
            const QJsonObject props = schema[QStringLiteral("properties")].toObject();
            for (auto it = props.begin(); it != props.end(); ++it) {
                if (o.contains(it.key())) {
                    if (QString w = fits(o.value(it.key()), it.value().toObject(), at + u'.' + it.key());
                        !w.isEmpty())
                        return w;
                }
            }
        } else if (type == QLatin1String("array")) {
            if (!v.isArray())
                return at + QStringLiteral(" not an array");
            const QJsonArray a = v.toArray();
            for (qsizetype i = 0; i < a.size(); ++i) {
                if (QString w = fits(a.at(i), schema[QStringLiteral("items")].toObject(),
                                     at + u'[' + QString::number(i) + u']');
                    !w.isEmpty())
                    return w;
            }
        } else if (type == QLatin1String("string")) {
            if (!v.isString())
                return at + QStringLiteral(" not a string");
            const QJsonArray values = schema[QStringLiteral("enum")].toArray();
            if (!values.isEmpty() && !values.contains(v))
                return at + QStringLiteral(" not one of the listed values: ") + v.toString();
            const QString pattern = schema[QStringLiteral("pattern")].toString();
            if (!pattern.isEmpty() && !QRegularExpression(pattern).match(v.toString()).hasMatch())
                return at + QStringLiteral(" does not match ") + pattern + QStringLiteral(": ") +
                       v.toString();
        } else if (type == QLatin1String("integer")) {
            if (!v.isDouble() || v.toDouble() != double(qint64(v.toDouble())))
                return at + QStringLiteral(" not an integer");
        } else if (type == QLatin1String("boolean")) {
            if (!v.isBool())
                return at + QStringLiteral(" not a boolean");
        }
        return {};
    }

    QJsonObject m_doc;
};

} // namespace testsupport
