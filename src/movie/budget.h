// How the handset's byte limit is shared between picture, sound and the
// container: the sums the fitting length and the conversion's rate share.
#pragma once

#include "movie/movie.h"

namespace fenmora::movie {

inline constexpr double kAmrBytesPerSecond = 1600;  // 32 bytes a 20 ms frame at 12.2 kbit/s

// The container's own bytes besides the two streams: header boxes, and the
// index growing with the length.
inline double OverheadBytes(double seconds) { return 1500 + 150 * seconds; }

// What the limit leaves for the picture, kept a little short of it.
inline double VideoBudget(double seconds, const HandsetMovie& target) {
  return static_cast<double>(target.maxBytes) * 0.97 - OverheadBytes(seconds) -
         kAmrBytesPerSecond * seconds;
}

// The video rate (bit/s) the length allows, at most the level's.
int RateFor(double seconds, const HandsetMovie& target);

}  // namespace fenmora::movie
