// Fuzz target: the strict BMP reader of the JPEG conversion.
#include "picture/RitraBitmapIo.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString status;
    const ritra::RgbBuffer buffer = ritra::readBmpForConversion(file, &status);
    if (!buffer.isNull()) {
        const unsigned char *last = buffer.pixels.get() + buffer.byteCount() - 1;
        volatile unsigned char sink = *last;
        (void)sink;
    }
    return 0;
}
