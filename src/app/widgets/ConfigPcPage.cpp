#include "app/widgets/ConfigPcPage.h"

#include "app/Station.h"
#include "commands/BusyPointer.h"
#include "commands/MonitorExplanation.h"
#include "commands/Prompter.h"
#include "commands/Session.h"
#include "link/SerialComPort.h"
#include "link/SerialFunz2.h"
#include "link/SerialPortList.h"
#include "shell/Config.h"
#include "shell/RegisterDetection.h"
#include "shell/widgets/Controls.h"
#include "shell/widgets/FixedPitchFont.h"
#include "shell/widgets/Pickers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace norvvelm {

using namespace controls;

namespace {

// What the receipt queue holds, in one line a screen reader says.
QString QueueDescription(const QStringList &q) {
    if (q.isEmpty())
        return QStringLiteral("Coda vuota");
    if (q.size() == 1)
        return QStringLiteral("1 riga in coda: ") + q.first();
    return QString::number(q.size()) + QStringLiteral(" righe in coda, la prima: ") + q.first();
}

} // namespace

ConfigPcPage::ConfigPcPage(Station &station, Pickers &pickers, QWidget *parent)
    : QWidget(parent), m_station(station), m_s(station.session()), m_prompter(station.prompter()),
      m_pickers(pickers) {
    // --- Comunicazione ---
    auto *comm = named(new QGroupBox(QStringLiteral("Comunicazione")), "frmComunicazione");
    m_model = named(new QComboBox, "cmbModello");
    m_port = named(new QComboBox, "cmbComPort");
    m_device = named(new QComboBox, "cmbComDevice");
    m_device->setEditable(true);
    m_device->setInsertPolicy(QComboBox::NoInsert);
    m_device->setToolTip(
        QStringLiteral("Il dispositivo seriale dietro la porta scelta (sezione Porte), o "
                       "tcp://INDIRIZZO:PORTA per una cassa dietro un server seriale in rete"));
    m_speed = named(new QComboBox, "cmbSpeed");
    auto *commGrid = new QGridLayout(comm);
    commGrid->addWidget(labelFor(m_model, QStringLiteral("Modello")), 0, 0);
    commGrid->addWidget(m_model, 0, 1);
    commGrid->addWidget(labelFor(m_port, QStringLiteral("Porta")), 1, 0);
    commGrid->addWidget(m_port, 1, 1);
    commGrid->addWidget(labelFor(m_device, QStringLiteral("Dispositivo")), 2, 0);
    commGrid->addWidget(m_device, 2, 1);
    m_findRegisters = button("cmdCercaRegistratori", QStringLiteral("Cerca &registratori"));
    m_findRegisters->setToolTip(
        QStringLiteral("Cerca le casse sulle porte seriali: a ciascuna chiede solo chi \u00e8"));
    commGrid->addWidget(m_findRegisters, 2, 2);
    commGrid->addWidget(labelFor(m_speed, QStringLiteral("Velocit\u00e0")), 3, 0);
    commGrid->addWidget(m_speed, 3, 1);
    commGrid->setColumnStretch(1, 1);

    // --- Server di stampa fiscale ---
    auto *server = named(new QGroupBox(QStringLiteral("Server di stampa fiscale")), "frmServer");
    m_srv = controls::check("chkSRV_0", QStringLiteral("Server File Attivo"));
    m_mode = named(new QComboBox, "cmbSRVModalita");
    m_dir = named(new QLineEdit, "txtSRVDir");
    m_dirButton =
        button("cmdSRVDir", QStringLiteral("..."), QStringLiteral("Scegli la directory del server"));
    m_file = named(new QLineEdit, "txtSRVFile");
    m_help = button("Command3", QStringLiteral("?"), QStringLiteral("Estensioni proibite"));
    auto *serverGrid = new QGridLayout(server);
    serverGrid->addWidget(m_srv, 0, 0, 1, 2);
    serverGrid->addWidget(labelFor(m_mode, QStringLiteral("Modalit\u00e0")), 1, 0);
    serverGrid->addWidget(m_mode, 1, 1, 1, 2);
    serverGrid->addWidget(labelFor(m_dir, QStringLiteral("Directory")), 2, 0);
    serverGrid->addWidget(m_dir, 2, 1);
    serverGrid->addWidget(m_dirButton, 2, 2);
    serverGrid->addWidget(labelFor(m_file, QStringLiteral("File (*=any)")), 3, 0);
    serverGrid->addWidget(m_file, 3, 1);
    serverGrid->addWidget(m_help, 3, 2);
    serverGrid->setColumnStretch(1, 1);

    // --- log and monitor ---
    auto *logFrame = named(new QGroupBox, "frmLog");
    m_log = controls::check("chkLog", QStringLiteral("Log Attivo"));
    m_explainLog = button("cmdSpiegaLog", QStringLiteral("?"), QStringLiteral("Spiegazione del file di log"));
    m_monitor = named(new QListWidget, "lstRunTime");
    m_monitor->setFont(FixedPitchFont());
    m_monitor->setAccessibleName(QStringLiteral("Monitor Runtime"));
    m_monitor->setUniformItemSizes(true);
    m_monitorOn = controls::check("chkRunTimeLog", QStringLiteral("Abilita monitor Runtime"));
    m_clearMonitor = button("cmdCancellaMonitor", QStringLiteral("Cancella"));
    auto *logTop = new QHBoxLayout;
    logTop->addWidget(m_log);
    logTop->addWidget(m_explainLog);
    logTop->addStretch(1);
    auto *logBottom = new QHBoxLayout;
    logBottom->addWidget(m_monitorOn);
    logBottom->addStretch(1);
    logBottom->addWidget(m_clearMonitor);
    auto *logBox = new QVBoxLayout(logFrame);
    logBox->addLayout(logTop);
    logBox->addWidget(m_monitor, 1);
    logBox->addLayout(logBottom);

    // --- Parametri ---
    auto *params = named(new QGroupBox(QStringLiteral("Parametri")), "frmParametri");
    m_autoVat = controls::check("chkAlIvaAuto", QStringLiteral("Aliquote iva automatiche"));
    m_wrap = controls::check("chkWrapDescription", QStringLiteral("Descrizioni a capo"));
    // The automatic daily closing: a time of day, empty for none.
    m_closingTime = named(new QLineEdit, "txtChiusuraAutomatica");
    m_closingTime->setMaxLength(5);
    m_closingTime->setPlaceholderText(QStringLiteral("HH:MM"));
    auto *paramBox = new QVBoxLayout(params);
    paramBox->addWidget(m_autoVat);
    paramBox->addWidget(m_wrap);
    auto *closingRow = new QHBoxLayout;
    closingRow->addWidget(labelFor(m_closingTime, QStringLiteral("Chiusura automatica")));
    closingRow->addWidget(m_closingTime);
    paramBox->addLayout(closingRow);

    // --- the local HTTP interface ---
    auto *api = named(new QGroupBox(QStringLiteral("Interfaccia HTTP locale")), "frmApi");
    m_api = controls::check("chkApi", QStringLiteral("API HTTP attiva"));
    m_apiAddress = named(new QLineEdit, "txtApiIndirizzo");
    m_apiPort = named(new QLineEdit, "txtApiPorta");
    auto *apiGrid = new QGridLayout(api);
    apiGrid->addWidget(m_api, 0, 0, 1, 2);
    apiGrid->addWidget(labelFor(m_apiAddress, QStringLiteral("Indirizzo")), 1, 0);
    apiGrid->addWidget(m_apiAddress, 1, 1);
    apiGrid->addWidget(labelFor(m_apiPort, QStringLiteral("Porta API")), 2, 0);
    apiGrid->addWidget(m_apiPort, 2, 1);
    // The status page's address while the interface is on: a link the
    // keyboard reaches too.
    m_pageAddress = named(new QLabel, "lblPaginaStato");
    m_pageAddress->setTextFormat(Qt::RichText);
    m_pageAddress->setTextInteractionFlags(Qt::TextBrowserInteraction);
    m_pageAddress->setOpenExternalLinks(true);
    m_pageAddress->setAccessibleName(QStringLiteral("Pagina di stato"));
    apiGrid->addWidget(m_pageAddress, 3, 0, 1, 2);
    apiGrid->setColumnStretch(1, 1);

    // The small buttons beside their boxes keep to their text.
    for (QPushButton *b : {m_dirButton, m_help, m_explainLog})
        keepNarrow(b);

    m_saveButton = button("cmdSalvaConfigPC", QStringLiteral("Salva"));
    m_queue = named(new QListWidget, "lstScontrino");
    m_queue->setAccessibleName(QStringLiteral("Coda scontrino"));
    auto *queueLabel = new QLabel(QStringLiteral("Coda scontrino"));
    queueLabel->setBuddy(m_queue);

    auto *left = new QVBoxLayout;
    left->addWidget(comm);
    left->addWidget(server);
    left->addWidget(params);
    left->addWidget(api);
    left->addStretch(1);
    auto *saveRow = new QHBoxLayout;
    saveRow->addStretch(1);
    saveRow->addWidget(m_saveButton);
    left->addLayout(saveRow);
    // The receipt's queue below the monitor: the settings' column then fits
    // a 1024x768 screen.
    auto *right = new QVBoxLayout;
    right->addWidget(logFrame, 3);
    right->addWidget(queueLabel);
    right->addWidget(m_queue, 1);
    auto *top = new QHBoxLayout(this);
    top->addLayout(left, 2);
    top->addLayout(right, 3);

    // --- behaviour ---
    connect(m_saveButton, &QPushButton::clicked, this, &ConfigPcPage::save);
    m_saveButton->installEventFilter(this);
    connect(m_dirButton, &QPushButton::clicked, this, [this] {
        const QString dir =
            m_pickers.chooseFolder(QStringLiteral("Indicare la cartella di lavoro temporanea del Server"));
        if (!dir.isEmpty())
            m_dir->setText(dir);
    });
    connect(m_help, &QPushButton::clicked, this, [this] {
        m_prompter.message(QStringLiteral("Per un elenco delle estensioni proibite si faccia riferimento\r"
                                          "al file FileExt.ini contenuto nella dir. di installazione del "
                                          "programma."),
                           QStringLiteral("NorvVelm"), Prompter::Icon::None);
    });
    connect(m_explainLog, &QPushButton::clicked, this, [this] {
        m_prompter.message(LogFileExplanation(), QStringLiteral("NorvVelm"), Prompter::Icon::None);
    });
    // The daily log follows its box at once: every line looks at it.
    connect(m_log, &QCheckBox::toggled, this, [this](bool on) { m_s.settings().setLogEnabled(on); });
    connect(m_monitorOn, &QCheckBox::toggled, this, [this](bool on) { m_s.monitor().setMonitorEnabled(on); });
    connect(m_clearMonitor, &QPushButton::clicked, this, [this] { m_s.monitor().clearMonitor(); });
    connect(m_monitor, &QListWidget::itemDoubleClicked, this, &ConfigPcPage::explainMonitorLine);
    connect(m_port, &QComboBox::currentIndexChanged, this, &ConfigPcPage::showDevice);
    connect(m_findRegisters, &QPushButton::clicked, this, &ConfigPcPage::findRegisters);

    connect(&m_s.monitor(), &Monitor::monitorLineAdded, this, &ConfigPcPage::addMonitorLine);
    connect(&m_s.monitor(), &Monitor::monitorCleared, this, [this] {
        m_monitor->clear();
        controls::describe(m_monitor, {});
    });
    connect(&m_s.runState(), &RunState::queueChanged, this, &ConfigPcPage::refreshQueue);

    m_monitorOn->setChecked(m_s.monitor().monitorEnabled());
    for (const QString &line : m_s.monitor().lines())
        m_monitor->addItem(line);
    if (m_monitor->count() > 0)
        controls::describe(m_monitor, m_monitor->item(0)->text());
    refreshQueue();
}

