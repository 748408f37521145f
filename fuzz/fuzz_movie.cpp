// The movie probe on arbitrary bytes: it ends (the reading is bounded), says
// Movie only with a frame size inside the bounds and a length, and the box
// walk agrees with itself. The same bytes as lines from the helper: a line
// parses or not, and what parses says the same when written again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "movie/codec_work.h"
#include "movie/helper_protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  using fenmora::movie::MovieFacts;
  namespace wire = fenmora::movie::wire;
  const MovieFacts facts = fenmora::movie::codec::ProbeBytes(bytes);
  if (facts.status == MovieFacts::Status::Movie &&
      (facts.width <= 0 || facts.height <= 0 || facts.width > 16384 || facts.height > 16384 ||
       !(facts.seconds > 0)))
    std::abort();
  if (facts.status == MovieFacts::Status::Unknown && facts.mp4Family) std::abort();
  (void)fenmora::movie::HandsetPlays(facts);

  if (const auto f = wire::ParseFacts(bytes)) {
    const auto again = wire::ParseFacts(wire::FactsLine(*f));
    if (!again || wire::FactsLine(*again) != wire::FactsLine(*f)) std::abort();
  }
  if (const auto p = wire::ParsePicture(bytes)) {
    if (p->valid() && p->rgb.size() != static_cast<std::size_t>(p->width) * p->height * 3) std::abort();
    const auto again = wire::ParsePicture(wire::PictureLine(*p));
    if (!again || again->rgb != p->rgb) std::abort();
  }
  if (const auto c = wire::ParseResult(bytes)) {
    if (!wire::ParseResult(wire::ResultLine(*c))) std::abort();
  }
  if (const auto asked = wire::ParsePreviewRequest(bytes)) {
    const auto again = wire::ParsePreviewRequest(wire::PreviewRequest(asked->file, asked->width, asked->height));
    if (!again || again->file != asked->file) std::abort();
  }
  if (const auto share = wire::ParseProgress(bytes))
    if (!(*share >= 0 && *share <= 1)) std::abort();
  return 0;
}
