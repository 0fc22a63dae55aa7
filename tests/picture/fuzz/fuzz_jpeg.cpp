// Fuzz target: the JPEG decoder (libjpeg behind the control's error handler).
#include "picture/RitraJpeg.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    ritra::RgbBuffer buffer;
    QString message;
    if (ritra::decodeJpeg(file, &buffer, &message) == ritra::JpegFailure::None && !buffer.isNull()) {
        volatile unsigned char sink = buffer.pixels.get()[buffer.byteCount() - 1];
        (void)sink;
    }
    return 0;
}
