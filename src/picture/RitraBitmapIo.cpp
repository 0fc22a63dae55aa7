#include "picture/RitraBitmapIo.h"

#include <QList>

#include <bit>

namespace ritra {

namespace {

quint16 u16(const uchar *p) {
    return quint16(p[0] | (p[1] << 8));
}
quint32 u32(const uchar *p) {
    return quint32(p[0]) | (quint32(p[1]) << 8) | (quint32(p[2]) << 16) | (quint32(p[3]) << 24);
}
qint32 i32(const uchar *p) {
    return qint32(u32(p));
}

// One colour channel described by a bit mask, scaled to 8 bits.
struct Channel {
    quint32 mask = 0;
    int shift = 0;
    int bits = 0;

    explicit Channel(quint32 m) : mask(m) {
        if (m != 0) {
            shift = std::countr_zero(m);
            // A mask with holes counts only its lowest run of ones.
            bits = std::countr_one(m >> shift);
        }
    }
    int value(quint32 pixel) const {
        if (bits == 0)
            return 0;
        const quint32 v = (pixel & mask) >> shift & ((bits >= 32) ? 0xFFFFFFFFu : ((1u << bits) - 1));
        if (bits >= 8)
            return int(v >> (bits - 8));
        const quint32 top = (1u << bits) - 1;
        return int((v * 255 + top / 2) / top);
    }
};

QImage failed(QString *why, const char *reason) {
    if (why)
        *why = QString::fromLatin1(reason);
    return QImage();
}

// Run-length encoded pixels (8 or 4 bits per pixel), rows bottom-up. A
// stream that ends early leaves the remaining pixels at palette entry 0.
void decodeRle(QImage &img, const QList<QRgb> &pal, const uchar *p, const uchar *end, bool four) {
    const int w = img.width();
    const int h = img.height();
    img.fill(pal.value(0));
    qint64 x = 0;
    qint64 y = 0;
    auto put = [&](int index) {
        if (x < w && y < h)
            reinterpret_cast<QRgb *>(img.scanLine(int(h - 1 - y)))[x] = pal.value(index);
        ++x;
    };
    while (end - p >= 2 && y < h) {
        const int count = p[0];
        const int data = p[1];
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(four ? ((i & 1) ? (data & 0x0F) : (data >> 4)) : data);
            continue;
        }
        if (data == 0) { // end of line
            x = 0;
            ++y;
        } else if (data == 1) { // end of bitmap
            break;
        } else if (data == 2) { // delta
            if (end - p < 2)
                break;
            x += p[0];
            y += p[1];
            p += 2;
        } else { // absolute run
            const qint64 bytes = four ? (data + 1) / 2 : data;
            const qint64 padded = (bytes + 1) & ~qint64(1);
            if (end - p < bytes)
                break;
            for (int i = 0; i < data; ++i)
                put(four ? ((i & 1) ? (p[i / 2] & 0x0F) : (p[i / 2] >> 4)) : p[i]);
            p += qMin<qint64>(padded, end - p);
        }
    }
}

} // namespace

bool sizeAcceptable(qint64 width, qint64 height) {
    return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide && width * height <= kMaxPixels;
}

bool RgbBuffer::allocate(int w, int h) {
    pixels.reset();
    width = height = 0;
    if (!sizeAcceptable(w, h))
        return false;
    auto *p = static_cast<unsigned char *>(std::malloc(size_t(w) * size_t(h) * 3));
    if (!p)
        return false;
    pixels.reset(p);
    width = w;
    height = h;
    return true;
}

