#include "app/start/Fonts.h"

#include <QStringList>

namespace miretoka {

void InstallFontSubstitutes() {
  const QStringList gothic = {QStringLiteral("IPAPGothic"), QStringLiteral("IPA Pゴシック"),
                              QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans CJK JP")};
  QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), gothic);
  QFont::insertSubstitutions(QStringLiteral("MS PGothic"), gothic);
}

QFont WindowFont(int pixelSize) {
  QFont f(QStringLiteral("ＭＳ Ｐゴシック"));
  f.setPixelSize(pixelSize);
  return f;
}

}  // namespace miretoka
