#pragma once

#include <QSize>
#include <QString>

#include <optional>

namespace norvvelm {

class LogoPicture;
class Prompter;

// One logo page's picture work: loading a bitmap file into a black-and-white
// picture of a register size, resizing it and zooming the view. The page
// moves the results into its labels and combo boxes.
class LogoSlot {
public:
    // What a load leaves for the page to show.
    struct Loaded {
        QSize size;          // the picture as read from the file
        int widthIndex = -1; // entries of the size combo boxes now selected
        int heightIndex = -1;
    };

    LogoSlot(LogoPicture &picture, Prompter &prompter) : m_picture(picture), m_prompter(prompter) {}

    // Said before the file is chosen: pictures are brought to a register size.
    void ShowLoadNotice();
    // Reads `file` into the current picture, thresholds it, stretches it to
    // the nearest register size and shows it. A file that cannot be read
    // leaves the previous picture as it was and says so: nothing back then.
    std::optional<Loaded> Load(const QString &file);
    // Stretches the picture to the sizes typed or chosen in the combo boxes;
    // false (with the message) when they are no usable size.
    bool Resize(const QString &widthText, const QString &heightText);
    // Changes only the view.
    void Zoom(int percent);

    // A combo box's text as a number: its leading digits, 0 when there are none.
    static int SideFromText(const QString &text);

private:
    void threshold(const QSize &size);

    LogoPicture &m_picture;
    Prompter &m_prompter;
};

} // namespace norvvelm
