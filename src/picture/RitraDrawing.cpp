// Drawing primitives, bitmap processing, points, dialogs and the text
// helpers of the picture control. Members of the families this platform does
// not support (drawing objects, scripts, gauges, device handles) sit at the
// end and report failure.
#include "picture/RitraBitmapIo.h"
#include "picture/RitraCtrl.h"
#include "picture/RitraView.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QScreen>
#include <QtMath>

#include <random>
#include <vector>

using namespace ritra;

namespace {

QColor colorRef(int c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}
QRgb rgbRef(int c) {
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// Integers of a point list such as "10,20 30,40;50,60", taken in pairs.
QList<QPointF> parsePoints(const QString &text) {
    static const QRegularExpression number(QStringLiteral("-?\\d+(\\.\\d+)?"));
    QList<double> values;
    auto it = number.globalMatch(text);
    while (it.hasNext())
        values.append(it.next().captured().toDouble());
    QList<QPointF> points;
    for (qsizetype i = 0; i + 1 < values.size(); i += 2)
        points.append(QPointF(values[i], values[i + 1]));
    return points;
}

QString formatPoints(const QList<QPointF> &points) {
    QStringList parts;
    for (const QPointF &p : points)
        parts << QString::number(qRound(p.x())) + QLatin1Char(',') + QString::number(qRound(p.y()));
    return parts.join(QLatin1Char(','));
}

double angleOf(const QPointF &centre, double x, double y) {
    return qRadiansToDegrees(std::atan2(-(y - centre.y()), x - centre.x()));
}

const char *const kFontFamilies[] = {"",        "Arial",  "Courier",       "Courier New",     "Fixedsys",
                                     "Marlett", "Modern", "MS Sans Serif", "MS Serif",        "Small Fonts",
                                     "Symbol",  "System", "Terminal",      "Times New Roman", "Wingdings"};

QImage indexedFor(const QImage &image, int bits, const QList<QRgb> &palette) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    if (bits == 1)
        return rgb.convertToFormat(QImage::Format_Indexed8, {qRgb(0, 0, 0), qRgb(255, 255, 255)},
                                   Qt::ThresholdDither);
    if (bits == 4) {
        static const QList<QRgb> vga = {
            qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
            qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
            qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
            qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
        return rgb.convertToFormat(QImage::Format_Indexed8, vga, Qt::ThresholdDither);
    }
    if (!palette.isEmpty())
        return rgb.convertToFormat(QImage::Format_Indexed8, palette, Qt::ThresholdDither);
    return rgb.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
}

// A bottom-up BMP of 1, 4 or 8 bits per pixel from an 8-bit indexed image.
QByteArray encodeBmpIndexed(const QImage &indexed, int bits) {
    const qint64 w = indexed.width();
    const qint64 h = indexed.height();
    const QList<QRgb> table = indexed.colorTable();
    const qint64 colours = qint64(1) << bits;
    const qint64 stride = ((w * bits + 31) / 32) * 4;
    const qint64 offset = 54 + colours * 4;
    QByteArray out(offset + stride * h, '\0');
    auto *p = reinterpret_cast<uchar *>(out.data());
    writeBmpHeader(p, out.size(), offset, w, h, bits, stride * h, colours);
    for (qint64 i = 0; i < colours && i < table.size(); ++i) {
        uchar *e = p + 54 + i * 4;
        e[0] = uchar(qBlue(table[i]));
        e[1] = uchar(qGreen(table[i]));
        e[2] = uchar(qRed(table[i]));
    }
    for (qint64 row = 0; row < h; ++row) {
        const uchar *src = indexed.constScanLine(int(h - 1 - row));
        uchar *dst = p + offset + row * stride;
        for (qint64 x = 0; x < w; ++x) {
            const int index = src[x] & int(colours - 1);
            const qint64 bit = x * bits;
            dst[bit / 8] |= uchar(index << (8 - bits - bit % 8));
        }
    }
    return out;
}

} // namespace

// ---------------------------------------------------------------------------
// Drawing on the current target.

QImage *CRitraCtrl::drawingTarget() {
    return resolve(m_target == 1 ? QStringLiteral("_view") : QString());
}

QFont CRitraCtrl::currentFont() const {
    QFont font;
    QString family = m_customFont;
    if (family.isEmpty() && m_fontName > 0 && m_fontName < short(std::size(kFontFamilies)))
        family = QLatin1String(kFontFamilies[m_fontName]);
    if (!family.isEmpty())
        font.setFamily(family);
    if (m_fontName == FontCourier || m_fontName == FontCourierNew || m_fontName == FontFixedsys ||
        m_fontName == FontTerminal)
        font.setStyleHint(QFont::Monospace);
    else if (m_fontName == FontTimesNewRoman || m_fontName == FontMSSerif)
        font.setStyleHint(QFont::Serif);
    else
        font.setStyleHint(QFont::SansSerif);
    font.setPointSize(m_fontSize > 0 ? m_fontSize : 8);
    font.setBold(m_fontBold);
    font.setItalic(m_fontItalic);
    font.setUnderline(m_fontUnderline);
    font.setStrikeOut(m_fontStrikeout);
    return font;
}

bool CRitraCtrl::beginDrawing(QPainter &painter, QImage *&target) {
    target = drawingTarget();
    if (!target || m_drawMode == ModeNop)
        return false;
    painter.begin(target);
    QColor pen = colorRef(m_foreColor);
    QColor fill = colorRef(m_fillColor);
    if (m_drawMode == ModeBlack)
        pen = fill = Qt::black;
    else if (m_drawMode == ModeWhite)
        pen = fill = Qt::white;
    static const Qt::PenStyle penStyles[] = {Qt::SolidLine,   Qt::DashLine,       Qt::DotLine,
                                             Qt::DashDotLine, Qt::DashDotDotLine, Qt::SolidLine};
    painter.setPen(QPen(pen, qMax<int>(1, m_penWidth),
                        (m_penStyle >= 0 && m_penStyle < 6) ? penStyles[m_penStyle] : Qt::SolidLine));
    static const Qt::BrushStyle brushes[] = {Qt::NoBrush,      Qt::SolidPattern,     Qt::BDiagPattern,
                                             Qt::CrossPattern, Qt::DiagCrossPattern, Qt::FDiagPattern,
                                             Qt::HorPattern,   Qt::VerPattern};
    painter.setBrush(
        QBrush(fill, (m_fillStyle >= 0 && m_fillStyle < 8) ? brushes[m_fillStyle] : Qt::NoBrush));
    painter.setBackgroundMode(m_backgroundMode == BackgroundModeOpaque ? Qt::OpaqueMode
                                                                       : Qt::TransparentMode);
    painter.setBackground(colorRef(m_backColor));
    static const QPainter::CompositionMode modes[] = {
        QPainter::CompositionMode_SourceOver,          // black (pen forced)
        QPainter::CompositionMode_SourceOver,          // white (pen forced)
        QPainter::CompositionMode_SourceOver,          // no operation (not drawn)
        QPainter::RasterOp_NotDestination,             // not
        QPainter::CompositionMode_SourceOver,          // copy pen
        QPainter::RasterOp_NotSource,                  // not copy pen
        QPainter::RasterOp_SourceOrNotDestination,     // merge pen not
        QPainter::RasterOp_SourceAndNotDestination,    // mask pen not
        QPainter::RasterOp_NotSourceOrDestination,     // merge not pen
        QPainter::RasterOp_NotSourceAndDestination,    // mask not pen
        QPainter::RasterOp_SourceOrDestination,        // merge pen
        QPainter::RasterOp_NotSourceAndNotDestination, // not merge pen
        QPainter::RasterOp_SourceAndDestination,       // mask pen
        QPainter::RasterOp_NotSourceOrNotDestination,  // not mask pen
        QPainter::RasterOp_SourceXorDestination,       // xor pen
        QPainter::RasterOp_NotSourceXorDestination};   // not xor pen
    if (m_drawMode >= ModeBlack && m_drawMode <= ModeNotXorPen)
        painter.setCompositionMode(modes[m_drawMode - 1]);
    return true;
}

void CRitraCtrl::endDrawing(QImage *target) {
    if (target == &m_viewBitmap)
        m_view->update();
}

short CRitraCtrl::SetCustomFontName(const QString &FontName) {
    m_customFont = FontName;
    emit NewFont(FontName);
    return 1;
}

void CRitraCtrl::drawArcFamily(int kind, short x1, short y1, short x2, short y2, short x3, short y3, short x4,
                               short y4) {
    QPainter p;
    QImage *target = nullptr;
    if (!beginDrawing(p, target))
        return;
    const QRectF r = QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized();
    const QPointF c = r.center();
    const double start = angleOf(c, x3, y3);
    double span = angleOf(c, x4, y4) - start;
    while (span <= 0)
        span += 360;
    const int a = qRound(start * 16);
    const int s = qRound(span * 16);
    if (kind == 0)
        p.drawArc(r, a, s);
    else if (kind == 1)
        p.drawPie(r, a, s);
    else
        p.drawChord(r, a, s);
    p.end();
    endDrawing(target);
}

void CRitraCtrl::DrawArc(short x1, short y1, short x2, short y2, short x3, short y3, short x4, short y4) {
    drawArcFamily(0, x1, y1, x2, y2, x3, y3, x4, y4);
}
void CRitraCtrl::DrawPie(short x1, short y1, short x2, short y2, short x3, short y3, short x4, short y4) {
    drawArcFamily(1, x1, y1, x2, y2, x3, y3, x4, y4);
}
void CRitraCtrl::DrawChord(short x1, short y1, short x2, short y2, short x3, short y3, short x4, short y4) {
    drawArcFamily(2, x1, y1, x2, y2, x3, y3, x4, y4);
}

void CRitraCtrl::DrawCircle(short x, short y, short radius) {
    QPainter p;
    QImage *target = nullptr;
    if (!beginDrawing(p, target))
        return;
    p.drawEllipse(QPoint(x, y), int(radius), int(radius));
    p.end();
    endDrawing(target);
}

void CRitraCtrl::DrawEllipse(short x1, short y1, short x2, short y2) {
    QPainter p;
    QImage *target = nullptr;
    if (!beginDrawing(p, target))
        return;
    p.drawEllipse(QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)).normalized());
    p.end();
    endDrawing(target);
}

