// JPEG coding of the picture control, on libjpeg. libjpeg's fatal errors are
// caught by the control's own error handler and come back as a failure with
// libjpeg's text; they never end the process.
#pragma once

#include "picture/RitraBitmapIo.h"

namespace ritra {

enum class JpegFailure {
    None,
    Fatal,       // libjpeg gave up: `message` holds its text
    OutOfMemory, // the pixel buffer could not be allocated
};

// Decodes a JPEG file's bytes into top-down RGB samples. A one-component
// (grey) image gives each pixel its grey value in all three samples.
RITRA_EXPORT JpegFailure decodeJpeg(const QByteArray &data, RgbBuffer *out, QString *message);

// Encodes top-down RGB samples. `colour` false writes one grey component of
// 0.299 red + 0.587 green + 0.114 blue (truncated). Baseline tables are forced.
RITRA_EXPORT JpegFailure encodeJpeg(const RgbBuffer &in, bool colour, int quality, QByteArray *out,
                                    QString *message);

} // namespace ritra
