#include "preview/melody_player.h"

#include "platform/language.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>

#include <dlfcn.h>

#include <mutex>
#include <type_traits>

#include <SDL.h>
#include <SDL_mixer.h>

#include "platform/fileops.h"
#include "profile/profile.h"

namespace fenmora {

namespace {

// The player's reasons (the library's own text follows some of them).
const char* const kNotPlayable = Say("MIDI、MLD、WAV のどれでもありません: ", "not a MIDI, MLD or WAV file: ");
const char* const kNoAudio = Say("音声を使えません: ", "no audio: ");
const char* const kCannotOpenDevice = Say("音声出力装置を開けません: ", "the audio device cannot be opened: ");
const char* const kNoSuchFile = Say("ファイルがありません: ", "no such file: ");
const char* const kNotAMelody = Say("読めるメロディではありません: ", "not a melody that can be read: ");
const char* const kCannotRead = Say("ファイルを読めません: ", "cannot read the file: ");
const char* const kCannotPlay = Say("ファイルを演奏できません: ", "cannot play the file: ");
const char* const kNothingOpen = Say("メロディが開かれていません", "no melody is open");


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

// SDL2_mixer (with SDL2) is loaded at the first melody played, not with the
// program: linked to it, the library and the forty-odd libraries it brings
// (FluidSynth, PulseAudio, JACK, the codecs) are loaded and bound before the
// window can show, which doubles its start-up and adds megabytes for a
// player many sessions never use.
constexpr const char* kMixerLibrary = "libSDL2_mixer-2.0.so.0";

struct SdlApi {
  decltype(&::SDL_GetError) GetError;
  decltype(&::SDL_SetHint) SetHint;
  decltype(&::SDL_InitSubSystem) InitSubSystem;
  decltype(&::SDL_QuitSubSystem) QuitSubSystem;
  decltype(&::SDL_RWFromFile) RWFromFile;
  decltype(&::SDL_RWFromConstMem) RWFromConstMem;
  decltype(&::Mix_Init) Init;
  decltype(&::Mix_Quit) Quit;
  decltype(&::Mix_OpenAudio) OpenAudio;
  decltype(&::Mix_CloseAudio) CloseAudio;
  decltype(&::Mix_SetSoundFonts) SetSoundFonts;
  decltype(&::Mix_HookMusicFinished) HookMusicFinished;
  decltype(&::Mix_HaltMusic) HaltMusic;
  decltype(&::Mix_FreeMusic) FreeMusic;
  decltype(&::Mix_LoadMUSType_RW) LoadMUSType_RW;
  decltype(&::Mix_PlayMusic) PlayMusic;
  decltype(&::Mix_PlayingMusic) PlayingMusic;
};

// The functions, or null (with the reason in `error`) when the library or one
// of them cannot be found. Loaded once, on the user-interface thread, and
// kept for the life of the process; every other call below runs only once a
// device has been opened, that is after a successful load.
const SdlApi* Sdl(QString* error) {
  static SdlApi api;
  static QString failure;
  static const bool loaded = [] {
    void* library = dlopen(kMixerLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
      failure = QString::fromLocal8Bit(dlerror());
      return false;
    }
    bool all = true;
    auto get = [&](auto& function, const char* name) {
      function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(library, name));
      if (!function) {
        failure = QString::fromLatin1(kMixerLibrary) + QStringLiteral(" has no ") + QString::fromLatin1(name);
        all = false;
      }
    };
    get(api.GetError, "SDL_GetError");
    get(api.SetHint, "SDL_SetHint");
    get(api.InitSubSystem, "SDL_InitSubSystem");
    get(api.QuitSubSystem, "SDL_QuitSubSystem");
    get(api.RWFromFile, "SDL_RWFromFile");
    get(api.RWFromConstMem, "SDL_RWFromConstMem");
    get(api.Init, "Mix_Init");
    get(api.Quit, "Mix_Quit");
    get(api.OpenAudio, "Mix_OpenAudio");
    get(api.CloseAudio, "Mix_CloseAudio");
    get(api.SetSoundFonts, "Mix_SetSoundFonts");
    get(api.HookMusicFinished, "Mix_HookMusicFinished");
    get(api.HaltMusic, "Mix_HaltMusic");
    get(api.FreeMusic, "Mix_FreeMusic");
    get(api.LoadMUSType_RW, "Mix_LoadMUSType_RW");
    get(api.PlayMusic, "Mix_PlayMusic");
    get(api.PlayingMusic, "Mix_PlayingMusic");
    return all;
  }();
  if (!loaded && error) *error = failure;
  return loaded ? &api : nullptr;
}

// Only after a successful Sdl().
const SdlApi& Loaded() { return *Sdl(nullptr); }

QString SdlText(const char* what) {
  return QString::fromUtf8(what) + QString::fromUtf8(Loaded().GetError());
}

}  // namespace

// An MLD melody is read whole before it is converted; the handset's are at
// most 40 KB, anything past this is no melody.
constexpr std::int64_t kMaxMldBytes = 4 * 1024 * 1024;