void CRitraCtrl::DrawRectangle(short x1, short y1, short x2, short y2) {
    QPainter p;
    QImage *target = nullptr;
    if (!beginDrawing(p, target))
        return;
    // The right and bottom edges are exclusive, as the rectangle's corners name them.
    p.drawRect(QRect(QPoint(x1, y1), QPoint(x2 - 1, y2 - 1)).normalized().adjusted(0, 0, -1, -1));
    p.end();
    endDrawing(target);
}

void CRitraCtrl::DrawLine(short x1, short y1, short x2, short y2) {
    QPainter p;
    QImage *target = nullptr;
    if (!beginDrawing(p, target))
        return;
    p.drawLine(x1, y1, x2, y2);
    m_currentX = x2;
    m_currentY = y2;
    p.end();
    endDrawing(target);
}

void CRitraCtrl::DrawRoundRect(short x1, short y1, short x2, short y2, short w2, short h2) {
    QPainter p;
    QImage *target = nullptr;
    if (!beginDrawing(p, target))
        return;
    p.drawRoundedRect(QRectF(QPointF(x1, y1), QPointF(x2 - 1, y2 - 1)).normalized(), w2 / 2.0, h2 / 2.0);
    p.end();
    endDrawing(target);
}

void CRitraCtrl::DrawText(short x, short y, const QString &Text) {
    QPainter p;
    QImage *target = nullptr;
    if (!beginDrawing(p, target))
        return;
    const QFont font = currentFont();
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(Text);
    int left = 0;
    if (m_textAlign == TextAlignCenterAlign)
        left = -width / 2;
    else if (m_textAlign == TextAlignRightAlign)
        left = -width;
    p.setFont(font);
    p.translate(x, y);
    p.rotate(-m_textAngle / 10.0);
    if (!m_fontTransparent)
        p.fillRect(QRect(left, 0, width, metrics.height()), colorRef(m_backColor));
    p.setBackgroundMode(Qt::TransparentMode);
    p.drawText(QPoint(left, metrics.ascent()), Text);
    p.end();
    endDrawing(target);
}

