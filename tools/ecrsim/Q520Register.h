#pragma once

#include "ecrsim/Register.h"

#include <QString>

#include <deque>

namespace ecrsim {

// The Q520 model: its "s/" answer carries the on-line flag at character 23,
// "0/" answers the eleven totals (and two further fields), and answers can be
// scripted: error codes such as busy "0E", "68" or "2C" for the next lines,
// and the paper bit.
class Q520Register final : public Register {
public:
    QByteArray execute(const QByteArray &line) override;
    QByteArray control(const QByteArray &line) override;

    // "CODE[*N][@PREFIX]": the next N lines (those starting with PREFIX when
    // given) are answered with CODE and not executed.
    bool addScriptedAnswer(const QString &rule, QString *error = nullptr);

    bool onLine = false;
    int paperAnswers = 0; // answers that carry the paper bit, the line not executed

private:
    struct Scripted {
        QByteArray code;
        int times = 1;
        QByteArray prefix;
    };
    std::deque<Scripted> m_scripted;

    qint64 m_vat[5] = {}; // cents
    qint64 m_sales = 0;
    qint64 m_returns = 0;
    qint64 m_corrections = 0;
    qint64 m_voids = 0;
    int m_receipts = 0;
    int m_nonFiscal = 0;
    bool m_receiptOpen = false;
};

} // namespace ecrsim
