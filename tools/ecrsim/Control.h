#pragma once

#include <QByteArray>
#include <QObject>

class QSocketNotifier;

namespace ecrsim {

class LineServer;
class SimLink;

// Commands read from a descriptor (standard input) while the register runs,
// one per line:
//   fault RULE        script a link or register fault (as --fault)
//   clear             drop every scripted fault, paper and cover conditions too
//   paper out|in|low  the roll runs out (31 to every command) | a new roll
//                     (clears out and low) | near its end (the paper bit)
//   cover open|close  the roll's cover (32 to every command while open)
//   disconnect MS     the port disappears (the TCP client is dropped) and
//                     comes back after MS
//   quit              end the program
// Any other line goes to the register's model (the logos: "logos print
// on|off", "logos clear"; the Q520: "q520 online 0|1", "q520 paper N",
// "q520 answer CODE[*N][@PREFIX]").
class Control : public QObject {
    Q_OBJECT
public:
    Control(SimLink &link, LineServer &server, QObject *parent = nullptr);
    void listen(int fd);
    // Executes one control line; returns the reply printed to standard error.
    QByteArray execute(const QByteArray &line);

private:
    void onReadable();

    SimLink &m_link;
    LineServer &m_server;
    int m_fd = -1;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_pending;
};

} // namespace ecrsim
