// The lines the helper program writes to its standard output, one message a
// line: progress, the facts of a probe, a preview picture, a conversion's
// outcome; and the one line a program writes to it: a preview request. The program that started it reads them as untrusted input: a
// line that does not parse is no message.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "movie/movie.h"

namespace fenmora::movie::wire {

// Longest line read: a picture of the largest box in hex.
inline constexpr std::size_t kMaxLine = 2 * 3 * 1024 * 1024 + 256;
inline constexpr int kMaxPictureSide = 1024;

std::string ProgressLine(double share);
std::optional<double> ParseProgress(std::string_view line);

std::string FactsLine(const MovieFacts& facts);
std::optional<MovieFacts> ParseFacts(std::string_view line);

std::string PictureLine(const PreviewPicture& picture);
std::optional<PreviewPicture> ParsePicture(std::string_view line);

// A request to a helper kept running for previews ("fenmora-movie serve"):
// the file's path in hex, so that any byte of a name goes through.
struct PreviewAsked {
  std::string file;
  int width = 0, height = 0;
};
std::string PreviewRequest(const std::string& file, int width, int height);
std::optional<PreviewAsked> ParsePreviewRequest(std::string_view line);

std::string ResultLine(const Converted& converted);
std::optional<Converted> ParseResult(std::string_view line);

}  // namespace fenmora::movie::wire
