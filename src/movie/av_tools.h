// The movie module's own way into FFmpeg: owning handles, one bounded way to
// open an input (a file or bytes in memory), one decoding loop and one scaler
// that every reader uses.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <functional>

namespace fenmora::movie {

struct FormatCloser { void operator()(AVFormatContext* c) const { avformat_close_input(&c); } };
struct CodecFreer { void operator()(AVCodecContext* c) const { avcodec_free_context(&c); } };
struct FrameFreer { void operator()(AVFrame* f) const { av_frame_free(&f); } };
struct PacketFreer { void operator()(AVPacket* p) const { av_packet_free(&p); } };
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;

// Frames larger than this are refused before any decoder allocates them.
constexpr std::int64_t kMaxPixels = 8192LL * 8192;
constexpr int kMaxSide = 16384;

// FFmpeg's own messages are not the program's: only failures that end the
// process would be written (called before any FFmpeg work).
void QuietLibraries();

// An opened input. Reading stops (FFmpeg's calls return an error) once the
// deadline has passed or `cancel` becomes true.
class Input {
 public:
  enum class Opened { Ok, Unknown, Broken, FrameTooLarge };
  Input() { QuietLibraries(); }
  Input(const Input&) = delete;
  Input& operator=(const Input&) = delete;
  ~Input();

  Opened OpenFile(const std::filesystem::path& file, std::chrono::milliseconds budget,
                  const std::atomic<bool>* cancel = nullptr);
  Opened OpenBytes(std::string_view bytes, std::chrono::milliseconds budget);
  // Sets a new time budget from now (each phase of the work its own).
  void Budget(std::chrono::milliseconds budget);
  // The time budget has run out: reading stopped for that, not at the end.
  bool Expired() const { return std::chrono::steady_clock::now() > deadline_; }

  AVFormatContext* ctx() const { return ctx_.get(); }
  int videoStream = -1;
  int audioStream = -1;
  std::int64_t bytes = 0;

 private:
  Opened Open(const AVInputFormat* format, const std::string& url);
  static int Interrupted(void* self);

  std::unique_ptr<AVFormatContext, FormatCloser> ctx_;
  AVIOContext* memoryIo_ = nullptr;
  std::string_view memory_;
  std::int64_t memoryPos_ = 0;
  std::chrono::steady_clock::time_point deadline_;
  const std::atomic<bool>* cancel_ = nullptr;
};

// A frame size no decoder is asked to allocate.
bool AbsurdFrame(const AVCodecParameters* par);

// A decoder for one stream of an input, in FFmpeg's own threads; nullptr when
// none can be opened (or the frame is too large).
CodecPtr OpenDecoder(const AVStream* stream, int threads);

// Clockwise degrees that show the stream upright (its display matrix).
int StreamRotation(const AVStream* stream);


// Reads packets and decodes them with the decoders given for the video and
// the audio stream (either may be null), handing every frame to `onFrame`
// (true: the video stream's) until it returns false, the input ends (the
// decoders are drained) or `maxPackets` are read. Returns false when reading
// failed before the end (a read error, the deadline, a cancel).
bool DecodeFrames(Input& in, AVCodecContext* video, AVCodecContext* audio, long maxPackets,
                  const std::function<bool(bool isVideo, AVFrame* frame)>& onFrame);

// The size a picture of w x h with pixel aspect `sar`, shown turned by
// `rotation`, takes inside box (proportions kept; even sizes when `even`).
struct Size { int width = 0, height = 0; };
Size FitInside(int w, int h, AVRational sar, int rotation, int boxWidth, int boxHeight, bool enlarge,
               bool even);

struct ScalerFreer { void operator()(SwsContext* s) const { sws_freeContext(s); } };
// A frame scaled to `size` (upright) in `format`, turned by `rotation`;
// nullptr when it cannot be. The scaler is kept in `cache` between calls.
FramePtr ScaleUpright(SwsContext*& cache, const AVFrame* source, int rotation, Size size,
                      AVPixelFormat format);

}  // namespace fenmora::movie
