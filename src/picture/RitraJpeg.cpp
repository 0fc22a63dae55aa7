#include "picture/RitraJpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
// after jpeglib.h, which it needs
#include <jerror.h>

// The functions that call libjpeg keep only plain C data in their frames:
// a fatal error jumps back to their setjmp, and no destructor may be skipped
// on the way.

namespace ritra {

namespace {

// A damaged stream makes libjpeg warn once per damaged spot; past this many
// warnings the decode is abandoned rather than left to grind through noise.
constexpr int kMaxWarnings = 200;
constexpr long kMaxJpegMemory = 256L * 1024 * 1024;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    int warnings;
};

extern "C" void ritraJpegFatal(j_common_ptr cinfo) {
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

extern "C" void ritraJpegMessage(j_common_ptr cinfo, int level) {
    auto *err = reinterpret_cast<ErrorManager *>(cinfo->err);
    if (level < 0 && ++err->warnings > kMaxWarnings) {
        (*cinfo->err->format_message)(cinfo, err->message);
        std::longjmp(err->jump, 1);
    }
}

void setupErrors(ErrorManager *err) {
    jpeg_std_error(&err->pub);
    err->pub.error_exit = ritraJpegFatal;
    err->pub.emit_message = ritraJpegMessage;
    err->message[0] = '\0';
    err->warnings = 0;
}

void setMessage(ErrorManager *err, const char *text) {
    std::snprintf(err->message, sizeof err->message, "%s", text);
}

enum Outcome { Ok, Fatal, NoMemory };

Outcome decodeCore(const unsigned char *data, unsigned long size, ErrorManager *err, unsigned char **pixels,
                   int *width, int *height) {
    jpeg_decompress_struct cinfo;
    unsigned char *volatile buffer = nullptr;
    cinfo.err = &err->pub;
    if (setjmp(err->jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::free(buffer);
        return Fatal;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = kMaxJpegMemory;
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    if (!sizeAcceptable(cinfo.image_width, cinfo.image_height)) {
        setMessage(err, "Image too large");
        jpeg_destroy_decompress(&cinfo);
        return Fatal;
    }
    if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
        setMessage(err, "CMYK images are not supported");
        jpeg_destroy_decompress(&cinfo);
        return Fatal;
    }
    jpeg_start_decompress(&cinfo);
    const int w = int(cinfo.output_width);
    const int h = int(cinfo.output_height);
    const int components = cinfo.output_components;
    if ((components != 1 && components != 3) || !sizeAcceptable(w, h)) {
        setMessage(err, "Unsupported JPEG colour format");
        jpeg_destroy_decompress(&cinfo);
        return Fatal;
    }
    const size_t rowBytes = size_t(w) * 3;
    buffer = static_cast<unsigned char *>(std::malloc(rowBytes * size_t(h)));
    if (!buffer) {
        jpeg_destroy_decompress(&cinfo);
        return NoMemory;
    }
    while (cinfo.output_scanline < cinfo.output_height) {
        unsigned char *row = buffer + rowBytes * cinfo.output_scanline;
        JSAMPROW rows[1] = {row};
        if (jpeg_read_scanlines(&cinfo, rows, 1) != 1)
            break;
        if (components == 1) {
            // Spread the grey samples from the right so none is overwritten early.
            for (int x = w - 1; x >= 0; --x)
                row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = row[x];
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    *pixels = buffer;
    *width = w;
    *height = h;
    return Ok;
}

// Destination that grows a malloc'd buffer owned by the caller, so that a
// fatal error can free it.
struct GrowingDestination {
    jpeg_destination_mgr pub;
    unsigned char *data;
    size_t capacity;
    size_t length;
};

extern "C" void ritraDestInit(j_compress_ptr) {}

extern "C" boolean ritraDestEmpty(j_compress_ptr cinfo) {
    auto *dest = reinterpret_cast<GrowingDestination *>(cinfo->dest);
    const size_t grown = dest->capacity * 2;
    auto *bigger = static_cast<unsigned char *>(std::realloc(dest->data, grown));
    if (!bigger) {
        cinfo->err->msg_code = JERR_OUT_OF_MEMORY;
        (*cinfo->err->error_exit)(reinterpret_cast<j_common_ptr>(cinfo));
    }
    dest->data = bigger;
    dest->pub.next_output_byte = bigger + dest->capacity;
    dest->pub.free_in_buffer = grown - dest->capacity;
    dest->capacity = grown;
    return TRUE;
}

extern "C" void ritraDestTerm(j_compress_ptr cinfo) {
    auto *dest = reinterpret_cast<GrowingDestination *>(cinfo->dest);
    dest->length = dest->capacity - dest->pub.free_in_buffer;
}

Outcome encodeCore(const unsigned char *rgb, int width, int height, bool colour, int quality,
                   ErrorManager *err, GrowingDestination *dest) {
    jpeg_compress_struct cinfo;
    unsigned char *volatile grey = nullptr;
    cinfo.err = &err->pub;
    if (setjmp(err->jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(grey);
        return Fatal;
    }
    jpeg_create_compress(&cinfo);
    dest->capacity = size_t(64) * 1024 + size_t(width) * size_t(height) / 4;
    dest->length = 0;
    dest->data = static_cast<unsigned char *>(std::malloc(dest->capacity));
    if (!dest->data) {
        jpeg_destroy_compress(&cinfo);
        return NoMemory;
    }
    dest->pub.next_output_byte = dest->data;
    dest->pub.free_in_buffer = dest->capacity;
    dest->pub.init_destination = ritraDestInit;
    dest->pub.empty_output_buffer = ritraDestEmpty;
    dest->pub.term_destination = ritraDestTerm;
    cinfo.dest = &dest->pub;

    const unsigned char *source = rgb;
    size_t rowBytes = size_t(width) * 3;
    if (!colour) {
        grey = static_cast<unsigned char *>(std::malloc(size_t(width) * size_t(height)));
        if (!grey) {
            setMessage(err, "Memory error");
            jpeg_destroy_compress(&cinfo);
            return NoMemory;
        }
        const size_t count = size_t(width) * size_t(height);
        for (size_t i = 0; i < count; ++i)
            grey[i] = static_cast<unsigned char>(0.299 * rgb[3 * i] + 0.587 * rgb[3 * i + 1] +
                                                 0.114 * rgb[3 * i + 2]);
        source = grey;
        rowBytes = size_t(width);
    }
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = colour ? 3 : 1;
    cinfo.in_color_space = colour ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[1] = {const_cast<unsigned char *>(source + rowBytes * cinfo.next_scanline)};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::free(grey);
    return Ok;
}

} // namespace

JpegFailure decodeJpeg(const QByteArray &data, RgbBuffer *out, QString *message) {
    out->pixels.reset();
    out->width = out->height = 0;
    ErrorManager err;
    setupErrors(&err);
    unsigned char *pixels = nullptr;
    int w = 0;
    int h = 0;
    const Outcome r = decodeCore(reinterpret_cast<const unsigned char *>(data.constData()),
                                 static_cast<unsigned long>(data.size()), &err, &pixels, &w, &h);
    if (r == Fatal) {
        *message = QString::fromLocal8Bit(err.message);
        return JpegFailure::Fatal;
    }
    if (r == NoMemory) {
        *message = QStringLiteral("Out of memory");
        return JpegFailure::OutOfMemory;
    }
    out->pixels.reset(pixels);
    out->width = w;
    out->height = h;
    return JpegFailure::None;
}

JpegFailure encodeJpeg(const RgbBuffer &in, bool colour, int quality, QByteArray *out, QString *message) {
    out->clear();
    if (in.isNull()) {
        *message = QStringLiteral("No image");
        return JpegFailure::Fatal;
    }
    ErrorManager err;
    setupErrors(&err);
    GrowingDestination dest;
    std::memset(&dest, 0, sizeof dest);
    const Outcome r = encodeCore(in.pixels.get(), in.width, in.height, colour, quality, &err, &dest);
    if (r == Ok)
        *out = QByteArray(reinterpret_cast<const char *>(dest.data), qsizetype(dest.length));
    std::free(dest.data);
    if (r == Fatal) {
        *message = QString::fromLocal8Bit(err.message);
        return JpegFailure::Fatal;
    }
    if (r == NoMemory) {
        *message = err.message[0] ? QString::fromLatin1(err.message) : QStringLiteral("Out of memory");
        return JpegFailure::OutOfMemory;
    }
    return JpegFailure::None;
}

} // namespace ritra
