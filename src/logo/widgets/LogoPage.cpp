#include "logo/widgets/LogoPage.h"

#include "commands/BusyPointer.h"
#include "commands/PcConfig.h"
#include "commands/Prompter.h"
#include "commands/Session.h"
#include "logo/LogoDots.h"
#include "logo/LogoUpload.h"
#include "logo/widgets/RitraLogoPicture.h"
#include "picture/RitraAutomation.h"
#include "programming/WriteProcedure.h"
#include "programming/widgets/ConfigEcrPage.h"
#include "shell/widgets/Controls.h"
#include "shell/widgets/Pickers.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace norvvelm {

namespace {

const QString kControlKey = QStringLiteral("Ritra.RitraCtrl.1");
const QString kBmpFilter = QStringLiteral("BMP Files|*.bmp");

} // namespace

LogoPage::LogoPage(Runner &runner, Session &session, Prompter &prompter, Pickers &pickers, QWidget *parent)
    : QWidget(parent), m_runner(runner), m_session(session), m_prompter(prompter), m_pickers(pickers) {
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("SSTabLoghi"));
    m_tabs->setAccessibleName(QStringLiteral("Loghi"));
    m_write = new QPushButton(QStringLiteral("Imposta"), this);
    m_write->setObjectName(QStringLiteral("cmdSetParametri_2"));
    m_write->setAccessibleName(m_write->text());
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_write);
    layout->addLayout(buttons);

    RitraFactoryInterface *factory = loadRitraFactory(&m_controlError);
    for (int i = 0; i < kSlots; ++i) {
        QWidget *control = nullptr;
        if (factory) {
            control = factory->create(kControlKey, nullptr);
            if (!control && m_controlError.isEmpty())
                m_controlError = QStringLiteral("la libreria non crea ") + kControlKey;
        }
        m_tabs->addTab(buildSlot(i, control), QStringLiteral("Logo %1").arg(i + 1));
    }
    shapeForModel(m_session.settings().modelRow());
    connect(&m_session.settings(), &Settings::configChanged, this,
            [this] { shapeForModel(m_session.settings().modelRow()); });
}

LogoPage::~LogoPage() = default;

QWidget *LogoPage::buildSlot(int index, QWidget *control) {
    Slot &s = m_slots[size_t(index)];
    auto *page = new QWidget;
    page->setObjectName(controls::arrayName("fraLogo", index));
    auto *grid = new QGridLayout(page);

    auto *dispatch = control ? qobject_cast<RitraDispatch *>(control) : nullptr;
    if (dispatch) {
        s.picture = std::make_unique<RitraLogoPicture>(*dispatch);
        if (!s.picture->complete()) {
            m_controlError = QStringLiteral("controllo immagine incompleto");
            s.picture.reset();
        }
    } else if (control && m_controlError.isEmpty()) {
        m_controlError = QStringLiteral("il controllo non offre l'interfaccia di automazione");
    }
    if (s.picture) {
        control->setParent(page);
        s.control = control;
        s.logic = std::make_unique<LogoSlot>(*s.picture, m_prompter);
    } else {
        delete control;
        auto *missing =
            new QLabel(QStringLiteral("Controllo immagine non disponibile: ") + m_controlError, page);
        missing->setWordWrap(true);
        s.control = missing;
    }
    s.control->setObjectName(controls::arrayName("ritraLogo", index));
    s.control->setAccessibleName(QStringLiteral("Logo %1").arg(index + 1));
    s.control->setMinimumSize(280, 280);
    s.control->setFocusPolicy(Qt::StrongFocus);
    grid->addWidget(s.control, 0, 0, 9, 1);

    s.load = new QPushButton(QStringLiteral("Leggi BMP"), page);
    s.load->setObjectName(controls::arrayName("cmdBMPLoad", index));
    s.load->setAccessibleName(s.load->text());

    s.zoom = new QScrollBar(Qt::Horizontal, page);
    s.zoom->setObjectName(controls::arrayName("HScrBMPZoom", index));
    s.zoom->setRange(25, 400);
    s.zoom->setSingleStep(25);
    s.zoom->setPageStep(100);
    s.zoom->setValue(100);
    s.zoom->setFocusPolicy(Qt::StrongFocus);

    auto sizeCombo = [page](const char *name, int i) {
        auto *combo = new QComboBox(page);
        combo->setObjectName(controls::arrayName(name, i));
        combo->setEditable(true);
        for (int side : kLogoSides)
            combo->addItem(QString::number(side));
        combo->setCurrentIndex(-1);
        return combo;
    };
    s.width = sizeCombo("cmbBMPLarghezza", index);
    s.height = sizeCombo("cmbBMPAltezza", index);

    s.resize = new QPushButton(QStringLiteral("Ridimensiona"), page);
    s.resize->setObjectName(controls::arrayName("cmdBMResize", index));
    s.resize->setAccessibleName(s.resize->text());

    s.widthLabel = new QLabel(page);
    s.widthLabel->setObjectName(controls::arrayName("lbmBMPWidth", index));
    s.heightLabel = new QLabel(page);
    s.heightLabel->setObjectName(controls::arrayName("lblBMPHeight", index));

    grid->addWidget(s.load, 0, 1, 1, 2);
    grid->addWidget(controls::labelFor(s.zoom, QStringLiteral("&Zoom")), 1, 1);
    grid->addWidget(s.zoom, 1, 2);
    grid->addWidget(controls::labelFor(s.width, QStringLiteral("&Larghezza")), 2, 1);
    grid->addWidget(s.width, 2, 2);
    grid->addWidget(controls::labelFor(s.height, QStringLiteral("&Altezza")), 3, 1);
    grid->addWidget(s.height, 3, 2);
    grid->addWidget(s.resize, 4, 1, 1, 2);
    grid->addWidget(s.widthLabel, 5, 1, 1, 2);
    grid->addWidget(s.heightLabel, 6, 1, 1, 2);
    grid->setRowStretch(8, 1);
    grid->setColumnStretch(0, 1);

    const bool usable = s.logic != nullptr;
    for (QWidget *w : std::initializer_list<QWidget *>{s.load, s.zoom, s.width, s.height, s.resize})
        w->setEnabled(usable);
    connect(s.load, &QPushButton::clicked, this, [this, index] { load(index); });
    connect(s.resize, &QPushButton::clicked, this, [this, index] { resize(index); });
    connect(s.zoom, &QScrollBar::valueChanged, this, [this, index](int value) {
        if (LogoSlot *logic = m_slots[size_t(index)].logic.get())
            logic->Zoom(value);
    });
    return page;
}

