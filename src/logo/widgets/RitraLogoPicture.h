#pragma once

#include "logo/LogoPicture.h"

#include <QVariantList>

class RitraDispatch;

namespace norvvelm {

// A picture control seen through its dispatch interface only: members are
// looked up by name once and called by identifier.
class RitraLogoPicture final : public LogoPicture {
public:
    explicit RitraLogoPicture(RitraDispatch &control);

    // False when the control lacks one of the members the logo page calls.
    bool complete() const { return m_complete; }

    int LoadBitmap(const QString &file, const QString &name) override;
    int ShowBitmap(const QString &name, int resetScroll) override;
    int GetPixel(const QString &name, int x, int y, Colour &colour) override;
    int SetPixel(const QString &name, int x, int y, int r, int g, int b) override;
    int CopyBitmap(const QString &from, const QString &to) override;
    int GetBitmapSize(const QString &name, QSize &size) override;
    int StretchBitmap(const QString &name, int width, int height) override;
    int ZoomBitmap(const QString &name, int zoom) override;

private:
    int member(const char *name);
    int call(int id, const QVariantList &args);
    int property(int id);

    RitraDispatch &m_control;
    bool m_complete = true;
    int m_loadBitmap;
    int m_showBitmap;
    int m_getPixel;
    int m_setPixel;
    int m_copyBitmap;
    int m_getBitmapSize;
    int m_stretchBitmap;
    int m_zoomBitmap;
    int m_colorR;
    int m_colorG;
    int m_colorB;
    int m_objectWidth;
    int m_objectHeight;
};

} // namespace norvvelm