bool IsPlayableMelody(std::string_view name) {
  const std::string ext = AsciiUpper(ExtensionOf(name));
  return ext == ".MID" || ext == ".SMF" || ext == ".MLD" || ext == ".WAV";
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
    QString whyNot;
    if (!Sdl(&whyNot)) {
      m_lastError = QString::fromUtf8(kNoAudio) + whyNot;
      return false;
    }
    const SdlApi& sdl = Loaded();
    // The program's own signal handling stays as it is.
    sdl.SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (sdl.InitSubSystem(SDL_INIT_AUDIO) != 0) {
      m_lastError = SdlText(kNoAudio);
      return false;
    }
    sdl.Init(MIX_INIT_MID);  // WAV needs no decoder library; MIDI fails at load if this did
    if (sdl.OpenAudio(kSampleRate, MIX_DEFAULT_FORMAT, kChannels, kChunkFrames) != 0) {
      m_lastError = SdlText(kCannotOpenDevice);
      sdl.Quit();
      sdl.QuitSubSystem(SDL_INIT_AUDIO);
      return false;
    }
    if (QFileInfo::exists(QString::fromLatin1(kSoundFontPath))) sdl.SetSoundFonts(kSoundFontPath);
    sdl.HookMusicFinished(&MelodyPlayer::MusicFinishedHook);
  }
  ++g_deviceUsers;
  m_holdsDevice = true;
  return true;
}

void MelodyPlayer::CloseDevice() {
  if (!m_holdsDevice) return;
  m_holdsDevice = false;
  if (--g_deviceUsers > 0) return;
  const SdlApi& sdl = Loaded();
  sdl.HookMusicFinished(nullptr);
  {
    PurposefulHalt halt;
    sdl.HaltMusic();
  }
  sdl.CloseAudio();
  sdl.Quit();
  sdl.QuitSubSystem(SDL_INIT_AUDIO);
}

void MelodyPlayer::FreeMusic() {
  m_leftOut.reset();
  if (!m_music) return;
  Invalidate();
  {
    PurposefulHalt halt;
    Loaded().FreeMusic(m_music);  // halts it first when it is the one playing
  }
  m_music = nullptr;
  m_memory.clear();
}

bool MelodyPlayer::Open(const QString& path) {
  m_fileName = path;
  m_unreadable = false;
  FreeMusic();
  const QString name = QFileInfo(path).fileName();
  if (!IsPlayableMelody(name.toStdString())) {
    m_lastError = QString::fromUtf8(kNotPlayable) + path;
    return false;
  }
  // A FIFO or a device would block or never end.
  if (!QFileInfo(path).isFile()) {
    m_lastError = QString::fromUtf8(kNoSuchFile) + path;
    return false;
  }
  const std::string ext = AsciiUpper(ExtensionOf(name.toStdString()));
  std::string midi;
  std::optional<MfiLeftOut> leftOut;
  if (ext == ".MLD") {
    // Converted before the device is opened: a file that is no melody opens nothing.
    std::string bytes;
    std::string why;
    const std::filesystem::path file(QFile::encodeName(path).toStdString());
    auto converted = RealFileOps().ReadPrefix(file, kMaxMldBytes, bytes) ? ConvertMfiToSmf(bytes, &why)
                                                                          : std::nullopt;
    if (!converted) {
      m_unreadable = true;
      m_lastError = QString::fromUtf8(kNotAMelody) + QString::fromStdString(why);
      return false;
    }
    midi = std::move(converted->smf);
    leftOut = converted->leftOut;
  }
  if (!OpenDevice()) return false;
  // The extension decides the decoder, as it does for the handset.
  const Mix_MusicType type = ext == ".WAV" ? MUS_WAV : MUS_MID;
  // The mixer may read the memory while it plays: it is kept with the music.
  m_memory = std::move(midi);
  SDL_RWops* rw = m_memory.empty()
                      ? Loaded().RWFromFile(QFile::encodeName(path).constData(), "rb")
                      : Loaded().RWFromConstMem(m_memory.data(), static_cast<int>(m_memory.size()));
  if (!rw) {
    m_memory.clear();
    m_lastError = SdlText(kCannotRead);
    return false;
  }
  m_music = Loaded().LoadMUSType_RW(rw, type, SDL_TRUE);  // closes rw in every case
  if (!m_music) {
    m_memory.clear();
    m_lastError = QString::fromUtf8(kCannotPlay) + QString::fromUtf8(Loaded().GetError());
    return false;
  }
  m_leftOut = leftOut;
  m_lastError.clear();
  return true;
}

bool MelodyPlayer::Play() {
  if (!m_music) {
    m_lastError = QString::fromUtf8(kNothingOpen);
    return false;
  }
  {
    // Ends whatever plays, without a finished notification.
    PurposefulHalt halt;
    Loaded().HaltMusic();
  }
  {
    std::lock_guard lock(g_ownerMutex);
    g_owner = this;
    m_playGeneration = ++g_generation;
  }
  if (Loaded().PlayMusic(m_music, 0) != 0) {
    Invalidate();
    m_lastError = QString::fromUtf8(kCannotPlay) + QString::fromUtf8(Loaded().GetError());
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
  Loaded().HaltMusic();
}

bool MelodyPlayer::isPlaying() const {
  if (!m_music) return false;
  {
    std::lock_guard lock(g_ownerMutex);
    if (g_owner != this) return false;
  }
  return Loaded().PlayingMusic() != 0;
}

}  // namespace fenmora
