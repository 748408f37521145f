// Today's videos made into the handset's movies: decoded once into small
// frames and 8 kHz sound placed by their timestamps, then encoded in one pass
// at the rate the length allows within level 0's rate and buffer, and again
// lower until the file written really fits, its video rate measured.
//
// One pass with a rate buffer, not two: FFmpeg's second pass refuses a rate
// it judges too low for the content ("bitrate too low for this video with
// these parameters"), and FFmpeg 5.1 then frees its rate control twice and
// aborts. One pass never refuses: at its coarsest quantiser it writes more
// than asked, which the measured rate and size show, and the next try asks
// less.
extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "movie/av_tools.h"
#include "movie/budget.h"
#include "movie/codec_work.h"

namespace fenmora::movie::codec {

namespace {

using namespace std::chrono_literals;

constexpr int kAudioSampleRate = 8000;
constexpr int kAmrFrame = 160;          // samples of one 20 ms AMR-NB frame
constexpr double kMaxSeconds = 600;     // what a conversion holds in memory at most
constexpr double kDecodeShare = 0.8;    // of the progress bar
constexpr int kMaxTries = 6;
// A source's picture may end this much before its length (its sound goes on
// a little longer) and show its last frame to the end; a longer stretch
// without frames is not made up.
constexpr double kLastFrameHold = 0.5;
// Sound is moved to its timestamp when it strays further than this.
constexpr int kSyncSamples = kAudioSampleRate / 100;  // 10 ms

struct Fail {
  std::string detail;
};

// What the encoder's rate control is held to: the rate it aims at, the
// ceiling of its video buffer's model, and how full that buffer is when the
// picture starts.
//
// The buffer lets any stretch go over the ceiling by what it holds, and the
// whole movie by its starting fill: with level 0's rate as the ceiling, a
// movie of 10 s could average 76 kbit/s, and a 64 kbit/s aim does not keep
// FFmpeg's one-pass control from spending that (it spends a busy picture's
// bits first and pays them back too late). Lowering the aim barely moves
// what it writes then; the ceiling does. So the ceiling is the level's rate
// less the starting fill spread over the length, and the average stays
// within the level's rate as every stretch stays within its buffer.
struct RateControl {
  int aim = 0;
  int ceiling = 0;
  int startingFill = 0;
};

RateControl RateControlFor(double seconds, const HandsetMovie& target) {
  RateControl r;
  seconds = std::max(seconds, 0.5);
  // Three quarters of the buffer, or a quarter of the movie's bits when that
  // is less (a movie of a few seconds): enough for its first picture.
  r.startingFill = static_cast<int>(
      std::min<double>(target.videoBuffer * 3.0 / 4, target.maxVideoRate * seconds / 4));
  r.ceiling = static_cast<int>(target.maxVideoRate - r.startingFill / seconds);
  r.aim = std::min(RateFor(seconds, target), r.ceiling);
  return r;
}

// The source, decoded and fitted: one picture per output frame (4:2:0 planes
// of the handset's frame size, one after the other) and the sound.
struct Decoded {
  std::vector<std::vector<std::uint8_t>> frames;
  std::vector<std::int16_t> samples;
};

class Encoder {
 public:
  Encoder(const HandsetMovie& target, const Decoded& source) : target_(target), source_(source) {}

  // Writes the file at `rate`; `videoBytes` is what the picture took.
  std::string Run(const RateControl& rate, const std::filesystem::path& out, std::int64_t& videoBytes,
                  const std::function<bool(double)>& progress);

