#pragma once

#include <QFont>
#include <QStringList>
#include <QStringView>

namespace norvvelm {

// The typefaces tried, in order, for the monitor and the register's display.
// The last one is a dependency of the package, so the list never runs dry.
QStringList FixedPitchFamilies();

// The characters the monitor and the display show: printable ASCII, the
// accented vowels of Italian text and the euro sign.
QStringView FixedPitchSample();

// True when every character of `sample` has the same advance in `font`: a
// missing glyph drawn from another typeface, or a proportional face that
// claims to be fixed, both fail.
bool HasOneAdvance(const QFont &font, QStringView sample = FixedPitchSample());

// The first family of FixedPitchFamilies() whose characters measure one
// advance at the size asked: the application's point size times `scale`.
QFont FixedPitchFont(qreal scale = 1.0);

} // namespace norvvelm