QList<QWidget *> ConfigPcPage::tabOrder() const {
    return {m_model,        m_port,    m_device,      m_findRegisters, m_speed,
            m_srv,          m_mode,    m_dir,         m_dirButton,     m_file,
            m_help,         m_log,     m_explainLog,  m_monitor,       m_monitorOn,
            m_clearMonitor, m_autoVat, m_wrap,        m_closingTime,   m_api,
            m_apiAddress,   m_apiPort, m_pageAddress, m_queue,         m_saveButton};
}

void ConfigPcPage::fillLists() {
    const PcConfig &cfg = m_s.settings().config();
    m_model->clear();
    for (const ModelRow &row : m_s.settings().models().rows)
        if (!row.name.isEmpty())
            m_model->addItem(row.name);
    m_model->setCurrentIndex(m_model->findText(cfg.Modello, Qt::MatchExactly | Qt::MatchCaseSensitive));

    m_port->clear();
    m_port->addItems(mainwindow::ComPortNames());
    m_port->setCurrentIndex(m_port->findText(PortName(cfg.Porta), Qt::MatchFixedString));

    m_device->clear();
    for (const SerialPortChoice &c : AvailableSerialPorts()) {
        m_device->addItem(c.preferred());
        m_device->setItemData(m_device->count() - 1, c.description, Qt::ToolTipRole);
        if (!c.stableName.isEmpty()) {
            m_device->addItem(c.device);
            m_device->setItemData(m_device->count() - 1, c.description, Qt::ToolTipRole);
        }
    }
    showDevice();

    m_speed->clear();
    m_speed->addItems(mainwindow::SpeedNames());
    m_speed->setCurrentIndex(m_speed->findText(QString::number(cfg.Velocita), Qt::MatchExactly));

    m_mode->clear();
    m_mode->addItems(mainwindow::WindowModeNames());
    m_mode->setCurrentIndex(m_mode->findText(WindowModeName(cfg.ServerModalita), Qt::MatchExactly));

    m_dir->setText(cfg.ServerDir);
    m_file->setText(cfg.ServerFile);
    m_log->setChecked(cfg.ServerLog);
    m_srv->setChecked(cfg.ServerStato);
    m_wrap->setChecked(cfg.WrapDescription);
    m_autoVat->setChecked(cfg.AlIvaAuto);
    m_api->setChecked(cfg.ApiStato);
    m_apiAddress->setText(cfg.ApiIndirizzo);
    m_apiPort->setText(QString::number(cfg.ApiPorta));
    m_closingTime->setText(cfg.ChiusuraAutomatica);
    showPageAddress();
}