 private:
  CodecPtr VideoEncoder(const RateControl& rate, bool global);
  const HandsetMovie& target_;
  const Decoded& source_;
};

CodecPtr Encoder::VideoEncoder(const RateControl& rate, bool global) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  if (!codec) return nullptr;
  CodecPtr c(avcodec_alloc_context3(codec));
  if (!c) return nullptr;
  c->width = target_.width;
  c->height = target_.height;
  c->pix_fmt = AV_PIX_FMT_YUV420P;
  c->time_base = {1, target_.fps};
  c->framerate = {target_.fps, 1};
  c->bit_rate = rate.aim;
  c->gop_size = target_.fps * 2;
  c->max_b_frames = 0;
  // Simple Profile level 0: the encoder writes profile << 4 | level as
  // profile_and_level_indication, 0x08 (level 0 is 8 in that field; 0x00
  // is reserved).
  c->profile = FF_PROFILE_MPEG4_SIMPLE;
  c->level = kSimpleLevel0 & 0x0F;
  // Level 0's video buffer: no stretch of the movie goes over the rate by
  // more than the buffer holds (nor the whole movie over it on average).
  c->rc_max_rate = rate.ceiling;
  c->rc_buffer_size = target_.videoBuffer;
  c->rc_initial_buffer_occupancy = rate.startingFill;
  c->thread_count = 1;
  if (global) c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (avcodec_open2(c.get(), codec, nullptr) < 0) return nullptr;
  return c;
}

std::string Encoder::Run(const RateControl& rate, const std::filesystem::path& out, std::int64_t& videoBytes,
                         const std::function<bool(double)>& progress) {
  videoBytes = 0;
  AVFormatContext* oc = nullptr;
  if (avformat_alloc_output_context2(&oc, nullptr, "3gp", out.string().c_str()) < 0) return "3gp";
  struct OutputCloser {
    AVFormatContext* oc;
    ~OutputCloser() {
      if (!oc) return;
      if (oc->pb) avio_closep(&oc->pb);
      avformat_free_context(oc);
    }
  } closer{oc};
  const bool global = oc->oformat->flags & AVFMT_GLOBALHEADER;
  CodecPtr video = VideoEncoder(rate, global);
  if (!video) return "mpeg4";
  CodecPtr audio;
  AVStream* videoOut = nullptr;
  AVStream* audioOut = nullptr;
  {
    const AVCodec* amr = avcodec_find_encoder_by_name("libopencore_amrnb");
    if (!amr) return "libopencore_amrnb";
    audio.reset(avcodec_alloc_context3(amr));
    if (!audio) return "libopencore_amrnb";
    audio->sample_rate = kAudioSampleRate;
    audio->sample_fmt = AV_SAMPLE_FMT_S16;
    av_channel_layout_default(&audio->ch_layout, 1);
    audio->bit_rate = target_.audioRate;
    audio->time_base = {1, kAudioSampleRate};
    if (global) audio->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(audio.get(), amr, nullptr) < 0) return "libopencore_amrnb";
    videoOut = avformat_new_stream(oc, nullptr);
    audioOut = avformat_new_stream(oc, nullptr);
    if (!videoOut || !audioOut) return "3gp";
    avcodec_parameters_from_context(videoOut->codecpar, video.get());
    avcodec_parameters_from_context(audioOut->codecpar, audio.get());
    videoOut->time_base = video->time_base;
    videoOut->avg_frame_rate = video->framerate;
    audioOut->time_base = audio->time_base;
    if (avio_open(&oc->pb, out.string().c_str(), AVIO_FLAG_WRITE) < 0) return "open";
    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    const int header = avformat_write_header(oc, &options);
    av_dict_free(&options);
    if (header < 0) return "header";
  }

  PacketPtr packet(av_packet_alloc());
  FramePtr frame(av_frame_alloc());
  if (!packet || !frame) return "memory";
  std::string failed;
  // Everything an encoder has ready goes to the file.
  auto collect = [&](AVCodecContext* codec, AVStream* stream) {
    while (avcodec_receive_packet(codec, packet.get()) >= 0) {
      if (codec == video.get()) videoBytes += packet->size;
      av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      if (av_interleaved_write_frame(oc, packet.get()) < 0) failed = "write";
      av_packet_unref(packet.get());
    }
  };

