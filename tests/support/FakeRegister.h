#pragma once

#include "q520driver/Q520Port.h"
#include "q520driver/Q520Prompter.h"
#include "q520driver/Q520Protocol.h"

#include <QStringList>
#include <QTimer>

#include <functional>

// An in-memory register on the driver's port: answers ENQ with ACK, checks each
// frame's checksum (NAK when wrong), acknowledges and answers. Replies arrive
// later, as reads of a real port do.
class FakeRegister final : public q520::Port {
public:
    bool openOk = true;
    bool answersEnquiry = true;
    bool nulForAck = false; // a NUL in place of every ACK
    int chunk = 0;          // > 0: replies arrive in pieces of this many bytes
    // Answer text for a command line; an empty text leaves the register silent.
    std::function<QString(const QString &line)> answer = [](const QString &) {
        return QStringLiteral("00/00/00/");
    };
    // Lines refused with NAK, as if their frame had been garbled on the way.
    std::function<bool(const QString &line)> refuse = [](const QString &) { return false; };
    QStringList lines; // command lines received with a good checksum
    int acksFromDriver = 0;
    QString device;
    qint32 baud = 0;

    bool open(const QString &dev, qint32 rate, QString *error) override {
        device = dev;
        baud = rate;
        if (!openOk && error)
            *error = QStringLiteral("busy");
        m_open = openOk;
        return openOk;
    }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    QByteArray readAll() override {
        QByteArray out = m_out;
        m_out.clear();
        return out;
    }
    void clearInput() override { m_out.clear(); }

    void write(const QByteArray &bytes) override {
        m_in += bytes;
        while (!m_in.isEmpty()) {
            const char c = m_in.front();
            if (c == q520::kStx) {
                const qsizetype etx = m_in.indexOf(q520::kEtx);
                if (etx < 0)
                    return;
                const QByteArray body = m_in.mid(1, etx - 1);
                m_in.remove(0, etx + 1);
                frame(body);
                continue;
            }
            m_in.remove(0, 1);
            if (c == q520::kEnq && answersEnquiry)
                reply(ack());
            else if (c == q520::kAck)
                ++acksFromDriver;
        }
    }

private:
    QByteArray ack() const { return QByteArray(1, nulForAck ? q520::kNul : q520::kAck); }

    void frame(const QByteArray &body) {
        const QByteArray line = body.left(body.size() - 2);
        if (body.size() < 2 || body.right(2).toInt() != q520::frameChecksum(line)) {
            reply(QByteArray(1, q520::kNak));
            return;
        }
        if (refuse(q520::fromAnsi(line))) {
            reply(QByteArray(1, q520::kNak));
            return;
        }
        lines.append(q520::fromAnsi(line));
        const QString text = answer(q520::fromAnsi(line));
        if (text.isNull())
            return; // silent, not even an ACK
        QByteArray out = ack();
        if (!text.isEmpty())
            out += q520::kStx + q520::toAnsi(text) + q520::kEtx;
        reply(out);
    }

    void reply(const QByteArray &bytes) {
        if (chunk <= 0) {
            deliver(bytes);
            return;
        }
        for (qsizetype i = 0; i < bytes.size(); i += chunk)
            deliver(bytes.mid(i, chunk));
    }

    void deliver(const QByteArray &bytes) {
        QTimer::singleShot(0, this, [this, bytes] {
            if (!m_open)
                return;
            m_out += bytes;
            emit readyRead();
        });
    }

    bool m_open = false;
    QByteArray m_in;
    QByteArray m_out;
};

// Answers the driver's messages by script and keeps them for the test.
class ScriptedPrompter final : public q520::Prompter {
public:
    QStringList texts;
    QList<bool> yesNoAnswers; // taken in order; No when they run out
    int confirmsLeft = 100;   // operator confirmations before nobody is there

    void message(const QString &text, const QString &, Icon) override { texts.append(text); }
    bool confirm(const QString &text, const QString &, Icon) override {
        texts.append(text);
        return confirmsLeft-- > 0;
    }
    bool askYesNo(const QString &text, const QString &) override {
        texts.append(text);
        return !yesNoAnswers.isEmpty() && yesNoAnswers.takeFirst();
    }
};
