#include "app/feedback/SoundPlayer.h"

#include <QFile>
#include <QFileInfo>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

#include "app/feedback/ErrorReporter.h"

namespace miretoka {

TSoundEffectPlayer::TSoundEffectPlayer() = default;

TSoundEffectPlayer::~TSoundEffectPlayer() = default;

void TSoundEffectPlayer::Play(const QString &file) {
  // Like reopening a media device: whatever still plays is stopped first.
  for (auto &[name, effect] : FEffects) effect->stop();
  auto &effect = FEffects[file];
  if (!effect) {
    effect = std::make_unique<QSoundEffect>();
    effect->setSource(QUrl::fromLocalFile(file));
  }
  effect->play();
}

namespace {
std::unique_ptr<ISoundPlayer> &Current() {
  static std::unique_ptr<ISoundPlayer> player;
  return player;
}
}  // namespace

ISoundPlayer &SoundPlayer() {
  auto &p = Current();
  if (!p) {
    if (QMediaDevices::audioOutputs().isEmpty())
      p = std::make_unique<TSilentPlayer>();
    else
      p = std::make_unique<TSoundEffectPlayer>();
  }
  return *p;
}

void SetSoundPlayer(std::unique_ptr<ISoundPlayer> player) { Current() = std::move(player); }

void CheckSoundFile(const QString &file) {
  const QString name = QFileInfo(file).fileName();
  QFile f(file);
  if (!f.exists())
    throw EMediaError(QStringLiteral("音声ファイル「%1」が見つかりません。\n%2").arg(name, file));
  if (!f.open(QIODevice::ReadOnly))
    throw EMediaError(QStringLiteral("音声ファイル「%1」を開けません。\n%2").arg(name, file));
  const QByteArray head = f.read(12);
  if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
    throw EMediaError(
        QStringLiteral("音声ファイル「%1」は WAV 形式ではありません。\n%2").arg(name, file));
}

namespace {
bool GSoundOn = true;
}  // namespace

bool SoundOn() { return GSoundOn; }
void SetSoundOn(bool on) { GSoundOn = on; }

}  // namespace miretoka