  const auto total = static_cast<std::int64_t>(source_.frames.size());
  const std::int64_t samples = total * kAudioSampleRate / target_.fps;
  std::int64_t sampleAt = 0;
  const int chroma = target_.width / 2;
  for (std::int64_t k = 0; k <= total && failed.empty(); ++k) {
    if (k < total) {
      const std::vector<std::uint8_t>& planes = source_.frames[static_cast<std::size_t>(k)];
      frame->width = target_.width;
      frame->height = target_.height;
      frame->format = AV_PIX_FMT_YUV420P;
      frame->data[0] = const_cast<std::uint8_t*>(planes.data());
      frame->data[1] = frame->data[0] + target_.width * target_.height;
      frame->data[2] = frame->data[1] + chroma * (target_.height / 2);
      frame->linesize[0] = target_.width;
      frame->linesize[1] = frame->linesize[2] = chroma;
      frame->pts = k;
      if (avcodec_send_frame(video.get(), frame.get()) < 0) return "mpeg4";
      std::fill(std::begin(frame->data), std::end(frame->data), nullptr);
    } else {
      avcodec_send_frame(video.get(), nullptr);
    }
    collect(video.get(), videoOut);
    // The sound up to the same time, in whole AMR frames; silence past the
    // source's own.
    const std::int64_t until = k < total ? (k + 1) * kAudioSampleRate / target_.fps : samples;
    while (audio && sampleAt < until) {
      FramePtr a(av_frame_alloc());
      a->nb_samples = kAmrFrame;
      a->format = AV_SAMPLE_FMT_S16;
      a->sample_rate = kAudioSampleRate;
      av_channel_layout_default(&a->ch_layout, 1);
      if (av_frame_get_buffer(a.get(), 0) < 0) return "memory";
      auto* out16 = reinterpret_cast<std::int16_t*>(a->data[0]);
      for (int i = 0; i < kAmrFrame; ++i) {
        const auto at = static_cast<std::size_t>(sampleAt + i);
        out16[i] = at < source_.samples.size() ? source_.samples[at] : 0;
      }
      a->pts = sampleAt;
      sampleAt += kAmrFrame;
      if (avcodec_send_frame(audio.get(), a.get()) < 0) return "libopencore_amrnb";
      collect(audio.get(), audioOut);
    }
    if (k % 16 == 0 && total > 0 && !progress(static_cast<double>(k) / total)) return "cancel";
  }
  if (audio) {
    avcodec_send_frame(audio.get(), nullptr);
    collect(audio.get(), audioOut);
  }
  if (!failed.empty()) return failed;
  if (av_write_trailer(oc) < 0) return "trailer";
  return {};
}

