#pragma once

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

// The simulated register beside the benchmark program, on a pseudo-terminal
// in a folder of its own; it is stopped when this goes.
class PtyRegister {
public:
    PtyRegister() = default;
    PtyRegister(const PtyRegister &) = delete;
    PtyRegister &operator=(const PtyRegister &) = delete;
    ~PtyRegister() {
        if (m_proc.state() != QProcess::NotRunning) {
            m_proc.terminate();
            if (!m_proc.waitForFinished(3000))
                m_proc.kill();
        }
    }

    // False when ecrsim did not start or made no terminal within five seconds.
    bool start() {
        m_proc.setProgram(QCoreApplication::applicationDirPath() + QStringLiteral("/ecrsim"));
        m_proc.setArguments({QStringLiteral("--pty"), link()});
        m_proc.setStandardErrorFile(QProcess::nullDevice());
        m_proc.start();
        if (!m_proc.waitForStarted(5000))
            return false;
        for (int i = 0; i < 500 && !QFileInfo::exists(link()); ++i)
            QThread::msleep(10);
        return QFileInfo::exists(link());
    }
    QString link() const { return m_dir.filePath(QStringLiteral("ecr")); }
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QProcess m_proc;
};
