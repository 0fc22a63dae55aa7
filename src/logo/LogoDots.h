#pragma once

#include <QList>
#include <QString>

#include <array>

namespace norvvelm {

// The sides, in dots, a register logo can have; the size combo boxes list
// them in this order.
inline constexpr std::array<int, 3> kLogoSides{64, 128, 256};
inline constexpr int kLogoMinSide = 64;
inline constexpr int kLogoMaxSide = 256;

// The register side a loaded picture is stretched to: 256 above 128, 128
// above 64, else 64.
int LogoTargetSide(int side);
// Position of `side` in kLogoSides; -1 for any other side.
int LogoSideIndex(int side);

// The threshold applied after loading: a pixel becomes white when its red is
// at least 161, its green at least 101 and its blue at least 151.
bool PassesLogoThreshold(int r, int g, int b);
// A dot is white only when all three components are 255; anything else,
// the grey dots a stretch makes too, prints black.
bool IsWhiteDot(int r, int g, int b);

// A width the register's rows can carry: every four dots make one digit.
bool LogoWidthFitsDigits(int width);
// Both sides between 64 and 256 dots.
bool LogoSizeInRange(int width, int height);

// One row of dots (true = white, left to right) as the register takes it:
// one upper-case hexadecimal digit per four dots, the leftmost group first,
// the leftmost dot of a group its most significant bit; white is the bit 1.
// The row's length must be a multiple of 4.
QString LogoRowDigits(const QList<bool> &whiteDots);

} // namespace norvvelm
