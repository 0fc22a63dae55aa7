#pragma once

#include <QSize>
#include <QString>

namespace norvvelm {

// The calls the logo page makes on its picture control, one per dispatch
// member. Each returns the control's status: 1 done, 0 failed. The name ""
// is the control's current picture.
class LogoPicture {
public:
    struct Colour {
        int r = 0;
        int g = 0;
        int b = 0;
    };

    virtual ~LogoPicture() = default;

    virtual int LoadBitmap(const QString &file, const QString &name) = 0;
    virtual int ShowBitmap(const QString &name, int resetScroll) = 0;
    // GetPixel, then the properties ColorR, ColorG and ColorB.
    virtual int GetPixel(const QString &name, int x, int y, Colour &colour) = 0;
    virtual int SetPixel(const QString &name, int x, int y, int r, int g, int b) = 0;
    virtual int CopyBitmap(const QString &from, const QString &to) = 0;
    // GetBitmapSize, then the properties ObjectWidth and ObjectHeight.
    virtual int GetBitmapSize(const QString &name, QSize &size) = 0;
    virtual int StretchBitmap(const QString &name, int width, int height) = 0;
    virtual int ZoomBitmap(const QString &name, int zoom) = 0;
};

} // namespace norvvelm
