#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

namespace ecrsim {

class PtyServer;
class SimLink;

// Commands read from a descriptor (standard input) while the register runs,
// one per line:
//   fault SPEC        script a link fault (as --fault)
//   clear             drop every scripted fault
//   disconnect MS     the port disappears and comes back after MS
//   quit              end the program
// Any other line goes to the register's model (the Q520: "q520 online 0|1",
// "q520 paper N", "q520 answer CODE[*N][@PREFIX]").
class Control : public QObject {
    Q_OBJECT
public:
    Control(SimLink &link, PtyServer &server, QObject *parent = nullptr);
    void listen(int fd);
    // Executes one control line; returns the reply printed to standard error.
    QByteArray execute(const QByteArray &line);

private:
    void onReadable();

    SimLink &m_link;
    PtyServer &m_server;
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_pending;
};

} // namespace ecrsim
