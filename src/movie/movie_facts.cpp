// What the probe's facts mean for the handset, and the sums of fitting a
// movie into its byte limit. No FFmpeg: the window and the command line
// decide with these without loading the codecs.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "movie/boxes.h"
#include "movie/budget.h"
#include "movie/movie.h"

namespace fenmora::movie {

bool MoovBeforeMdat(std::string_view head) {
  return MoovFirst(static_cast<std::int64_t>(head.size()), [&](std::int64_t at, char* out) {
    const std::string_view part = head.substr(static_cast<std::size_t>(at), 16);
    std::copy(part.begin(), part.end(), out);
    return static_cast<std::int64_t>(part.size());
  });
}

int RateFor(double seconds, const HandsetMovie& target) {
  const double rate = VideoBudget(seconds, target) * 8 / std::max(seconds, 0.5);
  return static_cast<int>(std::min<double>(rate, target.maxVideoRate));
}

double FittingLength(double seconds, const HandsetMovie& target) {
  if (!(seconds > 0)) return 0;
  if (RateFor(seconds, target) >= target.minVideoRate) return seconds;
  // The longest whole-second length the lowest rate holds: from the length
  // the sizes allow (the same sums as RateFor), down to the first that fits.
  const double most = (static_cast<double>(target.maxBytes) * 0.97 - OverheadBytes(0)) /
                      (kAmrBytesPerSecond + OverheadBytes(1) - OverheadBytes(0) + target.minVideoRate / 8.0);
  double n = std::floor(std::min(seconds, most + 1));
  while (n > 1 && RateFor(n, target) < target.minVideoRate) n -= 1;
  return std::max(n, 1.0);
}

bool HandsetPlays(const MovieFacts& f, const HandsetMovie& target) {
  if (f.status != MovieFacts::Status::Movie || f.cutShort || !f.mp4Family || !f.moovBeforeMdat ||
      f.bytes > target.maxBytes)
    return false;
  // A 3GP file ("3gp4", "3gp5", "3gp6"...), not an MP4 or QuickTime one.
  if (f.brand.rfind("3gp", 0) != 0) return false;
  const bool level0 = f.profileAndLevel == kSimpleLevel0 || f.profileAndLevel == kSimpleLevel0b ||
                      f.profileAndLevel == kSimpleLevel1;
  const bool mpeg4 = f.videoCodec == "mpeg4" && level0;
  if (!mpeg4 && f.videoCodec != "h263") return false;
  if (f.rotation != 0 || f.width > target.width || f.height > target.height) return false;
  if (f.fps > target.fps * 1.02) return false;  // the rate of a file is measured, not exact
  // The video's own rate, measured over the file (a short file's container
  // rounding allowed for).
  if (f.videoBitRate <= 0 || f.videoBitRate > target.maxVideoRate * 1.02) return false;
  if (!f.hasAudio) return true;
  return f.audioCodec == "amr_nb" && f.sampleRate == 8000 && f.channels == 1;
}

std::string LengthText(double seconds) {
  if (!(seconds > 0) || !std::isfinite(seconds)) seconds = 0;
  const auto total = static_cast<long long>(std::lround(seconds));
  char text[32];
  if (total >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
  return text;
}

}  // namespace fenmora::movie
