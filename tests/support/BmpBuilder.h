// Builds BMP files for the tests, field by field, so that each case states
// exactly the header it needs.
#pragma once

#include <QByteArray>
#include <QList>
#include <QRgb>

#include <functional>

struct BmpLayout {
    int headerSize = 40; // 12 or 40
    int bpp = 24;
    int width = 1;
    int height = 1; // negative: rows stored top-down
    QList<QRgb> palette;
    quint32 used = 0;
    quint32 compression = 0;
    int gap = 0; // bytes between the colour table and the pixels
    // Palette index (1, 4, 8 bits) or colour (24 bits) of the pixel at (x, y), y from the top.
    std::function<quint32(int x, int y)> pixel = [](int, int) { return 0u; };
};

inline QByteArray makeBmp(const BmpLayout &s) {
    QByteArray out;
    auto put16 = [&out](quint32 v) {
        out.append(char(v & 0xFF));
        out.append(char((v >> 8) & 0xFF));
    };
    auto put32 = [&](quint32 v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    const int h = s.height < 0 ? -s.height : s.height;
    const int entry = s.headerSize == 12 ? 3 : 4;
    const int offset = 14 + s.headerSize + int(s.palette.size()) * entry + s.gap;
    const int stride = ((s.width * s.bpp + 31) / 32) * 4;
    out.append("BM");
    put32(quint32(offset + stride * h));
    put32(0);
    put32(quint32(offset));
    put32(quint32(s.headerSize));
    if (s.headerSize == 12) {
        put16(quint32(s.width));
        put16(quint32(h));
        put16(1);
        put16(quint32(s.bpp));
    } else {
        put32(quint32(s.width));
        put32(quint32(s.height));
        put16(1);
        put16(quint32(s.bpp));
        put32(s.compression);
        put32(quint32(stride * h));
        put32(2835);
        put32(2835);
        put32(s.used);
        put32(0);
    }
    for (QRgb c : s.palette) {
        out.append(char(qBlue(c)));
        out.append(char(qGreen(c)));
        out.append(char(qRed(c)));
        if (entry == 4)
            out.append('\0');
    }
    out.append(QByteArray(s.gap, '\x55'));
    for (int r = 0; r < h; ++r) {
        const int y = s.height < 0 ? r : h - 1 - r;
        QByteArray row(stride, '\0');
        for (int x = 0; x < s.width; ++x) {
            const quint32 v = s.pixel(x, y);
            if (s.bpp == 24) {
                row[3 * x] = char(qBlue(v));
                row[3 * x + 1] = char(qGreen(v));
                row[3 * x + 2] = char(qRed(v));
            } else {
                const int bit = x * s.bpp;
                row[bit / 8] = char(uchar(row[bit / 8]) | (v << (8 - s.bpp - bit % 8)));
            }
        }
        out.append(row);
    }
    return out;
}
