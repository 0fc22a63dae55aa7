#include "programming/WriteProcedure.h"

#include "commands/CommandLanguage.h"
#include "commands/Prompter.h"
#include "commands/RegisterOwner.h"
#include "link/EcrErrors.h"

namespace norvvelm {

namespace {
const QString kAttention = QStringLiteral("Attenzione");
}

WriteProcedure::WriteProcedure(TableLink link, Prompter &prompter) : m_link(link), m_prompter(prompter) {}

void WriteProcedure::setBranch(int index, Branch branch) {
    if (index >= 0 && index < kButtons && index != 5 && index != 8)
        m_branches[size_t(index)] = std::move(branch);
}

bool WriteProcedure::hasBranch(int index) const {
    return index >= 0 && index < kButtons && bool(m_branches[size_t(index)]);
}

void WriteProcedure::run(int index) {
    // Every write is one sequence: the print server waits until it ends.
    const RegisterLease lease(m_link.session, RegisterOwner::Use::Changes, &m_prompter);
    if (!lease)
        return;
    if (index < 0 || index >= kButtons) {
        m_prompter.message(QStringLiteral("Errore 90 : Avvisare produttore"), kAttention,
                           Prompter::Icon::Critical);
    } else if (index == 5 || index == 8) {
        // no table behind these buttons
    } else if (const Branch &b = m_branches[size_t(index)]) {
        b();
    } else if (index == kLogo) {
        m_prompter.message(QStringLiteral("Pagina del logo non presente: nessun logo da scaricare"),
                           kAttention, Prompter::Icon::Critical);
    } else {
        m_prompter.message(QStringLiteral("Errore 90 : Avvisare produttore"), kAttention,
                           Prompter::Icon::Critical);
    }
}

QString WriteProcedure::failureMessage(const QString &failure) const {
    // After a link failure no answer arrived: code and explanation are empty.
    const QString code = AnswerErrorCode(m_link.answer());
    const QString why = code.isEmpty() ? QString() : DescribeEcrError(code).message;
    return failure + u'\n' + QStringLiteral("Errore : ") + code + u'\n' + why;
}

bool WriteProcedure::report(const QString &failure, const QString &success) {
    if (m_link.status() != 0) {
        showFailure(failure);
        return false;
    }
    showSuccess(success);
    return true;
}

void WriteProcedure::showFailure(const QString &failure) {
    m_prompter.message(failureMessage(failure), kAttention, Prompter::Icon::Critical);
}

void WriteProcedure::showSuccess(const QString &success) {
    m_prompter.message(success, QStringLiteral("Norv Velm"), Prompter::Icon::Information);
}

bool WriteProcedure::confirm(const QString &question) {
    return m_prompter.ask(question, QStringLiteral("ATTENZIONE"), Prompter::Icon::Question,
                          Prompter::Buttons::OkCancel, Prompter::Answer::Cancel,
                          Prompter::Answer::Cancel) == Prompter::Answer::Ok;
}

WriteProcedure::Outcome WriteProcedure::sendRows(const Rows &rows) {
    Outcome out;
    for (int r = 0; r < rows.count; ++r) {
        if (rows.progress)
            rows.progress(r);
        const int status = m_link.send(rows.line(r));
        ++out.sent;
        if (status == 0)
            continue;
        ++out.failed;
        if (IsLinkFailure(status)) {
            out.stopped = true;
            const int left = rows.count - r;
            m_prompter.message(failureMessage(rows.failure(r)) + u'\n' +
                                   QStringLiteral("Scarico interrotto: il registratore non risponde "
                                                  "(%1 righe su %2 non scaricate).")
                                       .arg(left)
                                       .arg(rows.count),
                               kAttention, Prompter::Icon::Critical);
            break;
        }
        showFailure(rows.failure(r));
    }
    return out;
}

void WriteProcedure::closeRows(const Outcome &outcome, int total, const QString &success,
                               const QString &whatFailed) {
    if (outcome.stopped)
        return;
    if (outcome.failed == 0) {
        showSuccess(success);
        return;
    }
    m_prompter.message(whatFailed + QStringLiteral(": %1 su %2 non scaricati").arg(outcome.failed).arg(total),
                       kAttention, Prompter::Icon::Critical);
}

} // namespace norvvelm
