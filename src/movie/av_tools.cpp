#include "movie/av_tools.h"

extern "C" {
#include <libavutil/display.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <mutex>
#include <vector>

namespace fenmora::movie {

namespace {

// Enough of a file to recognise its container.
constexpr std::size_t kProbeBytes = 64 * 1024;

// The containers a movie comes in; anything else (playlists, image
// sequences, raw streams, concat lists naming other files) is not opened.
bool MovieContainer(const AVInputFormat* format) {
  if (!format) return false;
  const std::string_view name = format->name;
  for (std::string_view known : {"mov,mp4,m4a,3gp,3g2,mj2", "matroska,webm", "avi", "asf", "mpeg",
                                 "mpegts", "flv", "ogg"})
    if (name == known) return true;
  return false;
}

const AVInputFormat* Recognise(const std::string& head) {
  std::string padded = head;
  padded.append(AVPROBE_PADDING_SIZE, '\0');
  AVProbeData pd{};
  pd.filename = "";
  pd.buf = reinterpret_cast<unsigned char*>(padded.data());
  pd.buf_size = static_cast<int>(head.size());
  int score = 0;
  const AVInputFormat* format = av_probe_input_format2(&pd, 1, &score);
  return MovieContainer(format) ? format : nullptr;
}

}  // namespace

void QuietLibraries() {
  static std::once_flag once;
  std::call_once(once, [] { av_log_set_level(AV_LOG_FATAL); });
}

Input::~Input() {
  ctx_.reset();
  if (memoryIo_) {
    av_freep(&memoryIo_->buffer);
    avio_context_free(&memoryIo_);
  }
}

void Input::Budget(std::chrono::milliseconds budget) {
  deadline_ = std::chrono::steady_clock::now() + budget;
}

int Input::Interrupted(void* self) {
  const auto* in = static_cast<const Input*>(self);
  if (in->cancel_ && in->cancel_->load()) return 1;
  return std::chrono::steady_clock::now() > in->deadline_ ? 1 : 0;
}

Input::Opened Input::OpenFile(const std::filesystem::path& file, std::chrono::milliseconds budget,
                              const std::atomic<bool>* cancel) {
  cancel_ = cancel;
  Budget(budget);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return Opened::Broken;
  const auto size = std::filesystem::file_size(file, ec);
  bytes = ec ? 0 : static_cast<std::int64_t>(size);
  std::ifstream in(file, std::ios::binary);
  std::string head(kProbeBytes, '\0');
  in.read(head.data(), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<std::size_t>(in.gcount()));
  if (head.empty()) return Opened::Broken;
  const AVInputFormat* format = Recognise(head);
  if (!format) return Opened::Unknown;
  return Open(format, "file:" + file.string());
}

Input::Opened Input::OpenBytes(std::string_view bytesIn, std::chrono::milliseconds budget) {
  Budget(budget);
  memory_ = bytesIn;
  bytes = static_cast<std::int64_t>(bytesIn.size());
  if (bytesIn.empty()) return Opened::Broken;
  const AVInputFormat* format = Recognise(std::string(bytesIn.substr(0, kProbeBytes)));
  if (!format) return Opened::Unknown;
  constexpr int kBuffer = 4096;
  auto* buffer = static_cast<unsigned char*>(av_malloc(kBuffer));
  if (!buffer) return Opened::Broken;
  memoryIo_ = avio_alloc_context(
      buffer, kBuffer, 0, this,
      [](void* opaque, std::uint8_t* out, int size) -> int {
        auto* in = static_cast<Input*>(opaque);
        const auto left = static_cast<std::int64_t>(in->memory_.size()) - in->memoryPos_;
        if (left <= 0) return AVERROR_EOF;
        const int n = static_cast<int>(std::min<std::int64_t>(left, size));
        std::memcpy(out, in->memory_.data() + in->memoryPos_, static_cast<std::size_t>(n));
        in->memoryPos_ += n;
        return n;
      },
      nullptr,
      [](void* opaque, std::int64_t offset, int whence) -> std::int64_t {
        auto* in = static_cast<Input*>(opaque);
        const auto size = static_cast<std::int64_t>(in->memory_.size());
        if (whence & AVSEEK_SIZE) return size;
        std::int64_t to = offset;
        switch (whence & ~AVSEEK_FORCE) {
          case SEEK_SET: break;
          case SEEK_CUR: to = in->memoryPos_ + offset; break;
          case SEEK_END: to = size + offset; break;
          default: return -1;
        }
        if (to < 0 || to > size) return -1;
        in->memoryPos_ = to;
        return to;
      });
  if (!memoryIo_) {
    av_free(buffer);
    return Opened::Broken;
  }
  return Open(format, "");
}

Input::Opened Input::Open(const AVInputFormat* format, const std::string& url) {
  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) return Opened::Broken;
  raw->interrupt_callback = {&Input::Interrupted, this};
  raw->probesize = 5 * 1024 * 1024;
  raw->max_analyze_duration = 5 * AV_TIME_BASE;
  raw->max_streams = 32;
  if (memoryIo_) {
    raw->pb = memoryIo_;
    raw->flags |= AVFMT_FLAG_CUSTOM_IO;
  }
  AVDictionary* options = nullptr;
  av_dict_set(&options, "protocol_whitelist", "file", 0);
  // A movie never names other files to read.
  av_dict_set(&options, "enable_drefs", "0", 0);
  const int opened = avformat_open_input(&raw, url.c_str(), format, &options);
  av_dict_free(&options);
  if (opened < 0) return Opened::Broken;  // raw is freed by avformat_open_input
  ctx_.reset(raw);
  // A frame size in the headers no decoder should be asked for: said before
  // the stream search opens decoders (whose own bound is set below as well).
  auto absurd = [raw] {
    for (unsigned i = 0; i < raw->nb_streams; ++i)
      if (raw->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO && AbsurdFrame(raw->streams[i]->codecpar))
        return true;
    return false;
  };
  if (absurd()) return Opened::FrameTooLarge;
  std::vector<AVDictionary*> perStream(raw->nb_streams, nullptr);
  for (AVDictionary*& d : perStream) av_dict_set_int(&d, "max_pixels", kMaxPixels, 0);
  const int found = avformat_find_stream_info(raw, perStream.empty() ? nullptr : perStream.data());
  for (AVDictionary*& d : perStream) av_dict_free(&d);
  if (absurd()) return Opened::FrameTooLarge;
  if (found < 0) return Opened::Broken;
  videoStream = av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  audioStream = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (videoStream < 0) videoStream = -1;
  if (audioStream < 0) audioStream = -1;
  // An attached cover picture is not the movie.
  if (videoStream >= 0 && (raw->streams[videoStream]->disposition & AV_DISPOSITION_ATTACHED_PIC))
    videoStream = -1;
  return Opened::Ok;
}

bool AbsurdFrame(const AVCodecParameters* par) {
  return par->width > kMaxSide || par->height > kMaxSide ||
         static_cast<std::int64_t>(par->width) * par->height > kMaxPixels;
}

CodecPtr OpenDecoder(const AVStream* stream, int threads) {
  const AVCodecParameters* par = stream->codecpar;
  if (par->codec_type == AVMEDIA_TYPE_VIDEO && (par->width <= 0 || par->height <= 0 || AbsurdFrame(par)))
    return nullptr;
  const AVCodec* codec = avcodec_find_decoder(par->codec_id);
  if (!codec) return nullptr;
  CodecPtr ctx(avcodec_alloc_context3(codec));
  if (!ctx || avcodec_parameters_to_context(ctx.get(), par) < 0) return nullptr;
  ctx->thread_count = threads;
  ctx->pkt_timebase = stream->time_base;
  AVDictionary* options = nullptr;
  av_dict_set_int(&options, "max_pixels", kMaxPixels, 0);
  const int opened = avcodec_open2(ctx.get(), codec, &options);
  av_dict_free(&options);
  if (opened < 0) return nullptr;
  return ctx;
}

int StreamRotation(const AVStream* stream) {
  size_t size = 0;
  const auto* matrix = reinterpret_cast<const std::int32_t*>(
      av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size));
  if (!matrix || size < 9 * sizeof(std::int32_t)) return 0;
  const double angle = av_display_rotation_get(matrix);  // counter-clockwise
  if (std::isnan(angle)) return 0;
  int clockwise = static_cast<int>(std::lround(-angle));
  clockwise = ((clockwise % 360) + 360) % 360;
  // Only quarter turns; anything else is shown as stored.
  for (int quarter : {0, 90, 180, 270})
    if (std::abs(clockwise - quarter) <= 2) return quarter;
  return 0;
}

}  // namespace fenmora::movie

