#pragma once

#include "logo/LogoSlot.h"

#include <QWidget>

#include <array>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QTabWidget;

namespace norvvelm {

class ConfigEcrPage;
class Pickers;
class Prompter;
class RitraLogoPicture;
class Runner;
class Session;
class WriteProcedure;
struct ModelRow;

// The logo page: two tabs of SSTabLoghi, each with its picture control
// ritraLogo (created through the control library's factory and called only
// through its dispatch interface), its load, zoom and resize controls and
// the labels of the picture's size.
class LogoPage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSlots = 2;

    LogoPage(Runner &runner, Session &session, Prompter &prompter, Pickers &pickers,
             QWidget *parent = nullptr);
    ~LogoPage() override;

    // The write procedure's logo branch: uploads the logo of the selected tab.
    bool uploadSelected();
    // A logo page on the programming tab's strip ssTabConfigECR, whose write
    // procedure runs uploadSelected() for the page's "Imposta" button.
    static LogoPage *insertInto(ConfigEcrPage &config, Runner &runner, Session &session, Prompter &prompter,
                                Pickers &pickers);
    // The same with a write procedure of its own (a page standing alone).
    void installInto(WriteProcedure &procedure);
    // Hides the tab of a logo the model does not take.
    void shapeForModel(const ModelRow &row);

    // The picture of a slot; null when the control library could not be loaded.
    LogoPicture *picture(int slot) const;
    // Why the controls are missing, empty when they are there.
    QString controlError() const { return m_controlError; }

private:
    struct Slot {
        QWidget *control = nullptr;
        std::unique_ptr<RitraLogoPicture> picture;
        std::unique_ptr<LogoSlot> logic;
        QPushButton *load = nullptr;
        QScrollBar *zoom = nullptr;
        QComboBox *width = nullptr;
        QComboBox *height = nullptr;
        QPushButton *resize = nullptr;
        QLabel *widthLabel = nullptr;
        QLabel *heightLabel = nullptr;
    };

    QWidget *buildSlot(int index, QWidget *control);
    void load(int index);
    void resize(int index);
    static void showsFullSize(Slot &s);

    Runner &m_runner;
    Session &m_session;
    Prompter &m_prompter;
    Pickers &m_pickers;
    QTabWidget *m_tabs = nullptr;
    QPushButton *m_write = nullptr;
    std::array<Slot, kSlots> m_slots;
    QString m_controlError;
};

} // namespace norvvelm
