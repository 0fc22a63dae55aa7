#include "ecrsim/Q520Register.h"

#include <QRegularExpression>

#include <cmath>

namespace ecrsim {

namespace {

QByteArray amount(qint64 cents) {
    return QByteArray::number(cents / 100) + '.' +
           QByteArray::number(std::abs(cents % 100)).rightJustified(2, '0');
}

qint64 cents(const QByteArray &text) {
    return std::llround(text.toDouble() * 100);
}

} // namespace

bool Q520Register::addScriptedAnswer(const QString &rule, QString *error) {
    static const QRegularExpression shape(QStringLiteral("^([0-9A-Fa-f]{2})(?:\\*(\\d+))?(?:@(.+))?$"));
    const auto m = shape.match(rule.trimmed());
    if (!m.hasMatch()) {
        if (error)
            *error = QStringLiteral("bad answer \"%1\": CODE[*N][@PREFIX]").arg(rule);
        return false;
    }
    Scripted s;
    s.code = m.captured(1).toLatin1();
    s.times = m.captured(2).isEmpty() ? 1 : qMax(1, m.captured(2).toInt());
    s.prefix = m.captured(3).toLatin1();
    m_scripted.push_back(s);
    return true;
}

QByteArray Q520Register::control(const QByteArray &line) {
    const QList<QByteArray> words = line.simplified().split(' ');
    if (words.value(0) != "q520" || words.size() < 2)
        return {};
    const QByteArray &verb = words.at(1);
    const QByteArray arg = words.value(2);
    if (verb == "online") {
        onLine = arg != "0";
        return "ok";
    }
    if (verb == "paper") {
        paperAnswers = arg.isEmpty() ? 1 : arg.toInt();
        return "ok";
    }
    if (verb == "answer") {
        QString error;
        return addScriptedAnswer(QString::fromLatin1(arg), &error) ? QByteArray("ok") : error.toLatin1();
    }
    return "q520: expected online 0|1, paper N or answer CODE[*N][@PREFIX]";
}

QByteArray Q520Register::execute(const QByteArray &line) {
    if (paperAnswers > 0) {
        --paperAnswers;
        return answer("00", statusBits | 4, {"0"});
    }
    for (auto it = m_scripted.begin(); it != m_scripted.end(); ++it) {
        if (!it->prefix.isEmpty() && !line.startsWith(it->prefix))
            continue;
        const QByteArray code = it->code;
        if (--it->times <= 0)
            m_scripted.erase(it);
        return error(code);
    }

    const QByteArrayList f = line.split('/');
    const QByteArray code = line.left(2);
    if (code == "s/") // the 23rd character of the answer is the on-line flag
        return ok({"Q520", "0000000", onLine ? "1" : "0"});
    if (code == "0/") {
        return ok({amount(m_vat[0]), amount(m_vat[1]), amount(m_vat[2]), amount(m_vat[3]), amount(m_vat[4]),
                   amount(m_sales), QByteArray::number(m_receipts), QByteArray::number(m_nonFiscal),
                   amount(m_corrections), amount(m_returns), amount(m_voids), "0", "0"});
    }
    if (code == "3/") {
        const qint64 value = std::llround(f.value(4).toDouble() * cents(f.value(5)));
        const int dept = qMax(1, f.value(6).toInt());
        if (f.value(1) == "R") {
            m_returns += value;
        } else if (f.value(1) == "N") {
            m_voids += value;
        } else if (f.value(1) == "F") {
            m_corrections += value;
        } else {
            m_sales += value;
            m_vat[(dept - 1) % 5] += value;
        }
        m_receiptOpen = true;
    } else if (code == "U/" || code == "j/" || code == "2/" || code == "4/") {
        m_receiptOpen = true;
    } else if (code == "5/") {
        if (m_receiptOpen)
            ++m_receipts;
        m_receiptOpen = false;
    } else if (code == "7/" && !m_receiptOpen) {
        ++m_nonFiscal;
    }
    return Register::execute(line);
}

} // namespace ecrsim
