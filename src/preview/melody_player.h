// The melody player: plays ".MID", ".SMF", ".MLD" and ".WAV" ring melodies in
// the background through SDL2_mixer (MIDI through its FluidSynth decoder with
// a General MIDI SoundFont). An MLD melody is converted to a MIDI file in
// memory and played from there; its loop points are not repeated.
//
// The audio device is opened at the first Open, not before, so a program
// that never plays opens no device. When it cannot be opened (no sound card,
// no sound server, SDL_AUDIODRIVER naming a driver that does not exist),
// Open and Play return false and lastError() says why; nothing else happens.
// The next Open tries again.
//
// SDL_mixer has one music stream per process: whichever player plays last
// takes it over and the melody of any other player ends. The device stays
// open while any player holds it.
#pragma once

#include <QObject>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

#include "media/mfi_midi.h"

struct _Mix_Music;

namespace fenmora {

// ".MID", ".SMF", ".MLD" and ".WAV" by the upper-cased extension of the name;
// everything else is never played.
bool IsPlayableMelody(std::string_view name);

// The General MIDI SoundFont for MIDI files (the timgm6mb-soundfont package).
inline constexpr const char* kSoundFontPath = "/usr/share/sounds/sf2/TimGM6mb.sf2";

class MelodyPlayer : public QObject {
  Q_OBJECT

 public:
  explicit MelodyPlayer(QObject* parent = nullptr);
  ~MelodyPlayer() override;

  MelodyPlayer(const MelodyPlayer&) = delete;
  MelodyPlayer& operator=(const MelodyPlayer&) = delete;

  // Remembers path as fileName(), closes what was open (ending its melody)
  // and loads the file, opening the audio device first if need be. False
  // (with lastError) when the name is not a playable melody, the device
  // cannot be opened or the file cannot be loaded.
  bool Open(const QString& path);
  // Starts the open melody from its beginning and returns at once. False
  // when nothing is open or the mixer refuses.
  bool Play();
  // Ends the melody at once. Does nothing when nothing plays; never opens
  // the device. The file stays open: Play starts it again.
  void Stop();

  // The last path given to Open; empty until the first Open.
  QString fileName() const { return m_fileName; }
  // The audio device is open (after a successful Open).
  bool available() const { return m_holdsDevice; }
  // Why the last failing call failed; empty after a success.
  QString lastError() const { return m_lastError; }
  // This player's melody is sounding now.
  bool isPlaying() const;
  // The last Open failed because the file is no melody that can be read (an
  // MLD that is no MFi melody), not for want of a device.
  bool unreadable() const { return m_unreadable; }
  // What the conversion of the MLD melody open now left out; nullopt for
  // other melodies.
  const std::optional<MfiLeftOut>& leftOut() const { return m_leftOut; }

 signals:
  // The melody played to its end. Not emitted for Stop, Open or destruction.
  void finished();

 private:
  bool OpenDevice();
  void CloseDevice();
  void FreeMusic();
  void Invalidate();
  void OnMusicFinished(quint64 generation);
  static void MusicFinishedHook();

  QString m_fileName;
  QString m_lastError;
  _Mix_Music* m_music = nullptr;
  std::string m_memory;  // the MIDI file converted from an MLD, read by the mixer while it plays
  std::optional<MfiLeftOut> m_leftOut;
  bool m_unreadable = false;
  bool m_holdsDevice = false;
  quint64 m_playGeneration = 0;  // 0: no play of this player can finish
};

}  // namespace fenmora
