#pragma once

#include <QStringList>

namespace norvvelm {

class LogoPicture;
class Prompter;
class Runner;
class Session;

// Sends a picture to the register as one of its two logos, one "$/" line per
// row of dots, and says how it went.
class LogoUpload {
public:
    LogoUpload(Runner &runner, Session &session, Prompter &prompter)
        : m_runner(runner), m_session(session), m_prompter(prompter) {}

    // The rows of the picture's dots, top first, as the register takes them;
    // empty when the picture has no size the register can take.
    static QStringList DotRows(LogoPicture &picture);
    // Uploads the picture as logo `logoNumber` (1 or 2). True when the
    // register took every row. A register that refuses a row does not stop
    // the upload; a link that fails does, since no further row would arrive.
    bool Send(LogoPicture &picture, int logoNumber);

private:
    Runner &m_runner;
    Session &m_session;
    Prompter &m_prompter;
};

} // namespace norvvelm