// Decodes the first `seconds` of the source into output frames and sound.
std::optional<Fail> DecodeSource(const std::filesystem::path& file, double seconds,
                                 const HandsetMovie& target, const std::atomic<bool>& cancel,
                                 const std::function<bool(double)>& progress, Decoded& decoded,
                                 double& length) {
  Input in;
  if (in.OpenFile(file, 10000ms, &cancel) != Input::Opened::Ok || in.videoStream < 0)
    return Fail{"open"};
  AVStream* stream = in.ctx()->streams[in.videoStream];
  CodecPtr video = OpenDecoder(stream, 0);
  if (!video) return Fail{"video decoder"};
  CodecPtr audio;
  if (in.audioStream >= 0) audio = OpenDecoder(in.ctx()->streams[in.audioStream], 1);
  const double sourceLength =
      in.ctx()->duration > 0 ? static_cast<double>(in.ctx()->duration) / AV_TIME_BASE : seconds;
  length = std::min({seconds, sourceLength, kMaxSeconds});
  const auto total = std::max<std::int64_t>(1, std::llround(length * target.fps));
  const auto samples = static_cast<std::int64_t>(length * kAudioSampleRate);
  if (total <= 0) return Fail{"length"};
  // Decoding may take a while (a minute of 4K HEVC on a slow machine), but
  // not for ever.
  in.Budget(std::chrono::seconds(60) + std::chrono::seconds(static_cast<long>(20 * length)));
  decoded.frames.reserve(static_cast<std::size_t>(total));

  const int rotation = StreamRotation(stream);
  const Size fitted = FitInside(stream->codecpar->width, stream->codecpar->height,
                                stream->codecpar->sample_aspect_ratio, rotation, target.width,
                                target.height, /*enlarge=*/true, /*even=*/true);
  const int left = (target.width - fitted.width) / 2 & ~1;
  const int top = (target.height - fitted.height) / 2 & ~1;
  SwsContext* scaler = nullptr;
  SwrContext* resampler = nullptr;
  if (audio) {
    AVChannelLayout mono;
    av_channel_layout_default(&mono, 1);
    if (swr_alloc_set_opts2(&resampler, &mono, AV_SAMPLE_FMT_S16, kAudioSampleRate,
                            &audio->ch_layout, audio->sample_fmt, audio->sample_rate, 0,
                            nullptr) < 0 ||
        swr_init(resampler) < 0) {
      swr_free(&resampler);
      audio.reset();  // sound that cannot be read: the movie goes on silent
    }
  }
  struct ResamplerFreer {
    SwrContext*& r;
    ~ResamplerFreer() { swr_free(&r); }
  } freeResampler{resampler};

  // The picture of one source frame on the handset's black frame.
  std::vector<std::uint8_t> blank(static_cast<std::size_t>(target.width * target.height * 3 / 2), 16);
  std::fill(blank.begin() + target.width * target.height, blank.end(), 128);
  auto compose = [&](const AVFrame* source) -> std::optional<std::vector<std::uint8_t>> {
    FramePtr small = ScaleUpright(scaler, source, rotation, fitted, AV_PIX_FMT_YUV420P);
    if (!small) return std::nullopt;
    std::vector<std::uint8_t> planes = blank;
    const int ws[3] = {target.width, target.width / 2, target.width / 2};
    const int offsets[3] = {0, target.width * target.height,
                            target.width * target.height * 5 / 4};
    for (int p = 0; p < 3; ++p) {
      const int sub = p ? 1 : 0;
      const int pw = fitted.width >> sub, ph = fitted.height >> sub;
      for (int y = 0; y < ph; ++y)
        std::memcpy(planes.data() + offsets[p] + static_cast<std::ptrdiff_t>((top >> sub) + y) * ws[p] + (left >> sub),
                    small->data[p] + static_cast<std::ptrdiff_t>(y) * small->linesize[p],
                    static_cast<std::size_t>(pw));
    }
    return planes;
  };

  // The picture's first time is the movie's zero, for the sound as well.
  const double start = stream->start_time != AV_NOPTS_VALUE
                           ? static_cast<double>(stream->start_time) * av_q2d(stream->time_base)
                           : 0;
  const AVStream* audioStream = audio ? in.ctx()->streams[in.audioStream] : nullptr;
  std::optional<std::vector<std::uint8_t>> shown;  // the latest source frame, composed
  FramePtr pending;           // the latest source frame
  bool pendingShown = false;  // ... and `shown` is its picture
  bool failedCompose = false, stopped = false;
  auto composePending = [&] {
    if (pendingShown) return true;
    shown = compose(pending.get());
    pendingShown = shown.has_value();
    failedCompose = !pendingShown;
    return pendingShown;
  };
  std::vector<std::int16_t> chunk;
  const bool complete = DecodeFrames(in, video.get(), audio.get(), 1L << 30, [&](bool isVideo, AVFrame* f) {
    if (isVideo) {
      const std::int64_t pts = f->best_effort_timestamp;
      const double t = pts == AV_NOPTS_VALUE ? 0 : pts * av_q2d(stream->time_base) - start;
      // Output frames before this frame's time show the frame before it,
      // scaled once it is known to be shown: a source of 60 frames a second
      // has three of every four passed by unscaled.
      while (pending && static_cast<std::int64_t>(decoded.frames.size()) < total &&
             static_cast<double>(decoded.frames.size()) / target.fps < t - 1e-6) {
        if (!composePending()) return false;
        decoded.frames.push_back(*shown);
      }
      if (static_cast<std::int64_t>(decoded.frames.size()) < total) {
        if (!pending) pending.reset(av_frame_alloc());
        av_frame_unref(pending.get());
        if (!pending || av_frame_ref(pending.get(), f) < 0) {
          failedCompose = true;
          return false;
        }
        pendingShown = false;
      }
      if (!progress(kDecodeShare * std::min(1.0, t / length)) || cancel.load()) {
        stopped = true;
        return false;
      }
    } else if (resampler && static_cast<std::int64_t>(decoded.samples.size()) < samples) {
      const int room = swr_get_out_samples(resampler, f->nb_samples);
      if (room <= 0) return true;
      chunk.resize(static_cast<std::size_t>(room));
      auto* out = reinterpret_cast<std::uint8_t*>(chunk.data());
      // Where this sound belongs on the picture's clock: its own timestamp,
      // less what the resampler still holds back.
      const std::int64_t pts = f->best_effort_timestamp;
      std::optional<std::int64_t> at;
      if (pts != AV_NOPTS_VALUE) {
        const double t = static_cast<double>(pts) * av_q2d(audioStream->time_base) - start;
        at = std::llround(t * kAudioSampleRate) -
             swr_get_delay(resampler, kAudioSampleRate);
      }
      const int got = swr_convert(resampler, &out, room, const_cast<const std::uint8_t**>(f->extended_data), f->nb_samples);
      if (got <= 0) return true;
      auto first = chunk.begin(), last = chunk.begin() + got;
      if (at) {
        const auto have = static_cast<std::int64_t>(decoded.samples.size());
        if (*at > have + kSyncSamples) {
          // Sound that starts late, or a gap in it: silence until it comes.
          decoded.samples.resize(static_cast<std::size_t>(std::min(*at, samples)), 0);
        } else if (*at < have - kSyncSamples) {
          // Sound ahead of its place (overlapping, or before the picture
          // starts): what is already there stays, the overlap goes.
          const std::int64_t drop = std::min<std::int64_t>(have - *at, got);
          first += drop;
        }
      }
      decoded.samples.insert(decoded.samples.end(), first, last);
    }
    const bool videoDone = static_cast<std::int64_t>(decoded.frames.size()) >= total;
    const bool audioDone = !resampler || static_cast<std::int64_t>(decoded.samples.size()) >= samples;
    return !(videoDone && audioDone);
  });
  // The last source frame is shown (to the end, or for its own time).
  if (pending && !stopped && !failedCompose) composePending();
  sws_freeContext(scaler);
  if (stopped || cancel.load()) return Fail{"cancel"};
  if (failedCompose) return Fail{"scale"};
  if (in.Expired()) return Fail{"time"};  // the time bound: not a movie to keep
  // A read error after frames came: the file's data stops there (a copy cut
  // short), and so does the movie.
  if (!complete && !shown) return Fail{"read"};
  if (!shown) return Fail{"no frame"};
  // The last frame shows for its own time and, where the sound goes on a
  // little longer, to the end; a longer stretch without frames is cut off,
  // never filled with a frozen picture.
  decoded.frames.push_back(*shown);
  const auto held = std::min<std::int64_t>(total, static_cast<std::int64_t>(decoded.frames.size()) +
                                                      std::llround(kLastFrameHold * target.fps));
  if (held < total) {
    length = static_cast<double>(decoded.frames.size()) / target.fps;
  } else {
    while (static_cast<std::int64_t>(decoded.frames.size()) < total) decoded.frames.push_back(*shown);
  }
  if (static_cast<std::int64_t>(decoded.frames.size()) > total) decoded.frames.resize(static_cast<std::size_t>(total));
  decoded.samples.resize(static_cast<std::size_t>(std::llround(length * kAudioSampleRate)), 0);
  return std::nullopt;
}

}  // namespace

