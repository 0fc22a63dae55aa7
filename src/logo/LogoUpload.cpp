#include "logo/LogoUpload.h"

#include "commands/CommandLanguage.h"
#include "commands/Prompter.h"
#include "commands/RegisterOwner.h"
#include "commands/Runner.h"
#include "commands/Session.h"
#include "link/EcrErrors.h"
#include "logo/LogoDots.h"
#include "logo/LogoPicture.h"
#include "programming/TableLink.h"

namespace norvvelm {

QStringList LogoUpload::DotRows(LogoPicture &picture) {
    QSize size;
    if (picture.GetBitmapSize(QString(), size) != 1)
        return {};
    const int width = size.width();
    const int height = size.height();
    if (!LogoSizeInRange(width, height) || !LogoWidthFitsDigits(width))
        return {};
    QStringList rows;
    rows.reserve(height);
    QList<bool> dots(width);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            LogoPicture::Colour c;
            // A dot that cannot be read is sent black: never a white hole.
            dots[x] = picture.GetPixel(QString(), x, y, c) == 1 && IsWhiteDot(c.r, c.g, c.b);
        }
        rows.append(LogoRowDigits(dots));
    }
    return rows;
}

bool LogoUpload::Send(LogoPicture &picture, int logoNumber) {
    const QString productTitle = QStringLiteral("Norv Velm");
    QSize size;
    if (picture.GetBitmapSize(QString(), size) != 1)
        size = QSize();
    if (!LogoSizeInRange(size.width(), size.height())) {
        m_prompter.message(QStringLiteral("Logo non impostato"), productTitle, Prompter::Icon::Information);
        return false;
    }
    if (!LogoWidthFitsDigits(size.width())) {
        m_prompter.message(QStringLiteral("Logo non impostato\r\nLa larghezza deve essere un multiplo di 4"),
                           productTitle, Prompter::Icon::Information);
        return false;
    }
    const QStringList rows = DotRows(picture);
    // Every row of the logo is one sequence: the print server waits until it ends.
    const RegisterLease lease(m_session, RegisterOwner::Use::Changes, &m_prompter);
    if (!lease)
        return false;
    QString failedCode;
    QString failedText;
    bool failed = false;
    for (int r = 1; r <= rows.size(); ++r) {
        const int status =
            m_runner.SendAndCheck(LogoRowLine(logoNumber, size.width(), size.height(), r, rows.at(r - 1)));
        if (status == 0)
            continue;
        failed = true;
        if (IsLinkFailure(status)) {
            failedCode = QString::number(status);
            failedText = m_session.lastExchange().statusText();
            break;
        }
        failedCode = AnswerErrorCode(m_session.lastExchange().lastAnswer());
        failedText = DescribeEcrError(failedCode).message;
    }
    if (failed) {
        m_prompter.message(QStringLiteral("Errore in scarico logo\r\nErrore : ") + failedCode +
                               QStringLiteral("\r\n") + failedText,
                           QStringLiteral("Attenzione"), Prompter::Icon::Critical);
        return false;
    }
    m_prompter.message(QStringLiteral("Logo Scaricato, ricordarsi di attivarlo"), productTitle,
                       Prompter::Icon::Information);
    return true;
}

} // namespace norvvelm
