#pragma once

#include "ecrsim/LineServer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

namespace ecrsim {

class SimLink;

// Serves the simulated register on a pseudo-terminal in raw mode, with a link
// at a chosen path pointing at the terminal's device.
class PtyServer : public QObject, public LineServer {
    Q_OBJECT
public:
    PtyServer(SimLink &link, QString linkPath, QObject *parent = nullptr);
    ~PtyServer() override;

    bool start(QString *error);
    void stop();
    // The port disappears (as an unplugged adapter) and comes back after ms.
    void disconnectFor(int ms) override;
    QString devicePath() const { return m_device; }

private:
    void onReadable();
    void flushOutput();

    SimLink &m_link;
    QString m_linkPath;
    QString m_device;
    int m_master = -1;
    int m_slave = -1;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_outTimer;
    QElapsedTimer m_clock;
};

} // namespace ecrsim
