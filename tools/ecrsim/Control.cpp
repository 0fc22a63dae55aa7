#include "ecrsim/Control.h"

#include "ecrsim/LineServer.h"
#include "ecrsim/Register.h"
#include "ecrsim/SimLink.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <unistd.h>

namespace ecrsim {

Control::Control(SimLink &link, LineServer &server, QObject *parent)
    : QObject(parent), m_link(link), m_server(server) {}

void Control::listen(int fd) {
    m_fd = fd;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &Control::onReadable);
}

void Control::onReadable() {
    char buf[1024];
    const ssize_t n = ::read(m_fd, buf, sizeof buf);
    if (n <= 0) {
        // End of input: keep serving, just stop listening.
        m_notifier->setEnabled(false);
        return;
    }
    m_pending.append(buf, n);
    qsizetype nl;
    while ((nl = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(nl).trimmed();
        m_pending.remove(0, nl + 1);
        if (!line.isEmpty()) {
            const QByteArray reply = execute(line);
            fprintf(stderr, "ecrsim: %s\n", reply.constData());
        }
    }
}

QByteArray Control::execute(const QByteArray &line) {
    const QByteArray verb = line.split(' ').value(0);
    const QByteArray arg = line.mid(verb.size()).trimmed();
    if (verb == "fault") {
        QString error;
        return m_link.addFaultRule(QString::fromLatin1(arg), &error) ? "ok" : error.toLocal8Bit();
    }
    if (verb == "clear") {
        m_link.clearFaults();
        return "ok";
    }
    if (verb == "paper" || verb == "cover") {
        Register &reg = m_link.reg();
        if (verb == "paper" && arg == "out")
            reg.setPaperOut(true);
        else if (verb == "paper" && arg == "in")
            reg.paperIn();
        else if (verb == "paper" && arg == "low")
            reg.setPaperLow(true);
        else if (verb == "cover" && arg == "open")
            reg.setCoverOpen(true);
        else if (verb == "cover" && arg == "close")
            reg.setCoverOpen(false);
        else
            return "expected paper out|in|low or cover open|close";
        return "ok";
    }
    if (verb == "disconnect") {
        m_server.disconnectFor(arg.toInt());
        return "ok";
    }
    if (verb == "quit") {
        QCoreApplication::quit();
        return "ok";
    }
    if (QByteArray reply = m_link.reg().control(line); !reply.isEmpty())
        return reply;
    return "unknown control command: " + line;
}

} // namespace ecrsim
