#include "logo/widgets/RitraLogoPicture.h"

#include "picture/RitraAutomation.h"

#include <algorithm>

namespace norvvelm {

namespace {
// The control takes coordinates and sizes as 16-bit integers.
QVariant i2(int v) {
    return QVariant::fromValue(short(std::clamp(v, -32768, 32767)));
}
} // namespace

RitraLogoPicture::RitraLogoPicture(RitraDispatch &control)
    : m_control(control), m_loadBitmap(member("LoadBitmap")), m_showBitmap(member("ShowBitmap")),
      m_getPixel(member("GetPixel")), m_setPixel(member("SetPixel")), m_copyBitmap(member("CopyBitmap")),
      m_getBitmapSize(member("GetBitmapSize")), m_stretchBitmap(member("StretchBitmap")),
      m_zoomBitmap(member("ZoomBitmap")), m_colorR(member("ColorR")), m_colorG(member("ColorG")),
      m_colorB(member("ColorB")), m_objectWidth(member("ObjectWidth")),
      m_objectHeight(member("ObjectHeight")) {}

int RitraLogoPicture::member(const char *name) {
    const int id = m_control.dispatchId(QString::fromLatin1(name));
    if (id == RitraDispatch::kUnknown)
        m_complete = false;
    return id;
}

int RitraLogoPicture::call(int id, const QVariantList &args) {
    QVariant result;
    QString error;
    if (id == RitraDispatch::kUnknown ||
        !m_control.invoke(id, RitraDispatch::Call::Method, args, &result, &error))
        return 0;
    return result.toInt();
}

int RitraLogoPicture::property(int id) {
    QVariant result;
    QString error;
    if (id == RitraDispatch::kUnknown ||
        !m_control.invoke(id, RitraDispatch::Call::PropertyGet, {}, &result, &error))
        return 0;
    return result.toInt();
}

int RitraLogoPicture::LoadBitmap(const QString &file, const QString &name) {
    return call(m_loadBitmap, {file, name});
}

int RitraLogoPicture::ShowBitmap(const QString &name, int resetScroll) {
    return call(m_showBitmap, {name, i2(resetScroll)});
}

int RitraLogoPicture::GetPixel(const QString &name, int x, int y, Colour &colour) {
    const int status = call(m_getPixel, {name, i2(x), i2(y)});
    colour.r = property(m_colorR);
    colour.g = property(m_colorG);
    colour.b = property(m_colorB);
    return status;
}

int RitraLogoPicture::SetPixel(const QString &name, int x, int y, int r, int g, int b) {
    return call(m_setPixel, {name, i2(x), i2(y), i2(r), i2(g), i2(b)});
}

int RitraLogoPicture::CopyBitmap(const QString &from, const QString &to) {
    return call(m_copyBitmap, {from, to});
}

int RitraLogoPicture::GetBitmapSize(const QString &name, QSize &size) {
    const int status = call(m_getBitmapSize, {name});
    size = QSize(property(m_objectWidth), property(m_objectHeight));
    return status;
}

int RitraLogoPicture::StretchBitmap(const QString &name, int width, int height) {
    return call(m_stretchBitmap, {name, i2(width), i2(height)});
}

int RitraLogoPicture::ZoomBitmap(const QString &name, int zoom) {
    return call(m_zoomBitmap, {name, i2(zoom)});
}

} // namespace norvvelm
