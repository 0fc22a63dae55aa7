#pragma once

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

// A real ecrsim program on a pseudo-terminal, for end-to-end tests.
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
    QProcess m_proc;
};