// ---------------------------------------------------------------------------
// Bitmap processing.

short CRitraCtrl::DrawBitmapBorder() {
    QPainter p;
    QImage *target = nullptr;
    if (!beginDrawing(p, target))
        return 0;
    p.setBrush(Qt::NoBrush);
    const int w = qMax<int>(1, m_penWidth);
    p.setPen(QPen(colorRef(m_foreColor), w, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    const qreal half = w / 2.0;
    p.drawRect(QRectF(half, half, target->width() - w, target->height() - w));
    p.end();
    endDrawing(target);
    return 1;
}

short CRitraCtrl::BitmapToMask(const QString &Name) {
    QImage *image = resolve(Name);
    if (!image)
        return 0;
    const QRgb back = rgbRef(m_backColor) & 0xFFFFFF;
    for (int y = 0; y < image->height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image->scanLine(y));
        for (int x = 0; x < image->width(); ++x)
            row[x] = (row[x] & 0xFFFFFF) == back ? qRgb(255, 255, 255) : qRgb(0, 0, 0);
    }
    endDrawing(image);
    return 1;
}

short CRitraCtrl::MaskToEdge(const QString &Name) {
    QImage *image = resolve(Name);
    if (!image)
        return 0;
    const QImage mask = image->copy();
    const int w = mask.width();
    const int h = mask.height();
    auto black = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < w && y < h &&
               (reinterpret_cast<const QRgb *>(mask.constScanLine(y))[x] & 0xFFFFFF) != 0xFFFFFF;
    };
    for (int y = 0; y < h; ++y) {
        auto *row = reinterpret_cast<QRgb *>(image->scanLine(y));
        for (int x = 0; x < w; ++x) {
            const bool edge =
                black(x, y) && (!black(x - 1, y) || !black(x + 1, y) || !black(x, y - 1) || !black(x, y + 1));
            row[x] = edge ? qRgb(0, 0, 0) : qRgb(255, 255, 255);
        }
    }
    endDrawing(image);
    return 1;
}

