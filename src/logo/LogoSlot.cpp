#include "logo/LogoSlot.h"

#include "commands/Prompter.h"
#include "logo/LogoDots.h"
#include "logo/LogoPicture.h"

#include <algorithm>

namespace norvvelm {

namespace {

const QString kCurrent;
// Where the current picture waits while a new file is read.
const QString kPrevious = QStringLiteral("logo precedente");
const QString kProductTitle = QStringLiteral("Norv Velm");
// Larger sides do not fit the control's 16-bit arguments.
constexpr int kLargestSide = 32767;

} // namespace

void LogoSlot::ShowLoadNotice() {
    m_prompter.message(QStringLiteral("Il sistema ridimensionerà automaticamente\r\n"
                                      "le immagini alla risoluzione più vicina a \r\n"
                                      "[64,128,256] x [64,128,256].\r\n"
                                      "Si consiglia di caricare immagini già\r\n"
                                      "dimensionate opportunamente"),
                       kProductTitle, Prompter::Icon::Information);
}

std::optional<LogoSlot::Loaded> LogoSlot::Load(const QString &file) {
    if (file.isEmpty())
        return std::nullopt;
    QSize before;
    const bool hadPicture = m_picture.GetBitmapSize(kCurrent, before) == 1;
    if (hadPicture)
        m_picture.CopyBitmap(kCurrent, kPrevious);
    QSize read;
    if (m_picture.LoadBitmap(file, kCurrent) != 1 || m_picture.GetBitmapSize(kCurrent, read) != 1 ||
        read.isEmpty()) {
        // A control that empties its current picture for an unreadable file
        // gets the previous one back; the view never changed.
        if (hadPicture)
            m_picture.CopyBitmap(kPrevious, kCurrent);
        m_prompter.message(QStringLiteral("Impossibile leggere il file\r\n") + file +
                               QStringLiteral("\r\nIl logo precedente resta invariato"),
                           QStringLiteral("Attenzione"), Prompter::Icon::Critical);
        return std::nullopt;
    }
    m_picture.ShowBitmap(kCurrent, 1);
    threshold(read);
    m_picture.CopyBitmap(kCurrent, kCurrent);

    Loaded loaded;
    m_picture.GetBitmapSize(kCurrent, loaded.size);
    const int w = loaded.size.width();
    const int h = loaded.size.height();
    if (LogoSideIndex(w) < 0 || LogoSideIndex(h) < 0) {
        m_prompter.message(QStringLiteral("Logo non  a dimensioni standard.\r\nRidimensione automatica"),
                           kProductTitle, Prompter::Icon::Information);
    }
    const int targetWidth = LogoTargetSide(w);
    const int targetHeight = LogoTargetSide(h);
    loaded.widthIndex = LogoSideIndex(targetWidth);
    loaded.heightIndex = LogoSideIndex(targetHeight);
    m_picture.StretchBitmap(kCurrent, targetWidth, targetHeight);
    m_picture.CopyBitmap(kCurrent, kCurrent);
    m_picture.ShowBitmap(kCurrent, 1);
    return loaded;
}

void LogoSlot::threshold(const QSize &size) {
    // Only the first 256 by 256 positions are thresholded; beyond the
    // picture's own edge they read white and take no writes, so the
    // picture's positions alone are visited.
    const int width = std::min(size.width(), kLogoMaxSide);
    const int height = std::min(size.height(), kLogoMaxSide);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            LogoPicture::Colour c;
            m_picture.GetPixel(kCurrent, x, y, c);
            const int v = PassesLogoThreshold(c.r, c.g, c.b) ? 255 : 0;
            m_picture.SetPixel(kCurrent, x, y, v, v, v);
        }
    }
}

int LogoSlot::SideFromText(const QString &text) {
    const QString t = text.trimmed();
    qsizetype n = 0;
    while (n < t.size() && t.at(n).isDigit() && t.at(n).unicode() < 128)
        ++n;
    if (n == 0)
        return 0;
    bool ok = false;
    const qlonglong v = QStringView(t).left(std::min<qsizetype>(n, 12)).toLongLong(&ok);
    return ok ? int(std::min<qlonglong>(v, kLargestSide + 1)) : 0;
}

bool LogoSlot::Resize(const QString &widthText, const QString &heightText) {
    const int width = SideFromText(widthText);
    const int height = SideFromText(heightText);
    // A row carries whole groups of four dots: other widths are refused here,
    // as are sides the control cannot take.
    if (width == 0 || height == 0 || width > kLargestSide || height > kLargestSide ||
        !LogoWidthFitsDigits(width)) {
        m_prompter.message(QStringLiteral("Valore di Larghezza o altezza errato"), QString(),
                           Prompter::Icon::None);
        return false;
    }
    m_picture.StretchBitmap(kCurrent, width, height);
    m_picture.CopyBitmap(kCurrent, kCurrent);
    m_picture.ShowBitmap(kCurrent, 1);
    QSize size;
    m_picture.GetBitmapSize(kCurrent, size);
    return true;
}

void LogoSlot::Zoom(int percent) {
    m_picture.ZoomBitmap(kCurrent, percent);
}

} // namespace norvvelm
