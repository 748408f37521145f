// Source videos for the movie tests and the benchmark, made through
// libavcodec itself: a moving pattern and a tone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fenmora::movie::test {

struct SourceMovie {
  int width = 1280;
  int height = 720;
  int fps = 60;
  double seconds = 2;
  bool video = true;
  bool sound = true;
  std::string videoCodec = "libx264";  // falls back to "mpeg4" when missing
  std::string audioCodec = "aac";
  std::string container = "mp4";       // an FFmpeg muxer name: "mp4", "3gp", "matroska"
  int videoRate = 2000000;
  int rotation = 0;  // clockwise degrees stored in the display matrix
  double blackUntil = 0;  // the picture is black before this time (a fade-in)
  int profileAndLevel = 0x08;  // MPEG-4 Visual at 176 wide or less: Simple Profile level 0
  bool indexFirst = false;     // MP4 family: moov before mdat
  double soundStart = 0;       // the sound's first timestamp, in seconds
  bool noise = false;          // a new random picture every frame: as hard as video gets
  int grain = 0;               // random luma of up to this much on the pattern (a dim room's grain)
  bool live = false;           // Matroska/WebM as a browser records it: no length, no index
};

// Writes the movie; false when it could not.
bool MakeMovie(const std::filesystem::path& file, const SourceMovie& movie);

// The pattern at time t (seconds) as 8-bit luma, w x h: a gradient with a
// bright square moving across it.
std::vector<std::uint8_t> PatternLuma(int w, int h, double t);

// An AVI file (rawvideo, as MakeMovie writes it) claiming another frame
// size in its headers: the stream's bitmap header and the main header.
std::string WithFrameSize(std::string avi, int w, int h);

// The luma planes of the frames of a movie (w x h each; the first
// `maxFrames`), decoded by libavcodec; empty when the file cannot be read.
std::vector<std::vector<std::uint8_t>> DecodedLuma(const std::filesystem::path& file, int& w, int& h,
                                                   std::size_t maxFrames = SIZE_MAX);

// The sound of a movie as mono samples at its own rate (`rate`), decoded by
// libavcodec; empty when there is none.
std::vector<float> DecodedSound(const std::filesystem::path& file, int& rate);

// PSNR of a w x h region of a plane (at a, rows aStride apart) against b.
double Psnr(const std::uint8_t* a, int aStride, const std::vector<std::uint8_t>& b, int w, int h);

}  // namespace fenmora::movie::test
