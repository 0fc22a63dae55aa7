#include "console/ConsoleLines.h"

#include "commands/CommandLanguage.h"
#include "commands/DocumentLines.h"

namespace norvvelm {

namespace {
constexpr int kDisplayAnswerMin = 43;
constexpr int kDisplayLineChars = 16;
} // namespace

std::optional<DisplayText> DisplayFromAnswer(const QString &answer) {
    if (answer.size() < kDisplayAnswerMin)
        return std::nullopt;
    return DisplayText{answer.mid(9, kDisplayLineChars), answer.mid(26, kDisplayLineChars)};
}

QString DemoReceiptCaption(int index) {
    switch (index) {
    case 1:
        return QStringLiteral("Avviso Display");
    case 2:
        return QStringLiteral("Reso Merce");
    case 3:
        return QStringLiteral("Avviso Stampato");
    case 4:
        return QStringLiteral("Fattura");
    case 5:
        return QStringLiteral("Nota di Credito");
    case 6:
        return QStringLiteral("Scontrino");
    default:
        return {};
    }
}

QStringList DemoReceiptLines(int index) {
    const QString pay = QStringLiteral("5/1/0.00/////");
    switch (index) {
    case 1:
        return ComposeCustomerDisplay({QStringLiteral("##PROMEMORIA##"), QStringLiteral("#SVUOTA-CASSA#")})
            .lines;
    case 2: {
        const auto item = [](const char *price) {
            return DocumentItem{QStringLiteral("REPARTO1"), {}, QStringLiteral("1"),
                                QString::fromLatin1(price), 1,  QStringLiteral("4")};
        };
        ReceiptDocument r;
        r.items = {item("5.26"), item("2.18")};
        r.returns = {item("7.43")};
        r.payments = {{1, QStringLiteral("0.00")}};
        return ComposeReceipt(r).lines;
    }
    case 3: {
        QStringList out;
        for (int i = 0; i < 5; ++i)
            out << QStringLiteral("7/1/1/##PROMEMORIA##/") << QStringLiteral("7/1/0/#SVUOTA-CASSA#/")
                << QStringLiteral("w/1/1//");
        out << QStringLiteral("m//");
        return out;
    }
    case 4:
        return {QStringLiteral("3/F/OPEN//1/1/1/4/"),
                QStringLiteral("3/S/REPARTO 1//1/80/1/4/"),
                QStringLiteral("3/S/REPARTO 1//1/70/1/4/"),
                VatNumberLine(QStringLiteral("01234567897")),
                CustomerHeaderLine({QString(), QStringLiteral("INTESTAZIONE CLIENTE"),
                                    QStringLiteral("VIA DEL CORSO 12"), QStringLiteral("00186 ROMA RM")}),
                pay};
    case 5:
        return {CreditNoteOpeningLine(QStringLiteral("123-2010")),
                QStringLiteral("3/N/CAMICIA ROSSA/rif.sco.123del010109/1/1/1/4/"), pay};
    case 6:
        return {QStringLiteral("3/S/Coca Cola 1,70/second , descr/1/25.88/1/4/"),
                QStringLiteral("3/S/REPARTO2//1/25.88/2/10/"), QStringLiteral("3/S/REPARTO3//1/7.33/3/20/"),
                QStringLiteral("4/10.00///0/0/0//"), pay};
    default:
        return {};
    }
}

} // namespace norvvelm
