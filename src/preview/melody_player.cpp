#include "preview/melody_player.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <mutex>

#include <SDL.h>
#include <SDL_mixer.h>

#include "profile/profile.h"

namespace fenmora {

namespace {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;
constexpr int kChunkFrames = 2048;

// Shared by every player; touched on the user-interface thread only.
int g_deviceUsers = 0;

// Who gets the finished notification, and the counter that numbers the plays
// (a notification of an earlier play may still be queued when the next one
// starts). Read by SDL_mixer's hook on the audio thread, written on the
// user-interface thread, together with each player's m_playGeneration. Never
// call into SDL_mixer while holding this lock: the hook runs with SDL's audio
// lock held and takes this one, so the other order would deadlock.
std::mutex g_ownerMutex;
MelodyPlayer* g_owner = nullptr;
quint64 g_generation = 0;

// SDL_mixer calls the finished hook synchronously from Mix_HaltMusic too.
// Halts made by a player are not endings the user should hear about.
thread_local bool t_haltingOnPurpose = false;

struct PurposefulHalt {
  PurposefulHalt() { t_haltingOnPurpose = true; }
  ~PurposefulHalt() { t_haltingOnPurpose = false; }
};

QString SdlText(const char* what) {
  return QString::fromLatin1(what) + QString::fromUtf8(SDL_GetError());
}

}  // namespace

bool IsPlayableMelody(std::string_view name) {
  const std::string ext = AsciiUpper(ExtensionOf(name));
  return ext == ".MID" || ext == ".WAV";
}

MelodyPlayer::MelodyPlayer(QObject* parent) : QObject(parent) {}

MelodyPlayer::~MelodyPlayer() {
  {
    std::lock_guard lock(g_ownerMutex);
    if (g_owner == this) g_owner = nullptr;
    m_playGeneration = 0;
  }
  FreeMusic();
  CloseDevice();
}

void MelodyPlayer::MusicFinishedHook() {
  if (t_haltingOnPurpose) return;
  std::lock_guard lock(g_ownerMutex);
  MelodyPlayer* owner = g_owner;
  if (!owner) return;
  const quint64 generation = owner->m_playGeneration;
  if (generation == 0) return;
  // Queued to the player's thread; dropped by Qt if the player is gone by then.
  QMetaObject::invokeMethod(
      owner, [owner, generation] { owner->OnMusicFinished(generation); }, Qt::QueuedConnection);
}

void MelodyPlayer::OnMusicFinished(quint64 generation) {
  bool current;
  {
    std::lock_guard lock(g_ownerMutex);
    current = generation != 0 && generation == m_playGeneration;
    if (current) m_playGeneration = 0;
  }
  if (current) emit finished();
}

void MelodyPlayer::Invalidate() {
  std::lock_guard lock(g_ownerMutex);
  m_playGeneration = 0;
}

bool MelodyPlayer::OpenDevice() {
  if (m_holdsDevice) return true;
  if (g_deviceUsers == 0) {
    // The program's own signal handling stays as it is.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
      m_lastError = SdlText("no audio: ");
      return false;
    }
    Mix_Init(MIX_INIT_MID);  // WAV needs no decoder library; MIDI fails at load if this did
    if (Mix_OpenAudio(kSampleRate, MIX_DEFAULT_FORMAT, kChannels, kChunkFrames) != 0) {
      m_lastError = SdlText("the audio device cannot be opened: ");
      Mix_Quit();
      SDL_QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    if (QFileInfo::exists(QString::fromLatin1(kSoundFontPath))) Mix_SetSoundFonts(kSoundFontPath);
    Mix_HookMusicFinished(&MelodyPlayer::MusicFinishedHook);
  }
  ++g_deviceUsers;
  m_holdsDevice = true;
  return true;
}

void MelodyPlayer::CloseDevice() {
  if (!m_holdsDevice) return;
  m_holdsDevice = false;
  if (--g_deviceUsers > 0) return;
  Mix_HookMusicFinished(nullptr);
  {
    PurposefulHalt halt;
    Mix_HaltMusic();
  }
  Mix_CloseAudio();
  Mix_Quit();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void MelodyPlayer::FreeMusic() {
  if (!m_music) return;
  Invalidate();
  PurposefulHalt halt;
  Mix_FreeMusic(m_music);  // halts it first when it is the one playing
  m_music = nullptr;
}

bool MelodyPlayer::Open(const QString& path) {
  m_fileName = path;
  FreeMusic();
  const QString name = QFileInfo(path).fileName();
  if (!IsPlayableMelody(name.toStdString())) {
    m_lastError = QStringLiteral("not a MIDI or WAV file: ") + path;
    return false;
  }
  // A FIFO or a device would block or never end.
  if (!QFileInfo(path).isFile()) {
    m_lastError = QStringLiteral("no such file: ") + path;
    return false;
  }
  if (!OpenDevice()) return false;
  // The extension decides the decoder, as it does for the handset.
  const Mix_MusicType type =
      AsciiUpper(ExtensionOf(name.toStdString())) == ".MID" ? MUS_MID : MUS_WAV;
  SDL_RWops* rw = SDL_RWFromFile(QFile::encodeName(path).constData(), "rb");
  if (!rw) {
    m_lastError = SdlText("cannot read the file: ");
    return false;
  }
  m_music = Mix_LoadMUSType_RW(rw, type, SDL_TRUE);  // closes rw in every case
  if (!m_music) {
    m_lastError = QStringLiteral("cannot play the file: ") + QString::fromUtf8(Mix_GetError());
    return false;
  }
  m_lastError.clear();
  return true;
}

bool MelodyPlayer::Play() {
  if (!m_music) {
    m_lastError = QStringLiteral("no melody is open");
    return false;
  }
  {
    // Ends whatever plays, without a finished notification.
    PurposefulHalt halt;
    Mix_HaltMusic();
  }
  {
    std::lock_guard lock(g_ownerMutex);
    g_owner = this;
    m_playGeneration = ++g_generation;
  }
  if (Mix_PlayMusic(m_music, 0) != 0) {
    Invalidate();
    m_lastError = QStringLiteral("cannot play the file: ") + QString::fromUtf8(Mix_GetError());
    return false;
  }
  m_lastError.clear();
  return true;
}

void MelodyPlayer::Stop() {
  if (!m_holdsDevice) return;
  Invalidate();
  bool owner;
  {
    std::lock_guard lock(g_ownerMutex);
    owner = g_owner == this;
  }
  if (!owner) return;  // another player's melody plays on
  PurposefulHalt halt;
  Mix_HaltMusic();
}

bool MelodyPlayer::isPlaying() const {
  if (!m_music) return false;
  {
    std::lock_guard lock(g_ownerMutex);
    if (g_owner != this) return false;
  }
  return Mix_PlayingMusic() != 0;
}

}  // namespace fenmora