void ConfigPcPage::showPageAddress() {
    const ApiServer &api = m_station.api();
    const bool on = m_s.settings().config().ApiStato && api.isListening();
    m_pageAddress->setVisible(on);
    if (!on) {
        m_pageAddress->clear();
        return;
    }
    const QString url = mainwindow::StatusPageAddress(api.address().toString(), api.port()).toHtmlEscaped();
    m_pageAddress->setText(QStringLiteral("Pagina di stato: <a href=\"") + url + QStringLiteral("\">") + url +
                           QStringLiteral("</a>"));
}

void ConfigPcPage::showDevice() {
    const QString device = PortDevice(m_s.settings().iniPath(), m_port->currentText());
    m_device->setEditText(device);
}

void ConfigPcPage::findRegisters() {
    const BusyPointer busy(m_s);
    QStringList devices;
    for (int i = 0; i < m_device->count(); ++i)
        devices.append(DeviceOfMark(m_device->itemText(i)));
    QStringList speeds;
    for (int i = 0; i < m_speed->count(); ++i)
        speeds.append(m_speed->itemText(i));
    SerialFunz2 &link = m_station.link();
    // The machine's ports wait on the wall's time, whatever clock the
    // station's own link runs on.
    RealClock clock;
    RegisterDetection detection(clock, [] { return std::make_unique<SerialComPort>(); });
    if (link.isOpen())
        detection.setOwnPort(link.portName(), m_s.settings().config().Velocita, m_s.settings().identity());
    const QList<DetectedPort> found =
        detection.DetectRegisters(devices, RegisterDetection::SpeedsFromNames(speeds));
    const QString current = DeviceOfMark(m_device->currentText());
    for (qsizetype i = 0; i < found.size() && i < m_device->count(); ++i) {
        m_device->setItemText(int(i), DeviceMark(found.at(i)));
        m_device->setItemData(int(i), DetectionLine(found.at(i)), Qt::ToolTipRole);
    }
    int at = -1;
    for (int i = 0; i < m_device->count() && at < 0; ++i)
        if (DeviceOfMark(m_device->itemText(i)) == current)
            at = i;
    m_device->setCurrentIndex(at);
    m_device->setEditText(at >= 0 ? m_device->itemText(at) : current);
    controls::describe(m_device, DetectionSummary(found));
}