short CRitraCtrl::AppendBitmap(const QString &Name1, const QString &Name2) {
    QImage *first = resolve(Name1);
    const QImage *second = resolve(Name2);
    if (!first || !second)
        return 0;
    const qint64 w = qint64(first->width()) + second->width();
    const qint64 h = qMax(first->height(), second->height());
    if (!sizeAcceptable(w, h))
        return 0;
    QImage joined(int(w), int(h), QImage::Format_RGB32);
    joined.fill(rgbRef(m_backColor));
    QPainter p(&joined);
    p.drawImage(0, 0, *first);
    p.drawImage(first->width(), 0, *second);
    p.end();
    store(Name1, joined);
    return 1;
}

short CRitraCtrl::DrawBitmapToBitmap(const QString &Source, const QString &Dest, short x, short y,
                                     short Transparent) {
    const QImage *source = resolve(Source);
    QImage *dest = resolve(Dest);
    if (!source || !dest)
        return 0;
    const QImage src = source->convertToFormat(QImage::Format_RGB32);
    const QRgb key = rgbRef(m_backColor) & 0xFFFFFF;
    for (int sy = 0; sy < src.height(); ++sy) {
        const int dy = y + sy;
        if (dy < 0 || dy >= dest->height())
            continue;
        const auto *s = reinterpret_cast<const QRgb *>(src.constScanLine(sy));
        auto *d = reinterpret_cast<QRgb *>(dest->scanLine(dy));
        for (int sx = 0; sx < src.width(); ++sx) {
            const int dx = x + sx;
            if (dx < 0 || dx >= dest->width())
                continue;
            if (Transparent && (s[sx] & 0xFFFFFF) == key)
                continue;
            d[dx] = s[sx];
        }
    }
    endDrawing(dest);
    return 1;
}

short CRitraCtrl::CutBitmap(const QString &Name, short x, short y, short Width, short Height) {
    const QImage *source = resolve(Name);
    if (!source || !sizeAcceptable(Width, Height))
        return 0;
    QImage part(Width, Height, QImage::Format_RGB32);
    part.fill(rgbRef(m_backColor));
    QPainter p(&part);
    p.drawImage(-x, -y, *source);
    p.end();
    m_current = part;
    return 1;
}

short CRitraCtrl::FlipBitmap(const QString &Name, short Flag) {
    QImage *image = resolve(Name);
    if (!image || Flag < 0 || Flag > 2)
        return 0;
    *image = image->mirrored(Flag == 0 || Flag == 2, Flag == 1 || Flag == 2);
    endDrawing(image);
    return 1;
}

short CRitraCtrl::CutPolygon(const QString &Source, const QString &Dest, short OffsetX, short OffsetY,
                             short Width, short Height) {
    const QImage *source = resolve(Source);
    const QList<QPointF> points = parsePoints(m_polygon);
    if (!source || points.size() < 3 || !sizeAcceptable(Width, Height))
        return 0;
    QImage part(Width, Height, QImage::Format_RGB32);
    part.fill(rgbRef(m_backColor));
    QPainterPath clip;
    clip.addPolygon(QPolygonF(points));
    clip.closeSubpath();
    QPainter p(&part);
    p.translate(-OffsetX, -OffsetY);
    p.setClipPath(clip);
    p.drawImage(0, 0, *source);
    p.end();
    store(Dest, part);
    return 1;
}

short CRitraCtrl::SaveBitmap2(const QString &FileName, const QString &BitmapName, short ColorBits) {
    if (ColorBits == 24)
        return SaveBitmap(FileName, BitmapName);
    if (ColorBits != 1 && ColorBits != 4 && ColorBits != 8)
        return 0;
    const QImage *image = resolve(BitmapName);
    if (!image || FileName.trimmed().isEmpty())
        return 0;
    const QImage indexed = indexedFor(*image, ColorBits, m_palette);
    if (indexed.isNull())
        return 0;
    return writeFile(resolveFileName(FileName), encodeBmpIndexed(indexed, ColorBits), true) ? 1 : 0;
}

short CRitraCtrl::SetColorPalette(const QString &Name) {
    const QImage *image = resolve(Name);
    if (!image)
        return 0;
    QList<QRgb> colours;
    bool tooMany = false;
    for (int y = 0; y < image->height() && !tooMany; ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image->constScanLine(y));
        for (int x = 0; x < image->width(); ++x) {
            const QRgb c = row[x] | 0xFF000000;
            if (!colours.contains(c)) {
                if (colours.size() == 256) {
                    tooMany = true;
                    break;
                }
                colours.append(c);
            }
        }
    }
    m_palette = tooMany ? image->convertToFormat(QImage::Format_Indexed8).colorTable() : colours;
    return 1;
}

