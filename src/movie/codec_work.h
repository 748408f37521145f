// The movie work done inside FFmpeg's libraries. Only the helper program
// (fenmora-movie) and the fuzz target link these: a fault inside a codec
// ends that program, never the window or the command line, which reach this
// work through movie.h.
#pragma once

#include <atomic>
#include <filesystem>
#include <string_view>

#include "movie/movie.h"

namespace fenmora::movie::codec {

// What a file holds. Bounded reading: a few megabytes and seconds for the
// headers; a file whose headers give no length, or an index whose data stops
// early, is measured by reading its packets (bounded in time too).
MovieFacts Probe(const std::filesystem::path& file);
// The same from bytes in memory (the fuzz target's way in).
MovieFacts ProbeBytes(std::string_view bytes);

PreviewPicture Preview(const std::filesystem::path& file, int boxWidth, int boxHeight,
                       const std::atomic<bool>* cancel = nullptr);

// A photo of the HEIF family (HEIC, AVIF) decoded upright and fitted into
// the box (never enlarged); its own size in frameWidth and frameHeight.
// Invalid when it cannot be read.
PreviewPicture HeifPicture(const std::filesystem::path& file, int boxWidth, int boxHeight);

Converted Convert(const std::filesystem::path& source, const std::filesystem::path& out, double seconds,
                  const ProgressFn& progress, const HandsetMovie& target = {});

}  // namespace fenmora::movie::codec