namespace fenmora::movie {

bool DecodeFrames(Input& in, AVCodecContext* video, AVCodecContext* audio, long maxPackets,
                  const std::function<bool(bool isVideo, AVFrame* frame)>& onFrame) {
  PacketPtr packet(av_packet_alloc());
  FramePtr frame(av_frame_alloc());
  if (!packet || !frame) return false;
  // Takes the frames a decoder has ready; false once the caller has enough.
  auto drain = [&](AVCodecContext* codec) {
    while (avcodec_receive_frame(codec, frame.get()) >= 0) {
      const bool more = onFrame(codec == video, frame.get());
      av_frame_unref(frame.get());
      if (!more) return false;
    }
    return true;
  };
  // A read that fails (not the end) still hands over the frames the decoders
  // hold, and then says the file was not read to its end.
  bool readFailed = false;
  for (long n = 0; n < maxPackets; ++n) {
    const int read = av_read_frame(in.ctx(), packet.get());
    if (read == AVERROR_EOF) break;
    if (read < 0) {
      readFailed = true;
      break;
    }
    AVCodecContext* codec = nullptr;
    if (video && packet->stream_index == in.videoStream) codec = video;
    else if (audio && packet->stream_index == in.audioStream) codec = audio;
    if (codec) {
      // A packet the decoder refuses is skipped: a damaged stretch of the
      // file loses its frames, not the rest of the movie.
      avcodec_send_packet(codec, packet.get());
      av_packet_unref(packet.get());
      if (!drain(codec)) return true;
    } else {
      av_packet_unref(packet.get());
    }
  }
  for (AVCodecContext* codec : {video, audio}) {
    if (!codec) continue;
    avcodec_send_packet(codec, nullptr);
    if (!drain(codec)) return !readFailed;
  }
  return !readFailed;
}

Size FitInside(int w, int h, AVRational sar, int rotation, int boxWidth, int boxHeight, bool enlarge,
               bool even) {
  if (w <= 0 || h <= 0 || boxWidth <= 0 || boxHeight <= 0) return {};
  double shownW = w, shownH = h;
  if (sar.num > 0 && sar.den > 0) shownW *= av_q2d(sar);
  if (rotation == 90 || rotation == 270) std::swap(shownW, shownH);
  double scale = std::min(boxWidth / shownW, boxHeight / shownH);
  if (!enlarge) scale = std::min(scale, 1.0);
  auto side = [&](double v, int most) {
    int s = static_cast<int>(std::lround(v * scale));
    if (even) s &= ~1;
    return std::clamp(s, even ? 2 : 1, most);
  };
  return {side(shownW, boxWidth), side(shownH, boxHeight)};
}

namespace {

// Turns one plane a quarter or half turn clockwise.
void TurnPlane(const std::uint8_t* src, int srcStride, int w, int h, int pixel, int rotation,
               std::uint8_t* dst, int dstStride) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int tx = x, ty = y;
      if (rotation == 90) tx = h - 1 - y, ty = x;
      else if (rotation == 180) tx = w - 1 - x, ty = h - 1 - y;
      else if (rotation == 270) tx = y, ty = w - 1 - x;
      std::memcpy(dst + static_cast<std::ptrdiff_t>(ty) * dstStride + tx * pixel,
                  src + static_cast<std::ptrdiff_t>(y) * srcStride + x * pixel,
                  static_cast<std::size_t>(pixel));
    }
}

