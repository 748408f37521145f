#include "convert/handset_fit.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <system_error>

#include "convert/fit_texts.h"
#include "convert/movie_texts.h"
#include "convert/picture.h"
#include "media/file_info.h"
#include "media/smf_slim.h"
#include "movie/movie.h"
#include "sync/texts.h"

namespace fenmora::convert {

namespace fs = std::filesystem;

namespace {

QString QtPath(const fs::path& file) { return QFile::decodeName(QByteArray(file.c_str())); }

std::int64_t LimitOf(const HandsetProfile& profile, MediaKind kind, const char* ext) {
  const ExtensionRule* rule = profile.FindExtension(kind, ext);
  return rule ? rule->maxSize : 0;
}

// Melody files larger than this are not read whole: no melody is that long.
constexpr qint64 kMaxMelodyRead = 16 * 1024 * 1024;

}  // namespace

namespace {

// A session folder is marked as its program's while it runs: the program
// holds an flock on the mark for as long as it lives. A folder whose mark
// nobody holds was left by a program that ended without removing it (killed,
// crashed); it is removed by the next session once it has lain untouched for
// kLeftFolderAge, long enough that an update cut short that names one of its
// files as a copy's source has been finished or undone since.
constexpr const char* kSessionMark = ".fenmora-session";
constexpr auto kLeftFolderAge = std::chrono::hours(48);

// True when the folder's mark is there and no living program holds it.
bool LeftBehind(const fs::path& folder) {
  const fs::path mark = folder / kSessionMark;
  const int fd = ::open(mark.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;  // not a session folder of this program
  // (Its program holds a shared lock: an exclusive one is refused while it lives.)
  const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
  ::close(fd);
  return free;
}

// Touched within kLeftFolderAge (or of unknown age).
bool Recent(const fs::path& p, fs::file_time_type now) {
  std::error_code ec;
  const fs::file_time_type written = fs::last_write_time(p, ec);
  return ec || written > now || now - written < kLeftFolderAge;
}

}  // namespace

void RemoveLeftSessionFolders(const fs::path& temporary, const fs::path& own) {
  std::error_code ec;
  const auto now = fs::file_time_type::clock::now();
  for (const fs::directory_entry& entry : fs::directory_iterator(temporary, ec)) {
    const fs::path folder = entry.path();
    if (folder == own || folder.filename().string().rfind("fenmora-", 0) != 0) continue;
    if (entry.is_symlink(ec) || !entry.is_directory(ec) || !LeftBehind(folder) || Recent(folder, now)) continue;
    bool recent = false;
    for (const fs::directory_entry& inside : fs::directory_iterator(folder, ec)) recent = recent || Recent(inside.path(), now);
    if (!recent && !ec) fs::remove_all(folder, ec);
  }
}

const fs::path& SessionFolder() {
  static std::unique_ptr<QTemporaryDir> dir;
  static fs::path path;
  if (!dir) {
    dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/fenmora-XXXXXX"));
    if (dir->isValid()) {
      path = fs::path(QFile::encodeName(dir->path()).toStdString());
      // Held until the program ends (the descriptor is never closed).
      const int mark = ::open((path / kSessionMark).c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (mark >= 0) ::flock(mark, LOCK_SH);
      RemoveLeftSessionFolders(path.parent_path(), path);
    }
  }
  return path;
}


HandsetFit::HandsetFit(const HandsetProfile& profile, fs::path folder)
    : profile_(profile), folder_(std::move(folder)) {}

Fitted HandsetFit::Prepare(MediaKind kind, const fs::path& file, Prompts& prompts) {
  if (kind == MediaKind::Image) return FitPicture(file, prompts);
  if (kind == MediaKind::Melody) return FitMelody(file, prompts);
  return FitMovie(file, prompts);
}

void LongWork::Run(const std::string&, const std::function<void(const std::function<bool(double)>&)>& work) {
  work([](double) { return true; });
}

fs::path HandsetFit::Store(const fs::path& original, const char* ext, const std::string& bytes) {
  const fs::path folder = folder_.empty() ? SessionFolder() : folder_;
  if (folder.empty()) return {};
  // A number in front keeps two files of the same name apart; the file is
  // made new, never written over.
  const std::string stem = original.stem().string();
  for (int n = 1; n < 100000; ++n) {
    const fs::path target = folder / (std::to_string(n) + "-" + stem + ext);
    QFile out(QtPath(target));
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
      if (out.exists()) continue;
      return {};
    }
    const bool written = out.write(bytes.data(), static_cast<qint64>(bytes.size())) ==
                             static_cast<qint64>(bytes.size()) && out.flush();
    out.close();
    if (written) return target;
    out.remove();
    return {};
  }
  return {};
}

Fitted HandsetFit::FitPicture(const fs::path& file, Prompts& prompts) {
  using Icon = Prompts::Icon;
  PictureLimits limits;
  limits.bytes = LimitOf(profile_, MediaKind::Image, ".JPG");
  const PictureFacts facts = InspectPicture(file, limits);
  const std::string shownPath = file.string();
  const Fitted skip{Fitted::Step::Skip, {}, {}};
  // Decided by the bytes, whatever the name: an iPhone's photo (HEIC) or an
  // AVIF, named .jpg or not, is no picture the handset shows; the helper
  // program decodes it.
  const bool heif = !facts.readable && (facts.format == "heic" || facts.format == "avif");
  if (facts.cutShort) {
    prompts.Tell(Icon::Warning, texts::kPictureCutShort + shownPath);
    return skip;
  }
  // What no reader knows goes on as before: the size question, the copy.
  if ((!facts.readable && !heif) || facts.handsetReady) return {};
  if (prompts.Ask(Prompts::Question::ConvertPicture, Icon::Question, Prompts::Buttons::YesNo, texts::kConvertPicture + shownPath) !=
      Prompts::Answer::Yes) {
    // Under a name the handset's tables hold (.JPG), bytes of another format
    // (a PNG, a WebP, a HEIC) would sit on the card unshown: not added as they
    // are.
    const bool handsetFormat = facts.format == "jpeg" || facts.format == "gif";
    const auto ext = CardExtensionFor(MediaKind::Image, file.filename().string());
    if (!handsetFormat && ext && profile_.FindExtension(MediaKind::Image, *ext)) {
      prompts.Tell(Icon::Warning, texts::Of(texts::kNotHandsetFormat, MediaKind::Image) + shownPath);
      return skip;
    }
    return {};
  }
  if (facts.animated) prompts.Tell(Icon::Warning, texts::kAnimationLost + shownPath);

  QSize target;
  QImage upright;
  if (heif) {
    // At twice the screen at most, which the averaging below brings down.
    const movie::PreviewPicture photo = movie::DecodePhoto(file, limits.width * 2, limits.height * 2);
    if (!photo.valid()) {
      std::string name = facts.format;
      for (char& c : name) c = static_cast<char>(c - 'a' + 'A');
      prompts.Tell(Icon::Warning, texts::PictureFormatNotRead(name) + shownPath);
      return skip;
    }
    target = FitSize(QSize(photo.frameWidth, photo.frameHeight), limits.Screen());
    upright = QImage(photo.rgb.data(), photo.width, photo.height, photo.width * 3, QImage::Format_RGB888).copy();
  } else {
    target = FitSize(facts.size, limits.Screen());
    upright = ReadUpright(file, target);
  }
  const QImage fitted = Downscale(upright, target);  // null when nothing was read
  if (fitted.isNull()) {
    prompts.Tell(Icon::Warning, texts::kConvertFailed + shownPath);
    return skip;
  }
  const auto encoded = EncodeWithin(fitted, limits.bytes);
  if (!encoded) {
    prompts.Tell(Icon::Warning, texts::kPictureTooLarge + shownPath);
    return skip;
  }
  const fs::path stored = Store(file, ".jpg", encoded->bytes);
  if (stored.empty()) {
    prompts.Tell(Icon::Warning, texts::kConvertFailed + shownPath);
    return skip;
  }
  return {Fitted::Step::Converted, stored, ".JPG"};
}

Fitted HandsetFit::FitMelody(const fs::path& file, Prompts& prompts) {
  using Icon = Prompts::Icon;
  const std::int64_t limit = LimitOf(profile_, MediaKind::Melody, ".MID");
  QFile in(QtPath(file));
  if (!in.open(QIODevice::ReadOnly) || in.size() <= limit || in.size() > kMaxMelodyRead ||
      in.peek(4) != "MThd")
    return {};
  const std::string shownPath = file.string();
  if (prompts.Ask(Prompts::Question::SlimMelody, Icon::Question, Prompts::Buttons::YesNo, texts::kSlimMelody + shownPath) !=
      Prompts::Answer::Yes)
    return {};
  const QByteArray bytes = in.readAll();
  const auto slim = SlimSmf(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
  if (!slim) {
    prompts.Tell(Icon::Warning, texts::kSlimFailed + shownPath);
    return {};
  }
  // Still over the limit: said. A slimmed copy smaller than the original
  // goes on to the size question, which then names its size; one that is not
  // smaller is no use, and the user's own file goes on instead.
  if (static_cast<std::int64_t>(slim->size()) > limit)
    prompts.Tell(Icon::Warning, texts::kMelodyStillLarge + shownPath);
  if (static_cast<qint64>(slim->size()) >= bytes.size()) return {};
  const fs::path stored = Store(file, ".mid", *slim);
  if (stored.empty()) {
    prompts.Tell(Icon::Warning, texts::kConvertFailed + shownPath);
    return {Fitted::Step::Skip, {}, {}};
  }
  return {Fitted::Step::Converted, stored, ".MID"};
}

Fitted HandsetFit::FitMovie(const fs::path& file, Prompts& prompts) {
  using Icon = Prompts::Icon;
  movie::HandsetMovie target;
  target.maxBytes = LimitOf(profile_, MediaKind::Movie, ".3GP");
  const movie::MovieFacts facts = movie::ProbeMovie(file);
  const std::string shownPath = file.string();
  const Fitted skip{Fitted::Step::Skip, {}, {}};
  using Status = movie::MovieFacts::Status;
  switch (facts.status) {
    // What is no movie container at all goes on as before: the size
    // question, the copy (an empty file is refused by the queue).
    case Status::Unknown: return {};
    case Status::Broken: prompts.Tell(Icon::Warning, texts::kMovieBroken + shownPath); return skip;
    case Status::NoVideo: prompts.Tell(Icon::Warning, texts::kMovieNoVideo + shownPath); return skip;
    case Status::FrameTooLarge: prompts.Tell(Icon::Warning, texts::kMovieFrameTooLarge + shownPath); return skip;
    case Status::Crashed: prompts.Tell(Icon::Warning, texts::kMovieHelperFailed + shownPath); return skip;
    case Status::Movie: break;
  }
  // Frames that stop too early to make a movie of.
  constexpr double kShortest = 0.5;
  if (facts.cutShort && facts.readableSeconds < kShortest) {
    prompts.Tell(Icon::Warning, texts::kMovieBroken + shownPath);
    return skip;
  }
  if (movie::HandsetPlays(facts, target)) {
    // Queued byte for byte; under a card name the handset's tables hold
    // (".3GP") when its own extension is none of them.
    const auto ext = CardExtensionFor(MediaKind::Movie, file.filename().string());
    if (ext && profile_.FindExtension(MediaKind::Movie, *ext)) return {};
    return {Fitted::Step::Converted, file, ".3GP"};
  }
  if (prompts.Ask(Prompts::Question::ConvertMovie, Icon::Question, Prompts::Buttons::YesNo,
                  texts::kConvertMovie + shownPath) != Prompts::Answer::Yes)
    return {};
  const double whole = facts.cutShort ? facts.readableSeconds : facts.seconds;
  if (facts.cutShort)
    prompts.Tell(Icon::Warning, texts::MovieCutShort(movie::LengthText(whole)) + shownPath);
  const double length = movie::FittingLength(whole, target);
  if (length < whole &&
      prompts.Ask(Prompts::Question::KeepMovieStart, Icon::Question, Prompts::Buttons::YesNo,
                  texts::KeepMovieStart(movie::LengthText(whole), static_cast<int>(length)) + shownPath) !=
          Prompts::Answer::Yes)
    return skip;

  // The name is taken first (an empty file), then written by the conversion,
  // which removes it when it fails or is cancelled.
  const fs::path stored = Store(file, ".3gp", {});
  if (stored.empty()) {
    prompts.Tell(Icon::Warning, texts::kConvertFailed + shownPath);
    return skip;
  }
  movie::Converted converted;
  LongWork inPlace;
  LongWork& work = work_ ? *work_ : inPlace;
  work.Run(file.filename().string(), [&](const std::function<bool(double)>& report) {
    converted = movie::ConvertMovie(file, stored, length, report, target);
  });
  std::error_code ec;
  switch (converted.status) {
    case movie::Converted::Status::Done:
      work.Note(texts::kMovieConverting +
                Fill(texts::kMovieConverted,
                     {shownPath, movie::LengthText(converted.seconds),
                      converted.seconds + 0.05 < facts.seconds ? "" : texts::kMovieWhole,
                      std::to_string(converted.bytes), std::to_string(converted.videoRate / 1000)}));
      return {Fitted::Step::Converted, stored, ".3GP"};
    case movie::Converted::Status::Cancelled:
      fs::remove(stored, ec);
      return skip;
    case movie::Converted::Status::Failed: break;
  }
  fs::remove(stored, ec);
  const char* why = converted.crashed          ? texts::kMovieHelperFailed
                    : converted.detail == "rate" ? texts::kMovieTooBusy
                                                 : texts::kConvertFailed;
  prompts.Tell(Icon::Warning, why + shownPath);
  return skip;
}

QueueOutcome AddFitted(FileQueue& queue, HandsetFit& fit, MediaKind kind, const fs::path& file,
                       Prompts& prompts) {
  if (queue.Full()) return queue.Add(file);  // says so; nothing to convert for
  // Nothing is opened before the file is known to be a plain one.
  if (!LookBeforeAdding(file, prompts)) return QueueOutcome::Skipped;
  const Fitted fitted = fit.Prepare(kind, file, prompts);
  switch (fitted.step) {
    case Fitted::Step::AsIs: return queue.Add(file);
    case Fitted::Step::Skip: return QueueOutcome::Skipped;
    case Fitted::Step::Converted: {
      const QueueAs as{file, fitted.cardExt};
      return queue.Add(fitted.file, &as);
    }
  }
  return QueueOutcome::Skipped;
}

bool ConvertibleMovie(MediaKind kind, const fs::path& file) {
  if (kind != MediaKind::Movie) return false;
  const auto status = movie::ProbeMovie(file).status;
  return status != movie::MovieFacts::Status::Unknown;
}

bool ConvertiblePicture(MediaKind kind, const fs::path& file) {
  if (kind != MediaKind::Image || !PlainFileStatus(file)) return false;
  // A photo format no reader here decodes is still taken, to be named.
  QFile in(QtPath(file));
  const std::string format = in.open(QIODevice::ReadOnly) ? PictureFormatOf(in.read(4096).toStdString()) : "";
  if (format == "heic" || format == "avif") return true;
  QImageReader reader(QtPath(file));
  reader.setDecideFormatFromContent(true);
  return reader.canRead();
}

std::vector<std::string> ConvertiblePatterns(MediaKind kind) {
  if (kind == MediaKind::Movie) return {"*.MOV", "*.MKV", "*.WEBM", "*.AVI", "*.M4V", "*.3G2"};
  if (kind != MediaKind::Image) return {};
  std::vector<std::string> patterns;
  const QList<QByteArray> known = QImageReader::supportedImageFormats();
  for (const char* format : {"jpeg", "png", "bmp", "webp", "tif", "tiff"})
    if (known.contains(format)) patterns.push_back("*." + QByteArray(format).toUpper().toStdString());
  return patterns;
}

}  // namespace fenmora::convert
