#pragma once

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

// A real ecrsim program on a pseudo-terminal (or on a TCP port of the loopback
// interface), for end-to-end tests.
class EcrSimProcess {
public:
    explicit EcrSimProcess(const QString &linkPath) : m_link(linkPath) {}
    ~EcrSimProcess() { stop(); }

    static QString bin(const QString &name) {
        return qEnvironmentVariable("NORVVELM_BIN", QStringLiteral(".")) + u'/' + name;
    }

    bool start(const QStringList &extra = {}) {
        m_proc.setProgram(bin(QStringLiteral("ecrsim")));
        m_proc.setArguments(QStringList{QStringLiteral("--pty"), m_link} + extra);
        m_proc.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_proc.start();
        if (!m_proc.waitForStarted(5000))
            return false;
        return waitForLink();
    }
    // On a TCP port the system chooses, which ecrsim says on standard error.
    bool startTcp(const QStringList &extra = {}) {
        m_proc.setProgram(bin(QStringLiteral("ecrsim")));
        m_proc.setArguments(QStringList{QStringLiteral("--tcp"), QStringLiteral("0")} + extra);
        m_proc.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        m_proc.start();
        if (!m_proc.waitForStarted(5000))
            return false;
        static const QByteArray said = "ecrsim: serving ";
        QByteArray err;
        QDeadlineTimer deadline(5000);
        m_proc.setReadChannel(QProcess::StandardError);
        while (!err.contains('\n') && !deadline.hasExpired()) {
            m_proc.waitForReadyRead(100);
            err += m_proc.readAllStandardError();
        }
        const qsizetype at = err.indexOf(said);
        if (at < 0)
            return false;
        m_device = QString::fromLatin1(err.mid(at + said.size()).split('\n').first());
        return m_device.startsWith(QLatin1String("tcp://"));
    }
    // What the link opens: the terminal's link, or "tcp://127.0.0.1:PORT".
    QString device() const { return m_device.isEmpty() ? m_link : m_device; }
    bool waitForLink(int ms = 5000) {
        QDeadlineTimer deadline(ms);
        while (!QFileInfo(m_link).exists() && !deadline.hasExpired())
            QTest::qWait(5);
        return QFileInfo(m_link).exists();
    }
    void control(const QByteArray &line) {
        m_proc.write(line + '\n');
        m_proc.waitForBytesWritten(1000);
    }
    void stop() {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.terminate();
            if (!m_proc.waitForFinished(5000))
                m_proc.kill();
            m_proc.waitForFinished(1000);
        }
    }
    QProcess &process() { return m_proc; }
    const QString &linkPath() const { return m_link; }

private:
    QString m_link;
    QString m_device;
    QProcess m_proc;
};