QImage readDibFile(const QByteArray &file, QString *why) {
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    if (file.size() < 2 || data[0] != 'B' || data[1] != 'M')
        return failed(why, "not a BMP file");
    if (file.size() < 14)
        return failed(why, "truncated header");
    const uchar *dib = data + 14;
    const qint64 n = file.size() - 14;
    if (n < 4)
        return failed(why, "truncated header");
    const quint32 headerSize = u32(dib);
    qint64 width = 0;
    qint64 height = 0;
    int bpp = 0;
    quint32 compression = 0;
    quint32 used = 0;
    bool topDown = false;
    qint64 entrySize = 4;
    if (headerSize == 12) {
        if (n < 12)
            return failed(why, "truncated header");
        width = u16(dib + 4);
        height = u16(dib + 6);
        bpp = u16(dib + 10);
        entrySize = 3;
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24)
            return failed(why, "unsupported colour depth");
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
               headerSize == 124) {
        if (n < qint64(headerSize))
            return failed(why, "truncated header");
        width = i32(dib + 4);
        height = i32(dib + 8);
        bpp = u16(dib + 14);
        compression = u32(dib + 16);
        used = u32(dib + 32);
        if (height < 0) {
            topDown = true;
            height = -height;
        }
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
            return failed(why, "unsupported colour depth");
    } else {
        return failed(why, "unsupported info header");
    }
    if (!sizeAcceptable(width, height))
        return failed(why, "unacceptable size");

    const bool rle8 = compression == 1 && bpp == 8;
    const bool rle4 = compression == 2 && bpp == 4;
    const bool bitfields = compression == 3 && (bpp == 16 || bpp == 32);
    if (compression != 0 && !rle8 && !rle4 && !bitfields)
        return failed(why, "unsupported compression");
    if ((rle8 || rle4) && topDown)
        return failed(why, "top-down bitmaps cannot be compressed");

    qint64 offset = headerSize;
    quint32 masks[3] = {0, 0, 0};
    if (bpp == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    } else if (bpp == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }
    if (bitfields) {
        // After a 40-byte header the three masks come first; longer headers hold them.
        const uchar *m = dib + 40;
        if (headerSize == 40) {
            if (n < 52)
                return failed(why, "truncated header");
            offset += 12;
        }
        masks[0] = u32(m);
        masks[1] = u32(m + 4);
        masks[2] = u32(m + 8);
    }

    qint64 tableCount = 0;
    if (headerSize >= 40 && used != 0)
        tableCount = used;
    else if (bpp <= 8)
        tableCount = qint64(1) << bpp;
    if (tableCount * entrySize > n - offset)
        return failed(why, "truncated colour table");
    QList<QRgb> palette(256, qRgb(0, 0, 0));
    if (bpp <= 8) {
        const qint64 usable = qMin<qint64>(tableCount, qint64(1) << bpp);
        for (qint64 i = 0; i < usable; ++i) {
            const uchar *e = dib + offset + i * entrySize;
            palette[int(i)] = qRgb(e[2], e[1], e[0]);
        }
    }
    offset += tableCount * entrySize;

    QImage img(int(width), int(height), QImage::Format_RGB32);
    if (img.isNull())
        return failed(why, "out of memory");
    const uchar *bits = dib + offset;
    if (rle8 || rle4) {
        decodeRle(img, palette, bits, dib + n, rle4);
        return img;
    }

    const qint64 stride = ((width * bpp + 31) / 32) * 4;
    if (stride * height > n - offset)
        return failed(why, "truncated pixel data");
    const Channel red(masks[0]);
    const Channel green(masks[1]);
    const Channel blue(masks[2]);
    for (qint64 row = 0; row < height; ++row) {
        const uchar *src = bits + row * stride;
        auto *dst = reinterpret_cast<QRgb *>(img.scanLine(int(topDown ? row : height - 1 - row)));
        switch (bpp) {
        case 1:
        case 4:
        case 8: {
            const int perByte = 8 / bpp;
            const int mask = (1 << bpp) - 1;
            for (qint64 x = 0; x < width; ++x) {
                const int shift = 8 - bpp * int(x % perByte + 1);
                dst[x] = palette[(src[x / perByte] >> shift) & mask];
            }
            break;
        }
        case 16:
            for (qint64 x = 0; x < width; ++x) {
                const quint32 v = u16(src + 2 * x);
                dst[x] = qRgb(red.value(v), green.value(v), blue.value(v));
            }
            break;
        case 24:
            for (qint64 x = 0; x < width; ++x)
                dst[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
            break;
        case 32:
            for (qint64 x = 0; x < width; ++x) {
                const quint32 v = u32(src + 4 * x);
                dst[x] = qRgb(red.value(v), green.value(v), blue.value(v));
            }
            break;
        }
    }
    return img;
}

