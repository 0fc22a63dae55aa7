#include "app/widgets/TechnicianPage.h"

#include "app/Station.h"
#include "commands/Prompter.h"
#include "commands/Session.h"
#include "commands/Settings.h"
#include "commands/TechnicianTools.h"
#include "shell/widgets/Controls.h"
#include "shell/widgets/FixedPitchFont.h"
#include "shell/widgets/Pickers.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace norvvelm {

using namespace controls;

namespace {

struct ButtonSpec {
    const char *objectName;
    const char *caption;
};
// cmdSendCommand(0): the single command, (1): the command file.
constexpr ButtonSpec kSendButtons[2] = {{"cmdSendCommand_0", "&Invia comando"},
                                        {"cmdSendCommand_1", "Invia &file"}};

} // namespace

TechnicianPage::TechnicianPage(TechnicianTools &tools, Station &station, Prompter &prompter, Pickers &pickers,
                               QWidget *parent)
    : QWidget(parent), m_tools(tools), m_station(station), m_prompter(prompter), m_pickers(pickers) {
    m_single = new QLineEdit;
    m_single->setObjectName(QStringLiteral("txtSingleCMD"));
    m_file = new QLineEdit;
    m_file->setObjectName(QStringLiteral("txtFileCMD"));
    m_answer = new QPlainTextEdit;
    m_answer->setObjectName(QStringLiteral("txtAnswerCMD"));
    m_answer->setReadOnly(true);
    m_answer->setTabChangesFocus(true);
    m_answer->setFont(FixedPitchFont());
    for (int i = 0; i < 2; ++i)
        m_send[i] = button(kSendButtons[i].objectName, QString::fromUtf8(kSendButtons[i].caption));
    m_clear = button("cmdTechCancAnswer", QStringLiteral("Cancella &risposta"));
    m_chooseFile = button("cmdTechFile", QStringLiteral("..."), QStringLiteral("Scegli il file di comandi"));
    keepNarrow(m_chooseFile);
    m_rawApi = check("chkApiRigheDirette", QStringLiteral("Comandi &diretti dall'API (POST /api/v1/raw)"));
    showRawApi();
    m_learning = button("cmdApprendimento", QStringLiteral("Apprendimento"));
    m_commissioning = button("cmdMessaInServizio", QStringLiteral("Messa in servizio"));

    auto *commands = new QGroupBox(QStringLiteral("Comandi"));
    commands->setObjectName(QStringLiteral("frmComandi"));
    auto *grid = new QGridLayout(commands);
    grid->addWidget(labelFor(m_single, QStringLiteral("Comando")), 0, 0);
    grid->addWidget(m_single, 0, 1, 1, 2);
    grid->addWidget(m_send[0], 0, 3);
    grid->addWidget(labelFor(m_file, QStringLiteral("File di comandi")), 1, 0);
    grid->addWidget(m_file, 1, 1);
    grid->addWidget(m_chooseFile, 1, 2);
    grid->addWidget(m_send[1], 1, 3);
    grid->addWidget(labelFor(m_answer, QStringLiteral("Risposta")), 2, 0, Qt::AlignTop);
    grid->addWidget(m_answer, 2, 1, 1, 2);
    grid->addWidget(m_clear, 2, 3, Qt::AlignTop);
    grid->addWidget(m_rawApi, 3, 1, 1, 3);
    grid->setColumnStretch(1, 1);

    // The virtual keyboard and the display copy stand here (console widgets).
    m_keyboardPlace = new QHBoxLayout;

    auto *service = new QHBoxLayout;
    service->addWidget(m_learning);
    service->addWidget(m_commissioning);
    service->addStretch(1);

    auto *page = new QVBoxLayout(this);
    page->addWidget(commands, 1);
    page->addLayout(m_keyboardPlace, 1);
    page->addLayout(service);

    for (int i = 0; i < 2; ++i)
        connect(m_send[i], &QPushButton::clicked, this, [this, i] { send(i); });
    connect(m_single, &QLineEdit::returnPressed, this, [this] { send(0); });
    connect(m_clear, &QPushButton::clicked, m_answer, &QPlainTextEdit::clear);
    // Saved at once; a switch that could not be saved goes back (the status
    // bar says where it could not be written).
    connect(m_rawApi, &QCheckBox::clicked, this, [this](bool on) {
        if (!m_station.setApiRigheDirette(on))
            showRawApi();
    });
    connect(&m_station.session().settings(), &Settings::configChanged, this, &TechnicianPage::showRawApi);
    connect(m_chooseFile, &QPushButton::clicked, this, [this] {
        const QString file = m_pickers.chooseFile(QStringLiteral("All Files|*.*"));
        if (!file.isEmpty())
            m_file->setText(file.trimmed());
    });
    // These two service functions are not offered by this program: saying so
    // beats a button that silently does nothing.
    const auto notOffered = [this] {
        m_prompter.message(QStringLiteral("Funzione non disponibile in questa versione"),
                           QStringLiteral("Norv Velm"), Prompter::Icon::Information);
    };
    connect(m_learning, &QPushButton::clicked, this, notOffered);
    connect(m_commissioning, &QPushButton::clicked, this, notOffered);
}

QList<QWidget *> TechnicianPage::tabOrder() const {
    return {m_single, m_send[0], m_file,   m_chooseFile, m_send[1],
            m_answer, m_clear,   m_rawApi, m_learning,   m_commissioning};
}

void TechnicianPage::showRawApi() {
    const QSignalBlocker quiet(m_rawApi);
    m_rawApi->setChecked(m_station.session().settings().config().ApiRigheDirette);
}

void TechnicianPage::send(int index) {
    if (!m_send[index]->isEnabled())
        return;
    m_answer->clear();
    m_answer->setPlainText(m_tools.sendCommand(index, m_single->text(), m_file->text()));
}

void TechnicianPage::setSendingEnabled(bool on) {
    for (QPushButton *b : m_send)
        b->setEnabled(on);
}

void TechnicianPage::activate() {
    m_single->setFocus(Qt::OtherFocusReason);
}

} // namespace norvvelm