LogoPicture *LogoPage::picture(int slot) const {
    if (slot < 0 || slot >= kSlots)
        return nullptr;
    return m_slots[size_t(slot)].picture.get();
}

void LogoPage::load(int index) {
    Slot &s = m_slots[size_t(index)];
    if (!s.logic)
        return;
    s.logic->ShowLoadNotice();
    const QString file = m_pickers.chooseFile(kBmpFilter);
    if (file.isEmpty())
        return;
    std::optional<LogoSlot::Loaded> loaded;
    {
        BusyPointer busy(m_session);
        loaded = s.logic->Load(file);
    }
    if (!loaded)
        return;
    s.widthLabel->setText(QStringLiteral("Largh.: ") + QString::number(loaded->size.width()));
    s.heightLabel->setText(QStringLiteral("Alt.: ") + QString::number(loaded->size.height()));
    s.width->setCurrentIndex(loaded->widthIndex);
    s.height->setCurrentIndex(loaded->heightIndex);
    showsFullSize(s);
}

void LogoPage::showsFullSize(Slot &s) {
    // The control shows a new picture at 100 %: the scroll bar follows
    // without zooming again.
    const QSignalBlocker quiet(s.zoom);
    s.zoom->setValue(100);
}

void LogoPage::resize(int index) {
    Slot &s = m_slots[size_t(index)];
    if (!s.logic)
        return;
    if (s.logic->Resize(s.width->currentText(), s.height->currentText()))
        showsFullSize(s);
}

void LogoPage::shapeForModel(const ModelRow &row) {
    m_tabs->setTabVisible(0, row.logo1);
    m_tabs->setTabVisible(1, row.logo2);
}

LogoPage *LogoPage::insertInto(ConfigEcrPage &config, Runner &runner, Session &session, Prompter &prompter,
                               Pickers &pickers) {
    auto *page = new LogoPage(runner, session, prompter, pickers);
    page->setObjectName(QStringLiteral("fraLoghi"));
    config.insertLogoPage(page, QStringLiteral("L&oghi"), [page] { page->uploadSelected(); });
    return page;
}

void LogoPage::installInto(WriteProcedure &procedure) {
    procedure.setBranch(WriteProcedure::kLogo, [this] { uploadSelected(); });
    connect(m_write, &QPushButton::clicked, this, [&procedure] { procedure.run(WriteProcedure::kLogo); });
}

bool LogoPage::uploadSelected() {
    const int slot = m_tabs->currentIndex();
    LogoPicture *logo = picture(slot);
    if (!logo || !m_tabs->isTabVisible(slot)) {
        m_prompter.message(QStringLiteral("Logo non impostato"), QStringLiteral("Norv Velm"),
                           Prompter::Icon::Information);
        return false;
    }
    return LogoUpload(m_runner, m_session, m_prompter).Send(*logo, slot + 1);
}

} // namespace norvvelm
