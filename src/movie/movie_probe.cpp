// What a movie file holds, and whether the handset plays it as it is.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "movie/av_tools.h"
#include "movie/movie.h"

namespace fenmora::movie {

namespace {

using namespace std::chrono_literals;

std::uint64_t BigEndian(std::string_view bytes, std::size_t at, int count) {
  std::uint64_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// Walks the top-level boxes of an MP4-family file of `total` bytes: whether
// `moov` comes before `mdat`. `read(at, out)` reads up to 16 bytes at `at`.
template <class Read>
bool MoovFirst(std::int64_t total, Read read) {
  std::int64_t at = 0;
  for (int box = 0; box < 1024 && total - at >= 8; ++box) {
    char head[16];
    const std::int64_t got = read(at, head);
    if (got < 8) return false;
    const std::string_view h(head, static_cast<std::size_t>(got));
    std::uint64_t size = BigEndian(h, 0, 4);
    if (size == 1) {
      if (got < 16) return false;
      size = BigEndian(h, 8, 8);
    } else if (size == 0) {
      size = static_cast<std::uint64_t>(total - at);  // to the end of the file
    }
    const std::string_view type = h.substr(4, 4);
    if (type == "moov") return true;
    if (type == "mdat") return false;
    if (size < 8 || size > static_cast<std::uint64_t>(total - at)) return false;
    at += static_cast<std::int64_t>(size);
  }
  return false;
}

MovieFacts FactsOf(Input& in, Input::Opened opened) {
  MovieFacts facts;
  facts.bytes = in.bytes;
  if (opened == Input::Opened::Unknown) return facts;
  facts.status = opened == Input::Opened::FrameTooLarge ? MovieFacts::Status::FrameTooLarge
                                                        : MovieFacts::Status::Broken;
  if (opened != Input::Opened::Ok) return facts;
  const AVFormatContext* ctx = in.ctx();
  facts.container = ctx->iformat->name;
  facts.mp4Family = facts.container == "mov,mp4,m4a,3gp,3g2,mj2";
  if (ctx->duration > 0) facts.seconds = static_cast<double>(ctx->duration) / AV_TIME_BASE;
  if (in.audioStream >= 0) {
    const AVCodecParameters* a = ctx->streams[in.audioStream]->codecpar;
    facts.hasAudio = true;
    facts.audioCodec = avcodec_get_name(a->codec_id);
    facts.audioProfile = a->profile;
    facts.sampleRate = a->sample_rate;
    facts.channels = a->ch_layout.nb_channels;
  }
  if (in.videoStream < 0) {
    facts.status = MovieFacts::Status::NoVideo;
    return facts;
  }
  const AVStream* video = ctx->streams[in.videoStream];
  const AVCodecParameters* v = video->codecpar;
  facts.videoCodec = avcodec_get_name(v->codec_id);
  facts.videoProfile = v->profile;
  facts.videoLevel = v->level;
  facts.width = v->width;
  facts.height = v->height;
  facts.rotation = StreamRotation(video);
  // The average counts a short last frame as a faster rate: the lower of it
  // and the stream's base rate.
  for (const AVRational rate : {video->avg_frame_rate, video->r_frame_rate})
    if (rate.num > 0 && rate.den > 0 && (facts.fps == 0 || av_q2d(rate) < facts.fps)) facts.fps = av_q2d(rate);
  if (facts.seconds <= 0 && video->duration > 0)
    facts.seconds = static_cast<double>(video->duration) * av_q2d(video->time_base);
  if (v->width <= 0 || v->height <= 0) return facts;  // Broken: no frame size
  if (AbsurdFrame(v)) {
    facts.status = MovieFacts::Status::FrameTooLarge;
    return facts;
  }
  // Some containers give no length: such a file cannot be cut to fit.
  if (!(facts.seconds > 0) || !std::isfinite(facts.seconds)) return facts;
  facts.status = MovieFacts::Status::Movie;
  return facts;
}

}  // namespace

MovieFacts ProbeMovie(const std::filesystem::path& file) {
  Input in;
  const Input::Opened opened = in.OpenFile(file, 5000ms);
  MovieFacts facts = FactsOf(in, opened);
  if (facts.mp4Family) {
    std::ifstream stream(file, std::ios::binary);
    facts.moovBeforeMdat = MoovFirst(facts.bytes, [&](std::int64_t at, char* out) {
      stream.clear();
      stream.seekg(at);
      stream.read(out, 16);
      return static_cast<std::int64_t>(stream.gcount());
    });
  }
  return facts;
}

MovieFacts ProbeMovieBytes(std::string_view bytes) {
  Input in;
  const Input::Opened opened = in.OpenBytes(bytes, 2000ms);
  MovieFacts facts = FactsOf(in, opened);
  if (facts.mp4Family) facts.moovBeforeMdat = MoovBeforeMdat(bytes);
  return facts;
}

bool MoovBeforeMdat(std::string_view head) {
  return MoovFirst(static_cast<std::int64_t>(head.size()), [&](std::int64_t at, char* out) {
    const std::string_view part = head.substr(static_cast<std::size_t>(at), 16);
    std::copy(part.begin(), part.end(), out);
    return static_cast<std::int64_t>(part.size());
  });
}

bool HandsetPlays(const MovieFacts& f, const HandsetMovie& target) {
  if (f.status != MovieFacts::Status::Movie || !f.mp4Family || f.bytes > target.maxBytes) return false;
  const bool mpeg4Simple = f.videoCodec == "mpeg4" && f.videoProfile == FF_PROFILE_MPEG4_SIMPLE;
  if (!mpeg4Simple && f.videoCodec != "h263") return false;
  const bool upright = f.rotation == 0;
  if (!upright || f.width > target.width || f.height > target.height) return false;
  if (f.fps > target.fps * 1.02) return false;  // the rate of a file is measured, not exact
  if (!f.hasAudio) return true;
  if (f.audioCodec == "amr_nb") return true;
  return f.audioCodec == "aac" && (f.audioProfile == FF_PROFILE_AAC_LOW || f.audioProfile == -99);
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
