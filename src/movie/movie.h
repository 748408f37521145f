// Movies as the handset plays them: what a file holds (probe), a picture of
// it for the preview pane, and the conversion of today's videos into the
// handset's form. No Qt and no FFmpeg here: the work inside FFmpeg's
// libraries runs in the helper program fenmora-movie, started for each task
// (movie_client.cpp), so that a codec's crash or hang ends that task with a
// status and the libraries are loaded only by the first movie task. Every
// file read is untrusted: reading is bounded in bytes, frames and time, and a
// bad file gives a status, never a crash.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace fenmora::movie {

// What the handset plays from its card.
struct HandsetMovie {
  int width = 176;
  int height = 144;
  int fps = 15;
  std::int64_t maxBytes = 307200;
  int maxVideoRate = 64000;  // bit/s
  int minVideoRate = 24000;  // below it the picture is no longer worth watching
  int audioRate = 12200;     // AMR-NB 12.2 kbit/s, 8 kHz mono
  // MPEG-4 Visual Simple Profile level 0: its video buffer (VBV), in bits.
  int videoBuffer = 163840;
};

struct MovieFacts {
  enum class Status {
    Unknown,        // no movie container we read: not a movie at all
    Broken,         // a movie container, but truncated or corrupt
    NoVideo,        // readable, but without a picture
    FrameTooLarge,  // a frame size no decoder should be asked to allocate
    Movie,
    Crashed,        // the helper ended without an answer (a fault inside a codec)
  };
  Status status = Status::Unknown;
  std::string container;  // the demuxer's name ("mov,mp4,m4a,3gp,3g2,mj2", ...)
  bool mp4Family = false;  // MP4, 3GP, QuickTime
  std::string brand;       // the MP4 family's major brand ("3gp4", "isom", "qt  ")
  std::string videoCodec;  // "mpeg4", "h263", "h264", ...
  int videoProfile = -99;  // FFmpeg's profile and level numbers, -99 unknown
  int videoLevel = -99;
  // MPEG-4 Visual's profile_and_level_indication as the file writes it
  // (FFmpeg reads 0x08 and the reserved 0x00 both as level 0); -1 unknown.
  int profileAndLevel = -1;
  std::int64_t videoBitRate = 0;  // bit/s, 0 unknown
  int width = 0, height = 0;  // as stored
  int rotation = 0;           // clockwise degrees to show it upright: 0, 90, 180, 270
  double fps = 0;
  bool hasAudio = false;
  std::string audioCodec;  // "amr_nb", "aac", ...
  int audioProfile = -99;
  int sampleRate = 0;
  int channels = 0;
  std::int64_t audioBitRate = 0;
  double seconds = 0;     // the length: the header's, or measured by reading
  // The file's data stops before the length its header gives: frames are
  // there only up to `readableSeconds`.
  bool cutShort = false;
  double readableSeconds = 0;
  std::int64_t bytes = 0;
  bool moovBeforeMdat = false;  // the index comes first (MP4 family)
};

// MPEG-4 Visual Simple Profile at the levels the handset plays, as
// profile_and_level_indication gives them (ISO/IEC 14496-2 Annex G).
inline constexpr int kSimpleLevel0 = 0x08;
inline constexpr int kSimpleLevel0b = 0x09;
inline constexpr int kSimpleLevel1 = 0x01;  // the same frame and rate limits as level 0

// Probes a file (in the helper): reads at most a few megabytes of headers;
// a file without a length in its header is measured by reading it.
MovieFacts ProbeMovie(const std::filesystem::path& file);

// The helper program: $FENMORA_MOVIE_HELPER when set, else fenmora-movie
// beside this program or in its libexec folder; empty when there is none.
std::filesystem::path HelperProgram();

// The handset plays the file as it is, with everything the conversion
// guarantees: a 3GP brand with the index first, MPEG-4 Visual Simple Profile
// level 0 or H.263 video no larger than the screen, at most its frame rate
// and its video rate, AMR-NB 8 kHz mono sound (or none), within the byte
// limit, whole.
bool HandsetPlays(const MovieFacts& facts, const HandsetMovie& target = {});

// The top-level boxes of an MP4-family file: whether `moov` comes before
// `mdat` (both present).
bool MoovBeforeMdat(std::string_view head);

// "0:32" for 32.4 seconds, "1:05:09" from an hour on.
std::string LengthText(double seconds);

// A picture for the preview pane: packed RGB, 3 bytes a pixel.
struct PreviewPicture {
  int width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
  double seconds = 0;         // the movie's length
  int frameWidth = 0, frameHeight = 0;  // the movie's frame size, upright
  bool valid() const { return width > 0 && height > 0; }
};

// A frame near a tenth of the length, or the first after it that is not
// black, fitted into box (proportions kept, never enlarged). Gives an invalid
// picture for a file that cannot be decoded, or when `cancel` becomes true.
PreviewPicture PreviewFrame(const std::filesystem::path& file, int boxWidth, int boxHeight,
                            const std::atomic<bool>* cancel = nullptr);

// A photo of a format only the helper reads (HEIC, AVIF), decoded upright
// and fitted into the box (never enlarged), its own size in frameWidth and
// frameHeight; invalid when it cannot be read or the helper fails.
PreviewPicture DecodePhoto(const std::filesystem::path& file, int boxWidth, int boxHeight);

// The length of the converted movie that fits the byte limit: the whole
// length when the lowest video rate holds it, else the whole seconds that
// the lowest rate holds.
double FittingLength(double seconds, const HandsetMovie& target = {});

// The share done (0 to 1); returns false to stop the work.
using ProgressFn = std::function<bool(double)>;

struct Converted {
  enum class Status { Done, Cancelled, Failed };
  Status status = Status::Failed;
  std::string detail;  // what failed, for the message (FFmpeg's words)
  int videoRate = 0;   // the video rate of the file written, measured (bit/s)
  bool crashed = false;  // the helper ended without an answer (a codec's fault)
  std::int64_t bytes = 0;
  double seconds = 0;
};

// Converts the first `seconds` of `source` (the whole when it is shorter, up
// to where its frames stop when its data stops early) into the handset's
// form at `out`: 176 x 144 with black bars, 15 frames a second, MPEG-4 Visual
// Simple Profile level 0 within the level's rate and buffer, AMR-NB 12.2
// kbit/s 8 kHz mono placed by its timestamps (silence when the source has
// none), a 3GP file with its index first, no larger than the byte limit. On
// failure, cancel or a crash of the helper `out` is removed.
Converted ConvertMovie(const std::filesystem::path& source, const std::filesystem::path& out,
                       double seconds, const ProgressFn& progress, const HandsetMovie& target = {});

}  // namespace fenmora::movie
