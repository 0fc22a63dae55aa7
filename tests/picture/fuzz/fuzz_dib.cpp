// Fuzz target: the reader that loads a bitmap file into the store.
#include "picture/RitraBitmapIo.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QString why;
    const QImage image = ritra::readDibFile(file, &why);
    if (!image.isNull() && image.width() * image.height() > 0)
        (void)image.pixel(image.width() - 1, image.height() - 1);
    return 0;
}