int CRitraCtrl::GetColorPalette() {
    return int(m_palette.size());
}

short CRitraCtrl::AirBrush(const QString &Name, short x, short y, short radius, short weight, short mode,
                           short r, short g, short b) {
    QImage *image = resolve(Name);
    if (!image || radius <= 0 || weight < 0)
        return 0;
    const QRgb colour = qRgb(r & 0xFF, g & 0xFF, b & 0xFF);
    const double strength = qMin<int>(weight, 100) / 100.0;
    const QRect area = QRect(x - radius, y - radius, 2 * radius + 1, 2 * radius + 1) & image->rect();
    if (mode == 0) {
        // Spray: dots scattered inside the circle, as many as the weight asks.
        std::minstd_rand random(quint32(x) * 65537u + quint32(y));
        std::uniform_int_distribution<int> offset(-radius, radius);
        const qint64 dots =
            qMin<qint64>(qint64(strength * M_PI * radius * radius), qint64(area.width()) * area.height());
        for (qint64 i = 0; i < dots; ++i) {
            const int dx = offset(random);
            const int dy = offset(random);
            const QPoint at(x + dx, y + dy);
            if (dx * dx + dy * dy <= radius * radius && image->rect().contains(at))
                reinterpret_cast<QRgb *>(image->scanLine(at.y()))[at.x()] = colour;
        }
    } else {
        // Soft: the colour blends in, strongest at the centre.
        for (int py = area.top(); py <= area.bottom(); ++py) {
            auto *row = reinterpret_cast<QRgb *>(image->scanLine(py));
            for (int px = area.left(); px <= area.right(); ++px) {
                const double d = std::hypot(px - x, py - y);
                if (d > radius)
                    continue;
                const double a = strength * (1.0 - d / radius);
                const QRgb old = row[px];
                row[px] = qRgb(int(qRed(old) + (qRed(colour) - qRed(old)) * a),
                               int(qGreen(old) + (qGreen(colour) - qGreen(old)) * a),
                               int(qBlue(old) + (qBlue(colour) - qBlue(old)) * a));
            }
        }
    }
    endDrawing(image);
    return 1;
}

short CRitraCtrl::ChangeColor(const QString &Name, short r1, short g1, short b1, short r2, short g2, short b2,
                              short mode) {
    QImage *image = resolve(Name);
    if (!image || mode < 0 || mode > 1)
        return 0;
    const QRgb from = qRgb(r1 & 0xFF, g1 & 0xFF, b1 & 0xFF) & 0xFFFFFF;
    const QRgb to = qRgb(r2 & 0xFF, g2 & 0xFF, b2 & 0xFF);
    for (int y = 0; y < image->height(); ++y) {
        auto *row = reinterpret_cast<QRgb *>(image->scanLine(y));
        for (int x = 0; x < image->width(); ++x) {
            const bool same = (row[x] & 0xFFFFFF) == from;
            if (same == (mode == 0))
                row[x] = to;
        }
    }
    endDrawing(image);
    return 1;
}

short CRitraCtrl::FloodFill(short x, short y, short r, short g, short b, short FillType) {
    QImage *image = drawingTarget();
    if (!image || !image->rect().contains(x, y) || FillType < 0 || FillType > 1)
        return 0;
    const QRgb colour = qRgb(r & 0xFF, g & 0xFF, b & 0xFF) & 0xFFFFFF;
    const QRgb fill = rgbRef(m_fillColor);
    const int w = image->width();
    const int h = image->height();
    auto at = [image](int px, int py) -> QRgb & { return reinterpret_cast<QRgb *>(image->scanLine(py))[px]; };
    // FillType 0 fills up to a border of the colour; 1 fills the surface of the colour.
    auto inside = [&](int px, int py) {
        const bool same = (at(px, py) & 0xFFFFFF) == colour;
        return FillType == 0 ? !same : same;
    };
    if (!inside(x, y))
        return 0;
    std::vector<bool> seen(size_t(w) * size_t(h), false);
    std::vector<QPoint> todo{QPoint(x, y)};
    seen[size_t(y) * w + x] = true;
    while (!todo.empty()) {
        const QPoint p = todo.back();
        todo.pop_back();
        at(p.x(), p.y()) = fill;
        const QPoint next[4] = {
            {p.x() - 1, p.y()}, {p.x() + 1, p.y()}, {p.x(), p.y() - 1}, {p.x(), p.y() + 1}};
        for (const QPoint &n : next) {
            if (n.x() < 0 || n.y() < 0 || n.x() >= w || n.y() >= h)
                continue;
            const size_t k = size_t(n.y()) * w + n.x();
            if (seen[k] || !inside(n.x(), n.y()))
                continue;
            seen[k] = true;
            todo.push_back(n);
        }
    }
    endDrawing(image);
    return 1;
}

