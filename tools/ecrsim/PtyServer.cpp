#include "ecrsim/PtyServer.h"

#include "ecrsim/SimLink.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace ecrsim {

PtyServer::PtyServer(SimLink &link, QString linkPath, QObject *parent)
    : QObject(parent), m_link(link), m_linkPath(std::move(linkPath)) {
    m_clock.start();
    m_outTimer.setSingleShot(true);
    m_outTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_outTimer, &QTimer::timeout, this, &PtyServer::flushOutput);
}

PtyServer::~PtyServer() {
    stop();
}

bool PtyServer::start(QString *error) {
    auto fail = [&](const QString &what) {
        if (error)
            *error = what + QStringLiteral(": ") + QString::fromLocal8Bit(strerror(errno));
        stop();
        return false;
    };
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0)
        return fail(QStringLiteral("posix_openpt"));
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        return fail(QStringLiteral("grantpt/unlockpt"));
    const char *name = ptsname(m_master);
    if (!name)
        return fail(QStringLiteral("ptsname"));
    m_device = QString::fromLocal8Bit(name);
    // Keep one descriptor of the terminal side open ourselves, so that the
    // master does not see a hang-up each time the PC closes its port.
    m_slave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_slave < 0)
        return fail(QStringLiteral("open terminal"));
    termios tio{};
    if (tcgetattr(m_slave, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_slave, TCSANOW, &tio);
    }
    QFile::remove(m_linkPath);
    if (::symlink(name, QFile::encodeName(m_linkPath).constData()) != 0)
        return fail(QStringLiteral("symlink ") + m_linkPath);
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyServer::onReadable);
    return true;
}

void PtyServer::stop() {
    m_outTimer.stop();
    delete m_notifier;
    m_notifier = nullptr;
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
    if (!m_device.isEmpty()) {
        QFile::remove(m_linkPath);
        m_device.clear();
    }
}

void PtyServer::disconnectFor(int ms) {
    stop();
    m_link.dropOutput();
    QTimer::singleShot(std::max(ms, 0), this, [this] {
        QString error;
        if (!start(&error))
            qWarning("ecrsim: cannot bring the port back: %s", qPrintable(error));
    });
}

void PtyServer::onReadable() {
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            m_link.receive(QByteArrayView(buf, n), m_clock.elapsed());
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: drained; EIO: nobody on the other side for now
    }
    flushOutput();
}

void PtyServer::flushOutput() {
    if (m_master < 0)
        return;
    const qint64 now = m_clock.elapsed();
    const QByteArray due = m_link.takeOutput(now);
    qsizetype done = 0;
    while (done < due.size()) {
        const ssize_t n = ::write(m_master, due.constData() + done, size_t(due.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break; // the PC is not reading; the bytes are lost as on a real line
    }
    const qint64 next = m_link.nextOutputAt();
    if (next >= 0)
        m_outTimer.start(int(std::max<qint64>(0, next - now)));
}

} // namespace ecrsim
