#pragma once

#include "logo/LogoSlot.h"

#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QTabWidget;

namespace norvvelm {

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

    LogoPage(Runner &runner, Session &session, Prompter &prompter, QWidget *parent = nullptr);
    ~LogoPage() override;

    // The write procedure's logo branch: uploads the logo of the selected tab.
    bool uploadSelected();
    // Makes uploadSelected() the write procedure's logo branch, run by the
    // page's "Imposta" button cmdSetParametri_2.
    void installInto(WriteProcedure &procedure);
    // Hides the tab of a logo the model does not take.
    void shapeForModel(const ModelRow &row);

    // The file choice ("BMP Files|*.bmp"); tests replace it. Empty: nothing chosen.
    std::function<QString(const QString &filter)> chooseFile;

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
    QTabWidget *m_tabs = nullptr;
    QPushButton *m_write = nullptr;
    std::array<Slot, kSlots> m_slots;
    QString m_controlError;
};

} // namespace norvvelm