short CRitraCtrl::RotateBitmap(const QString &Source, const QString &Dest, short Angle, short Fit,
                               short OffsetX, short OffsetY) {
    const QImage *source = resolve(Source);
    if (!source)
        return 0;
    const QImage src = source->convertToFormat(QImage::Format_RGB32);
    QTransform turn;
    turn.rotate(Angle);
    QSize size = src.size();
    if (Fit)
        size = turn.mapRect(QRectF(QPointF(0, 0), QSizeF(src.size()))).toAlignedRect().size();
    if (!sizeAcceptable(size.width(), size.height()))
        return 0;
    QImage out(size, QImage::Format_RGB32);
    out.fill(rgbRef(m_backColor));
    QPainter p(&out);
    p.translate(size.width() / 2.0 + OffsetX, size.height() / 2.0 + OffsetY);
    p.rotate(Angle);
    p.drawImage(QPointF(-src.width() / 2.0, -src.height() / 2.0), src);
    p.end();
    store(Dest, out);
    return 1;
}

short CRitraCtrl::DrawBitmap(const QString &Name, int x, int y) {
    const QImage *source = resolve(Name);
    if (!source)
        return 0;
    const QImage copy = *source;
    QPainter p;
    QImage *target = nullptr;
    if (!beginDrawing(p, target))
        return 0;
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    p.drawImage(x, y, copy);
    p.end();
    endDrawing(target);
    return 1;
}

// ---------------------------------------------------------------------------
// Points and polygons.

short CRitraCtrl::GetPoint(short Index) {
    if (Index < 1 || Index > m_points.size())
        return 0;
    m_currentX = short(m_points[Index - 1].x());
    m_currentY = short(m_points[Index - 1].y());
    return 1;
}

short CRitraCtrl::RemoveLastPoint() {
    if (m_points.isEmpty())
        return 0;
    m_points.removeLast();
    return 1;
}

short CRitraCtrl::RemoveAllPoints() {
    m_points.clear();
    return 1;
}

short CRitraCtrl::GetPointCount() {
    return short(m_points.size());
}

short CRitraCtrl::DrawPoly(const QString &Points, short CurrentX, short CurrentY, short TransX, short TransY,
                           float ScaleX, float ScaleY, short Rotate, short Closed, short Filled,
                           short MarkPoints) {
    const QList<QPointF> points = parsePoints(Points);
    if (points.size() < 2)
        return 0;
    QTransform t;
    t.translate(CurrentX + TransX, CurrentY + TransY);
    t.rotate(Rotate);
    t.scale(ScaleX, ScaleY);
    const QPolygonF shape = t.map(QPolygonF(points));
    QPainter p;
    QImage *target = nullptr;
    if (!beginDrawing(p, target))
        return 0;
    if (!Filled)
        p.setBrush(Qt::NoBrush);
    if (Closed)
        p.drawPolygon(shape);
    else
        p.drawPolyline(shape);
    if (MarkPoints) {
        for (const QPointF &pt : shape)
            p.drawRect(QRectF(pt.x() - 1, pt.y() - 1, 2, 2));
    }
    p.end();
    endDrawing(target);
    return 1;
}

short CRitraCtrl::DrawGrid(short x, short y, short Width, short Height, short nx, short ny) {
    if (nx < 1 || ny < 1 || Width < 1 || Height < 1)
        return 0;
    QPainter p;
    QImage *target = nullptr;
    if (!beginDrawing(p, target))
        return 0;
    for (int i = 0; i <= nx; ++i) {
        const int gx = x + int(qint64(i) * (Width - 1) / nx);
        p.drawLine(gx, y, gx, y + Height - 1);
    }
    for (int j = 0; j <= ny; ++j) {
        const int gy = y + int(qint64(j) * (Height - 1) / ny);
        p.drawLine(x, gy, x + Width - 1, gy);
    }
    p.end();
    endDrawing(target);
    return 1;
}

short CRitraCtrl::TranslatePolygon(const QString &Points, short dx, short dy) {
    QList<QPointF> points = parsePoints(Points);
    if (points.isEmpty())
        return 0;
    for (QPointF &pt : points)
        pt += QPointF(dx, dy);
    m_polygon = formatPoints(points);
    return 1;
}

short CRitraCtrl::GetPolygonData() {
    QList<QPointF> points;
    for (const QPoint &pt : std::as_const(m_points))
        points.append(pt);
    m_polygon = formatPoints(points);
    return short(points.size());
}

// ---------------------------------------------------------------------------
// Dialogs, text and screen.

