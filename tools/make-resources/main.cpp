// make-resources OUTDIR: writes stB.bmp, stW.bmp (and their @2x and @3x versions for
// scaled screens), Oto1.wav and Oto2.wav into OUTDIR.
#include <QByteArray>
#include <QDir>
#include <QSaveFile>
#include <QString>
#include <cstdio>

#include "tools/make-resources/BmpWriter.h"
#include "tools/make-resources/SoundSynth.h"
#include "tools/make-resources/StonePainter.h"
#include "tools/make-resources/WavWriter.h"

namespace {
bool WriteFile(const QDir &dir, const QString &name, const QByteArray &bytes) {
  // Written under a temporary name and renamed, so an interrupted build never leaves
  // a half-written picture or sound behind.
  QSaveFile file(dir.filePath(name));
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    std::fprintf(stderr, "make-resources: cannot write %s: %s\n",
                 qPrintable(dir.filePath(name)), qPrintable(file.errorString()));
    return false;
  }
  return true;
}
}  // namespace

int main(int argc, char **argv) {
  using namespace miretoka::resources;
  if (argc != 2) {
    std::fprintf(stderr, "usage: make-resources OUTPUT-DIRECTORY\n");
    return 2;
  }
  const QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!QDir().mkpath(dir.path())) {
    std::fprintf(stderr, "make-resources: cannot create %s\n", argv[1]);
    return 1;
  }
  bool ok = WriteFile(dir, QStringLiteral("stB.bmp"), EncodeBmpWithAlpha(PaintStone(StoneKind::Black)));
  ok = WriteFile(dir, QStringLiteral("stW.bmp"), EncodeBmpWithAlpha(PaintStone(StoneKind::White))) && ok;
  // The same stones with more pixels for scaled screens, so that they stay sharp there.
  for (int scale : {2, 3}) {
    const QString suffix = QStringLiteral("@%1x.bmp").arg(scale);
    ok = WriteFile(dir, QStringLiteral("stB") + suffix, EncodeBmpWithAlpha(PaintStone(StoneKind::Black, scale))) && ok;
    ok = WriteFile(dir, QStringLiteral("stW") + suffix, EncodeBmpWithAlpha(PaintStone(StoneKind::White, scale))) && ok;
  }
  ok = WriteFile(dir, QStringLiteral("Oto1.wav"), EncodeWav16(SynthesiseClick(), kSampleRate)) && ok;
  ok = WriteFile(dir, QStringLiteral("Oto2.wav"), EncodeWav16(SynthesiseChime(), kSampleRate)) && ok;
  return ok ? 0 : 1;
}
