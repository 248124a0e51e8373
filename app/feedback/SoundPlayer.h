#pragma once
// Sound output for the feedback sounds: plays a file and returns at once; a new
// sound stops one still playing.
#include <QString>
#include <QStringList>
#include <map>
#include <memory>

class QSoundEffect;

namespace miretoka {

class ISoundPlayer {
public:
  virtual ~ISoundPlayer() = default;
  // Starts playing the WAV file and returns without waiting.
  virtual void Play(const QString &file) = 0;
};

// Plays through the machine's audio output.
class TSoundEffectPlayer : public ISoundPlayer {
public:
  TSoundEffectPlayer();
  ~TSoundEffectPlayer() override;
  void Play(const QString &file) override;

private:
  // One effect per file, kept loaded so that the next click sounds at once.
  std::map<QString, std::unique_ptr<QSoundEffect>> FEffects;
};

// Plays nothing and remembers what it was asked to play (no audio device, tests).
class TSilentPlayer : public ISoundPlayer {
public:
  void Play(const QString &file) override { Played.append(file); }
  QStringList Played;
};

// The player in use: the audio output when the machine has one, else silent.
ISoundPlayer &SoundPlayer();
void SetSoundPlayer(std::unique_ptr<ISoundPlayer> player);

// Checks that a sound file exists and is a readable RIFF/WAVE file; raises
// EMediaError with a clear message otherwise.
void CheckSoundFile(const QString &file);

// Whether the board windows play their sounds at all (the 効果音 setting).
bool SoundOn();
void SetSoundOn(bool on);

}  // namespace miretoka