short CRitraCtrl::ShowColorDialog() {
    if (noDisplay())
        return 0;
    const QColor c = QColorDialog::getColor(colorRef(m_foreColor), this);
    if (!c.isValid())
        return 0;
    m_foreColor = c.red() | (c.green() << 8) | (c.blue() << 16);
    return 1;
}

short CRitraCtrl::ShowFileDialog(short Open, const QString &Ext, const QString &Filter,
                                 const QString &FileName) {
    if (noDisplay())
        return 0;
    // "Text|*.txt|All|*.*" becomes "Text (*.txt);;All (*.*)".
    const QStringList parts = Filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        filters << parts[i] + QStringLiteral(" (") + parts[i + 1] + QLatin1Char(')');
    const QString filter = filters.join(QStringLiteral(";;"));
    const QString start = resolveFileName(FileName);
    QString chosen = Open ? QFileDialog::getOpenFileName(this, QString(), start, filter)
                          : QFileDialog::getSaveFileName(this, QString(), start, filter);
    if (chosen.isEmpty())
        return 0;
    if (!Open && !Ext.isEmpty() && QFileInfo(chosen).suffix().isEmpty())
        chosen += QLatin1Char('.') + Ext;
    m_string = chosen;
    return 1;
}

int CRitraCtrl::GetTextWidth(const QString &Text) {
    return QFontMetrics(currentFont()).horizontalAdvance(Text);
}

int CRitraCtrl::GetTextHeight() {
    return QFontMetrics(currentFont()).height();
}

int CRitraCtrl::GetScreenSize(short which) {
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen || which < 0 || which > 1)
        return 0;
    return which == 0 ? screen->size().width() : screen->size().height();
}

QString CRitraCtrl::ParseStr(const QString &str, const QString &token1, const QString &token2) {
    qsizetype start = 0;
    if (!token1.isEmpty()) {
        const qsizetype at = str.indexOf(token1);
        if (at < 0)
            return QString();
        start = at + token1.size();
    }
    qsizetype end = str.size();
    if (!token2.isEmpty()) {
        const qsizetype at = str.indexOf(token2, start);
        if (at >= 0)
            end = at;
    }
    return str.mid(start, end - start);
}

QString CRitraCtrl::ReplaceStr(const QString &sIn, const QString &sFind, const QString &sReplace) {
    if (sFind.isEmpty())
        return sIn;
    QString out = sIn;
    return out.replace(sFind, sReplace);
}

CRitraCtrl::Attributes CRitraCtrl::captureAttributes() const {
    return {m_foreColor, m_backColor,  m_fillColor,     m_penStyle,      m_penWidth,        m_backgroundMode,
            m_fillStyle, m_drawMode,   m_textAlign,     m_fontName,      m_fontSize,        m_textAngle,
            m_fontBold,  m_fontItalic, m_fontUnderline, m_fontStrikeout, m_fontTransparent, m_customFont};
}

void CRitraCtrl::applyAttributes(const Attributes &a) {
    m_foreColor = a.foreColor;
    m_backColor = a.backColor;
    m_fillColor = a.fillColor;
    m_penStyle = a.penStyle;
    m_penWidth = a.penWidth;
    m_backgroundMode = a.backgroundMode;
    m_fillStyle = a.fillStyle;
    m_drawMode = a.drawMode;
    m_textAlign = a.textAlign;
    m_fontName = a.fontName;
    m_fontSize = a.fontSize;
    m_textAngle = a.textAngle;
    m_fontBold = a.fontBold;
    m_fontItalic = a.fontItalic;
    m_fontUnderline = a.fontUnderline;
    m_fontStrikeout = a.fontStrikeout;
    m_fontTransparent = a.fontTransparent;
    m_customFont = a.customFont;
}

short CRitraCtrl::SaveAttributes() {
    m_savedAttributes.append(captureAttributes());
    return 1;
}

short CRitraCtrl::RestoreAttributes() {
    if (m_savedAttributes.isEmpty())
        return 0;
    applyAttributes(m_savedAttributes.takeLast());
    return 1;
}

bool CRitraCtrl::IsFilePresent(const QString &FileName) {
    return !FileName.isEmpty() && QFileInfo(resolveFileName(FileName)).isFile();
}

int CRitraCtrl::GetCharSetType(const QString &FontName) {
    // Symbol fonts carry their own character set (2); every other font is ANSI (0).
    static const QStringList symbolFonts = {QStringLiteral("symbol"), QStringLiteral("wingdings"),
                                            QStringLiteral("marlett"), QStringLiteral("webdings")};
    return symbolFonts.contains(FontName.trimmed().toLower()) ? 2 : 0;
}

// ---------------------------------------------------------------------------
// Families not supported on this platform: each reports failure.

