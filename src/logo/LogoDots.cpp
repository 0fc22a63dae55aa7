#include "logo/LogoDots.h"

namespace norvvelm {

int LogoTargetSide(int side) {
    if (side > 128)
        return 256;
    if (side > 64)
        return 128;
    return 64;
}

int LogoSideIndex(int side) {
    for (size_t i = 0; i < kLogoSides.size(); ++i) {
        if (kLogoSides[i] == side)
            return int(i);
    }
    return -1;
}

bool PassesLogoThreshold(int r, int g, int b) {
    return r >= 161 && g >= 101 && b >= 151;
}

bool IsWhiteDot(int r, int g, int b) {
    return r == 255 && g == 255 && b == 255;
}

bool LogoWidthFitsDigits(int width) {
    return width % 4 == 0;
}

bool LogoSizeInRange(int width, int height) {
    return width >= kLogoMinSide && width <= kLogoMaxSide && height >= kLogoMinSide && height <= kLogoMaxSide;
}

QString LogoRowDigits(const QList<bool> &whiteDots) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    QString digits;
    digits.reserve(whiteDots.size() / 4);
    for (qsizetype i = 0; i + 4 <= whiteDots.size(); i += 4) {
        int value = 0;
        for (qsizetype j = 0; j < 4; ++j)
            value = value * 2 + (whiteDots.at(i + j) ? 1 : 0);
        digits.append(QChar(kHex[value]));
    }
    return digits;
}

} // namespace norvvelm
