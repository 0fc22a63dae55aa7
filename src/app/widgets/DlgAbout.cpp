#include "app/widgets/DlgAbout.h"

#include "commands/Prompter.h"
#include "shell/MainWindowLogic.h"
#include "shell/Startup.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QVBoxLayout>

namespace norvvelm {

namespace {
QLabel *label(const char *objectName, const QString &text) {
    auto *l = new QLabel(text);
    l->setObjectName(QString::fromLatin1(objectName));
    l->setWordWrap(true);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    return l;
}
} // namespace

DlgAbout::DlgAbout(Prompter &prompter, QWidget *parent) : QDialog(parent), m_prompter(prompter) {
    setObjectName(QStringLiteral("DlgAbout"));
    const QString product = QStringLiteral("NorvVelm");
    setWindowTitle(QStringLiteral("About ") + product);
    startProgram = [](const QString &program) { return QProcess::startDetached(program, {}); };

    auto *title = label("lblTitle", product);
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    title->setFont(big);
    auto *version = label("lblVersion", QStringLiteral("Version ") + Startup::version());
    auto *description =
        label("lblDescription", QStringLiteral("Server di stampa fiscale e console della cassa: programma le "
                                               "tabelle della cassa, ne riproduce tastiera e display e "
                                               "stampa gli scontrini dei programmi di vendita."));
    auto *disclaimer = label("lblDisclaimer", QStringLiteral("Copyright \u00a9 NorvVelm\r"
                                                             "NorvVelm \u00e8 un marchio dei suoi autori."));
    auto *ok = new QPushButton(QStringLiteral("OK"));
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setDefault(true);
    auto *sysInfo = new QPushButton(QStringLiteral("&System Info..."));
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    sysInfo->setAccessibleName(QStringLiteral("System Info..."));

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);
    auto *box = new QVBoxLayout(this);
    box->addWidget(title);
    box->addWidget(version);
    box->addWidget(description);
    box->addWidget(disclaimer);
    box->addLayout(buttons);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(sysInfo, &QPushButton::clicked, this, &DlgAbout::startSysInfo);
}

void DlgAbout::startSysInfo() {
    const QString program = mainwindow::SystemInfoProgram();
    if (program.isEmpty() || !startProgram(program))
        m_prompter.message(mainwindow::SystemInfoUnavailable(), QStringLiteral("NorvVelm"),
                           Prompter::Icon::None);
}

} // namespace norvvelm
