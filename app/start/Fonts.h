#pragma once
// The fonts named by the windows resolve to an installed Japanese Gothic font.
#include <QFont>

namespace miretoka {
// Maps "ＭＳ Ｐゴシック" (and its Latin name) to IPAPGothic or another Japanese Gothic.
void InstallFontSubstitutes();
// "ＭＳ Ｐゴシック" at the given pixel size.
QFont WindowFont(int pixelSize = 12);
}  // namespace miretoka