FramePtr NewFrame(int w, int h, AVPixelFormat format) {
  FramePtr frame(av_frame_alloc());
  if (!frame) return nullptr;
  frame->width = w;
  frame->height = h;
  frame->format = format;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
  return frame;
}

}  // namespace

FramePtr ScaleUpright(SwsContext*& cache, const AVFrame* source, int rotation, Size size,
                      AVPixelFormat format) {
  if (size.width <= 0 || size.height <= 0 || source->width <= 0 || source->height <= 0)
    return nullptr;
  const bool quarter = rotation == 90 || rotation == 270;
  const int w = quarter ? size.height : size.width;
  const int h = quarter ? size.width : size.height;
  cache = sws_getCachedContext(cache, source->width, source->height,
                               static_cast<AVPixelFormat>(source->format), w, h, format,
                               SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!cache) return nullptr;
  FramePtr scaled = NewFrame(w, h, format);
  if (!scaled) return nullptr;
  if (sws_scale(cache, source->data, source->linesize, 0, source->height, scaled->data,
                scaled->linesize) <= 0)
    return nullptr;
  if (rotation == 0) return scaled;
  FramePtr turned = NewFrame(size.width, size.height, format);
  if (!turned) return nullptr;
  if (format == AV_PIX_FMT_RGB24) {
    TurnPlane(scaled->data[0], scaled->linesize[0], w, h, 3, rotation, turned->data[0],
              turned->linesize[0]);
  } else {  // YUV 4:2:0
    for (int plane = 0; plane < 3; ++plane) {
      const int pw = plane ? (w + 1) / 2 : w, ph = plane ? (h + 1) / 2 : h;
      TurnPlane(scaled->data[plane], scaled->linesize[plane], pw, ph, 1, rotation,
                turned->data[plane], turned->linesize[plane]);
    }
  }
  return turned;
}

}  // namespace fenmora::movie
