// Bitmap files of the picture control: the device-independent bitmap reader
// used when a bitmap is loaded, the strict BMP reader that feeds the JPEG
// conversion, and the 24-bit BMP writer.
#pragma once

#include "picture/RitraGlobal.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <cstdlib>
#include <memory>

namespace ritra {

// Largest bitmap the control creates or reads: sides and pixel count are
// bounded so that a hostile header can never make it allocate without limit.
inline constexpr qint64 kMaxSide = 32767;
inline constexpr qint64 kMaxPixels = qint64(64) * 1024 * 1024;

RITRA_EXPORT bool sizeAcceptable(qint64 width, qint64 height);

struct FreeDeleter {
    void operator()(unsigned char *p) const { std::free(p); }
};

// Plain pixel buffer: three 8-bit samples (red, green, blue) per pixel, rows
// top to bottom, no padding.
struct RITRA_EXPORT RgbBuffer {
    int width = 0;
    int height = 0;
    std::unique_ptr<unsigned char, FreeDeleter> pixels;

    bool isNull() const { return !pixels; }
    qsizetype byteCount() const { return qsizetype(width) * height * 3; }
    // Allocates width * height * 3 bytes; false when the size is refused or
    // memory is short.
    bool allocate(int w, int h);
};

// Reads a whole BMP file the way a bitmap is loaded into the store: 14-byte
// file header starting with "BM", then an info header of 12, 40, 52, 56, 108
// or 124 bytes, the colour table, and the pixel bits right after the table.
// Returns a null image and a reason when the file is refused.
RITRA_EXPORT QImage readDibFile(const QByteArray &file, QString *why = nullptr);

// The conversion's BMP reader. `status` is "OK" on success, otherwise the
// reason, and the buffer stays null.
RITRA_EXPORT RgbBuffer readBmpForConversion(const QByteArray &file, QString *status);

// A 24-bit bottom-up BMP (40-byte info header, one plane, no compression).
RITRA_EXPORT QByteArray encodeBmp24(const QImage &image);
// The 54-byte file and information headers of a bottom-up, uncompressed BMP.
RITRA_EXPORT void writeBmpHeader(uchar *p, qint64 fileSize, qint64 offset, qint64 width, qint64 height,
                                 int bits, qint64 imageSize, qint64 colours);

// Top-down RGB samples of an image, and back.
RITRA_EXPORT RgbBuffer rgbFromImage(const QImage &image);
RITRA_EXPORT QImage imageFromRgb(const RgbBuffer &buffer);

} // namespace ritra
