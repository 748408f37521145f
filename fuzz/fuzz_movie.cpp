// The movie probe on arbitrary bytes: it ends (the reading is bounded), says
// Movie only with a frame size inside the bounds and a length, and the box
// walk agrees with itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "movie/movie.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  using fenmora::movie::MovieFacts;
  const MovieFacts facts = fenmora::movie::ProbeMovieBytes(bytes);
  if (facts.status == MovieFacts::Status::Movie &&
      (facts.width <= 0 || facts.height <= 0 || facts.width > 16384 || facts.height > 16384 ||
       !(facts.seconds > 0)))
    std::abort();
  if (facts.status == MovieFacts::Status::Unknown && facts.mp4Family) std::abort();
  (void)fenmora::movie::HandsetPlays(facts);
  return 0;
}
