#include "commands/RegisterOwner.h"

#include "commands/Prompter.h"
#include "commands/Session.h"

namespace norvvelm {

QString RegisterOwner::refusal(Use use) const {
    const ServerWork work = serverWork();
    if (work.sending)
        return QStringLiteral("Il server di stampa sta inviando uno scontrino alla cassa: "
                              "riprovare al termine.");
    if (use == Use::Reads)
        return {};
    if (work.receiptOpen)
        return QStringLiteral("Uno scontrino del server di stampa \u00e8 aperto sulla cassa: "
                              "riprovare quando il programma di cassa lo avr\u00e0 chiuso.");
    // Lines that wait for the operator's own open receipt or document must
    // not keep the operator from closing it.
    if (work.linesWaiting && !m_documentOpen && !m_rawReceiptOpen)
        return QStringLiteral("Il server di stampa ha righe in attesa per la cassa: "
                              "riprovare quando saranno inviate.");
    return {};
}

void RegisterOwner::setDocumentOpen(bool open) {
    if (open == m_documentOpen)
        return;
    m_documentOpen = open;
    if (!operatorHolds())
        emit operatorReleased();
}

void RegisterOwner::setRawReceiptOpen(bool open) {
    if (open == m_rawReceiptOpen)
        return;
    m_rawReceiptOpen = open;
    if (!operatorHolds())
        emit operatorReleased();
}

void RegisterOwner::release() {
    if (m_sequences > 0 && --m_sequences == 0 && !operatorHolds())
        emit operatorReleased();
}

bool MayUseRegister(Session &session, RegisterOwner::Use use, Prompter *prompter) {
    const QString why = session.registerOwner().refusal(use);
    if (why.isEmpty())
        return true;
    session.statusBar().setMessage(QStringLiteral("Cassa occupata"), why);
    if (prompter && use == RegisterOwner::Use::Changes)
        prompter->message(why, QStringLiteral("Attenzione"), Prompter::Icon::Warning);
    return false;
}

RegisterLease::RegisterLease(Session &session, RegisterOwner::Use use, Prompter *prompter)
    : m_session(session) {
    if (!MayUseRegister(session, use, prompter))
        return;
    m_granted = true;
    session.registerOwner().acquire();
    session.runState().beginBusy();
}

RegisterLease::~RegisterLease() {
    if (!m_granted)
        return;
    m_session.runState().endBusy();
    m_session.registerOwner().release();
}

} // namespace norvvelm