RgbBuffer readBmpForConversion(const QByteArray &file, QString *status) {
    RgbBuffer out;
    auto fail = [&](const char *text) {
        *status = QString::fromLatin1(text);
        out.pixels.reset();
        return std::move(out);
    };
    const auto *data = reinterpret_cast<const uchar *>(file.constData());
    const qint64 size = file.size();
    if (size < 2)
        return fail("Read Error!");
    if (data[0] != 'B' || data[1] != 'M')
        return fail("Not a valid BMP File");
    if (size < 14 + 4)
        return fail("Read Error!");
    const qint64 dataOffset = u32(data + 10);
    const quint32 headerSize = u32(data + 14);
    qint64 width = 0;
    qint64 height = 0;
    int bpp = 0;
    quint32 compression = 0;
    qint64 used = 0;
    qint64 entrySize = 4;
    if (headerSize == 12) {
        if (size < 14 + 12)
            return fail("Read Error!");
        width = u16(data + 18);
        height = u16(data + 20);
        bpp = u16(data + 24);
        entrySize = 3;
    } else if (headerSize >= 40) {
        if (size < 14 + qint64(headerSize))
            return fail("Read Error!");
        width = i32(data + 18);
        height = i32(data + 22);
        bpp = u16(data + 28);
        compression = u32(data + 30);
        used = u32(data + 46);
    } else {
        return fail("Not a valid BMP File");
    }
    if (compression != 0)
        return fail("This is a compressed file.");
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24)
        return fail("Unsupported colour depth");
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (!sizeAcceptable(width, height))
        return fail("Invalid image size");

    qint64 pos = 14 + headerSize;
    uchar palette[256][3] = {};
    if (bpp <= 8) {
        if (used == 0)
            used = qint64(1) << bpp;
        if (used > (qint64(1) << bpp))
            return fail("Corrupt palette");
        if (pos + used * entrySize > size)
            return fail("Read Error!");
        for (qint64 i = 0; i < used; ++i) {
            const uchar *e = data + pos + i * entrySize;
            palette[i][0] = e[2];
            palette[i][1] = e[1];
            palette[i][2] = e[0];
        }
        pos += used * entrySize;
    }
    if (pos > dataOffset)
        return fail("Corrupt palette");

    const qint64 rowBytes = (width * bpp + 7) / 8;
    const qint64 padded = (rowBytes + 3) & ~qint64(3);
    // The padding after the last row may be missing; its pixels may not.
    if (dataOffset > size || padded * (height - 1) + rowBytes > size - dataOffset)
        return fail("Read Error");
    if (!out.allocate(int(width), int(height)))
        return fail("Memory alloc Failed");

    uchar *buf = out.pixels.get();
    for (qint64 row = 0; row < height; ++row) {
        const uchar *src = data + dataOffset + row * padded;
        uchar *dst = buf + (topDown ? row : height - 1 - row) * width * 3;
        if (bpp == 24) {
            for (qint64 x = 0; x < width; ++x) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
                dst += 3;
                src += 3;
            }
        } else {
            const int perByte = 8 / bpp;
            const int mask = (1 << bpp) - 1;
            for (qint64 x = 0; x < width; ++x) {
                const int shift = 8 - bpp * int(x % perByte + 1);
                const uchar *c = palette[(src[x / perByte] >> shift) & mask];
                dst[0] = c[0];
                dst[1] = c[1];
                dst[2] = c[2];
                dst += 3;
            }
        }
    }
    *status = QStringLiteral("OK");
    return out;
}

void writeBmpHeader(uchar *p, qint64 fileSize, qint64 offset, qint64 width, qint64 height, int bits,
                    qint64 imageSize, qint64 colours) {
    auto put32 = [](uchar *q, quint32 v) {
        q[0] = uchar(v);
        q[1] = uchar(v >> 8);
        q[2] = uchar(v >> 16);
        q[3] = uchar(v >> 24);
    };
    p[0] = 'B';
    p[1] = 'M';
    put32(p + 2, quint32(fileSize));
    put32(p + 10, quint32(offset));
    put32(p + 14, 40);
    put32(p + 18, quint32(width));
    put32(p + 22, quint32(height));
    p[26] = 1; // planes
    p[27] = 0;
    p[28] = uchar(bits);
    p[29] = 0;
    put32(p + 34, quint32(imageSize));
    put32(p + 46, quint32(colours));
}

QByteArray encodeBmp24(const QImage &image) {
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    const qint64 w = img.width();
    const qint64 h = img.height();
    const qint64 stride = (w * 3 + 3) & ~qint64(3);
    const qint64 total = 54 + stride * h;
    QByteArray out(total, '\0');
    auto *p = reinterpret_cast<uchar *>(out.data());
    writeBmpHeader(p, total, 54, w, h, 24, stride * h, 0);
    for (qint64 row = 0; row < h; ++row) {
        const auto *src = reinterpret_cast<const QRgb *>(img.constScanLine(int(h - 1 - row)));
        uchar *dst = p + 54 + row * stride;
        for (qint64 x = 0; x < w; ++x) {
            dst[3 * x] = uchar(qBlue(src[x]));
            dst[3 * x + 1] = uchar(qGreen(src[x]));
            dst[3 * x + 2] = uchar(qRed(src[x]));
        }
    }
    return out;
}

RgbBuffer rgbFromImage(const QImage &image) {
    RgbBuffer out;
    const QImage img = image.convertToFormat(QImage::Format_RGB32);
    if (img.isNull() || !out.allocate(img.width(), img.height()))
        return out;
    uchar *dst = out.pixels.get();
    for (int y = 0; y < img.height(); ++y) {
        const auto *src = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            *dst++ = uchar(qRed(src[x]));
            *dst++ = uchar(qGreen(src[x]));
            *dst++ = uchar(qBlue(src[x]));
        }
    }
    return out;
}

QImage imageFromRgb(const RgbBuffer &buffer) {
    if (buffer.isNull())
        return QImage();
    QImage img(buffer.width, buffer.height, QImage::Format_RGB32);
    if (img.isNull())
        return img;
    const uchar *src = buffer.pixels.get();
    for (int y = 0; y < buffer.height; ++y) {
        auto *dst = reinterpret_cast<QRgb *>(img.scanLine(y));
        for (int x = 0; x < buffer.width; ++x, src += 3)
            dst[x] = qRgb(src[0], src[1], src[2]);
    }
    return img;
}

} // namespace ritra