Converted Convert(const std::filesystem::path& source, const std::filesystem::path& out,
                  double seconds, const ProgressFn& progress, const HandsetMovie& target) {
  Converted result;
  std::atomic<bool> cancel{false};
  auto report = [&](double share) {
    if (progress && !progress(std::clamp(share, 0.0, 1.0))) cancel = true;
    return !cancel.load();
  };
  auto fail = [&](Converted::Status status, std::string detail) {
    std::error_code ec;
    std::filesystem::remove(out, ec);
    result.status = status;
    result.detail = std::move(detail);
    return result;
  };
  Decoded decoded;
  double length = 0;
  if (auto failed = DecodeSource(source, seconds, target, cancel, report, decoded, length))
    return fail(failed->detail == "cancel" ? Converted::Status::Cancelled : Converted::Status::Failed,
                failed->detail);

  Encoder encoder(target, decoded);
  // The first try takes the rest of the bar; another try holds it where it
  // stands (the bar never goes back).
  double shown = 0;
  auto encodeProgress = [&](double share) {
    shown = std::max(shown, kDecodeShare + (1 - kDecodeShare) * share);
    return report(shown);
  };
  // The rate control aims near the rate, not under it: the size and the
  // video rate written are what count, and the aim and the ceiling are
  // lowered by what either missed.
  RateControl rate = RateControlFor(length, target);
  const double fixed = OverheadBytes(length) + kAmrBytesPerSecond * length;
  for (int attempt = 0; attempt < kMaxTries; ++attempt) {
    std::int64_t videoBytes = 0;
    if (std::string e = encoder.Run(rate, out, videoBytes, encodeProgress); !e.empty())
      return fail(e == "cancel" ? Converted::Status::Cancelled : Converted::Status::Failed, e);
    std::error_code ec;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(out, ec));
    if (ec) return fail(Converted::Status::Failed, "size");
    const double measured = static_cast<double>(videoBytes) * 8 / length;
    if (size <= target.maxBytes && measured <= target.maxVideoRate) {
      result.status = Converted::Status::Done;
      result.videoRate = static_cast<int>(std::lround(measured));
      result.bytes = size;
      result.seconds = length;
      return result;
    }
    const double budget = static_cast<double>(target.maxBytes) * 0.97 - fixed;
    const double bySize = budget / std::max(1.0, static_cast<double>(size) - fixed);
    const double byRate = target.maxVideoRate * 0.97 / std::max(1.0, measured);
    const double lower = std::min({0.95, bySize, byRate});
    rate.aim = static_cast<int>(rate.aim * lower);
    rate.ceiling = std::max(rate.aim, static_cast<int>(rate.ceiling * lower));
    if (rate.aim < target.minVideoRate / 4) break;
  }
  // Even the coarsest picture the encoder makes is more than the handset
  // takes (noise, fast motion): the file is not made.
  return fail(Converted::Status::Failed, "rate");
}

}  // namespace fenmora::movie::codec