short CRitraCtrl::SetGaugeValue(const QString &, short) {
    return 0;
}
short CRitraCtrl::GetGaugeValue(const QString &) {
    return 0;
}
short CRitraCtrl::AddGauge(const QString &, const QString &, const QString &, const QString &) {
    return 0;
}
short CRitraCtrl::RemoveAllGauges() {
    return 0;
}
short CRitraCtrl::RemoveGauge(const QString &) {
    return 0;
}
short CRitraCtrl::GetSelectAreaData() {
    return 0;
}
int CRitraCtrl::GetDevice(int) {
    return 0;
}
short CRitraCtrl::ReleaseDevice(int, int) {
    return 0;
}
short CRitraCtrl::SetControlInfo(short, const QString &) {
    return 0;
}
QString CRitraCtrl::GetControlInfo(short) {
    return QString();
}
int CRitraCtrl::MakeBitmapHandle(int) {
    return 0;
}
short CRitraCtrl::DeleteBitmapHandle(int) {
    return 0;
}
int CRitraCtrl::GetBitmapDC(int) {
    return 0;
}
int CRitraCtrl::ReleaseBitmapDC(int) {
    return 0;
}
short CRitraCtrl::OpenDevice() {
    return 0;
}
short CRitraCtrl::CloseDevice() {
    return 0;
}
short CRitraCtrl::CaptureBitmap(int, short, short, short, short, const QString &) {
    return 0;
}
int CRitraCtrl::SetCursor(int, const QString &) {
    return 0;
}
int CRitraCtrl::GetBitmap(const QString &) {
    return 0;
}
short CRitraCtrl::MakeBitmap(int, const QString &) {
    return 0;
}
short CRitraCtrl::LoadScript(const QString &) {
    return 0;
}
short CRitraCtrl::RunScript(const QString &) {
    return 0;
}
short CRitraCtrl::BitBlt(int, short, short, short, short, int, short, short, int) {
    return 0;
}
short CRitraCtrl::AddObject(const QString &, short, short, short, short, short, short, const QString &,
                            const QString &) {
    return 0;
}
short CRitraCtrl::GetObjectIndex(const QString &) {
    return 0;
}
short CRitraCtrl::RemoveAllObjects() {
    return 0;
}
short CRitraCtrl::RemoveObject(const QString &) {
    return 0;
}
QString CRitraCtrl::GetObjectName(short) {
    return QString();
}
short CRitraCtrl::GetObjectType(short) {
    return 0;
}
short CRitraCtrl::GetObjectX(short) {
    return 0;
}
short CRitraCtrl::GetObjectY(short) {
    return 0;
}
short CRitraCtrl::GetObjectW(short) {
    return 0;
}
short CRitraCtrl::GetObjectH(short) {
    return 0;
}
QString CRitraCtrl::GetObjectData(short) {
    return QString();
}
QString CRitraCtrl::GetObjectAttrib(short) {
    return QString();
}
short CRitraCtrl::GetObjectCount() {
    return 0;
}
short CRitraCtrl::SetObjectX(const QString &, short) {
    return 0;
}
short CRitraCtrl::SetObjectY(const QString &, short) {
    return 0;
}
short CRitraCtrl::SetObjectW(const QString &, short) {
    return 0;
}
short CRitraCtrl::SetObjectH(const QString &, short) {
    return 0;
}
short CRitraCtrl::SetObjectData(const QString &, const QString &) {
    return 0;
}
short CRitraCtrl::SetObjectAttrib(const QString &, const QString &, short) {
    return 0;
}
int CRitraCtrl::GetObjectAttribValue(const QString &, const QString &) {
    return 0;
}
QString CRitraCtrl::GetObjectAttribString(const QString &, const QString &) {
    return QString();
}
short CRitraCtrl::InsertObject(short, const QString &, short, short, short, short, short, const QString &,
                               const QString &) {
    return 0;
}
short CRitraCtrl::SelectObject(const QString &) {
    return 0;
}
short CRitraCtrl::SetObjectOrder(const QString &, short) {
    return 0;
}
QString CRitraCtrl::GetObjectFromPosition(short, short) {
    return QString();
}
QString CRitraCtrl::GetSelectedObject() {
    return QString();
}
short CRitraCtrl::UpdateDoc() {
    return 0;
}
int CRitraCtrl::StartDragAndDrop(int, const QString &) {
    return 0;
}
short CRitraCtrl::Undo() {
    return 0;
}
short CRitraCtrl::DrawObjects() {
    return 0;
}
short CRitraCtrl::EnumerateFonts(short) {
    return 0;
}
short CRitraCtrl::SetObjectName(const QString &, const QString &) {
    return 0;
}
short CRitraCtrl::AppendScriptLine(const QString &, const QString &) {
    return 0;
}
short CRitraCtrl::SaveObjectScript(const QString &) {
    return 0;
}
QString CRitraCtrl::IsInsideObject(int, int) {
    return QString();
}