void ConfigPcPage::save() {
    ConfigForm form;
    form.model = m_model->currentText();
    form.port = m_port->currentText();
    form.speed = m_speed->currentText();
    form.server = m_srv->isChecked();
    form.mode = m_mode->currentText();
    form.folder = m_dir->text();
    form.file = m_file->text();
    form.log = m_log->isChecked();
    form.wrap = m_wrap->isChecked();
    form.autoVat = m_autoVat->isChecked();
    form.api = m_api->isChecked();
    form.apiAddress = m_apiAddress->text();
    form.apiPort = m_apiPort->text();
    form.closingTime = m_closingTime->text();
    const QString device = DeviceOfMark(m_device->currentText());
    if (!device.isEmpty() && device != PortDevice(m_s.settings().iniPath(), form.port))
        SetPortDevice(m_s.settings().iniPath(), form.port, device);
    m_station.saveConfiguration(mainwindow::KeepStoredChoices(form, m_s.settings().config()));
    showPageAddress();
    emit saved(form.mode);
}

bool ConfigPcPage::eventFilter(QObject *watched, QEvent *event) {
    // cmdSalvaConfigPC_LostFocus: leaving the save button by keyboard goes
    // back to the model list, so the tab's controls form a ring.
    if (watched == m_saveButton && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::TabFocusReason)
            QTimer::singleShot(0, m_model, [this] {
                if (m_model->isVisible() && m_model->isEnabled())
                    m_model->setFocus(Qt::TabFocusReason);
            });
    }
    return QWidget::eventFilter(watched, event);
}

void ConfigPcPage::refreshQueue() {
    const QStringList &q = m_s.runState().queue();
    m_queue->clear();
    m_queue->addItems(q);
    // A screen reader hears what waits without walking the list.
    controls::describe(m_queue, QueueDescription(q));
}

void ConfigPcPage::addMonitorLine(const QString &line) {
    m_monitor->insertItem(0, line);
    while (m_monitor->count() > Monitor::kMonitorLimit)
        delete m_monitor->takeItem(m_monitor->count() - 1);
    controls::describe(m_monitor, line); // the newest line, announced as it comes
}

void ConfigPcPage::explainMonitorLine() {
    const QListWidgetItem *item = m_monitor->currentItem();
    if (!item)
        return;
    const MonitorExplanation e = ExplainMonitorLine(item->text());
    m_prompter.message(e.text, e.title, e.critical ? Prompter::Icon::Critical : Prompter::Icon::Information);
}

} // namespace norvvelm
