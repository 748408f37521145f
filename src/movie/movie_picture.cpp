// A picture of a movie for the preview pane.
#include "movie/av_tools.h"
#include "movie/codec_work.h"

namespace fenmora::movie::codec {

namespace {

using namespace std::chrono_literals;

// How far past the tenth the search for a picture that is not black goes,
// in the movie's time, whatever its frame rate.
constexpr double kSearchSeconds = 10;
constexpr long kMaxPackets = 20000;

// Nearly black: the bright pixels are too few to show anything.
bool Black(const AVFrame* rgb) {
  long bright = 0, total = 0;
  for (int y = 0; y < rgb->height; y += 2) {
    const std::uint8_t* row = rgb->data[0] + static_cast<std::ptrdiff_t>(y) * rgb->linesize[0];
    for (int x = 0; x < rgb->width; x += 2, ++total)
      if (row[3 * x] + row[3 * x + 1] + row[3 * x + 2] > 3 * 40) ++bright;
  }
  return bright * 50 < total;  // under 2 %
}

}  // namespace

PreviewPicture Preview(const std::filesystem::path& file, int boxWidth, int boxHeight,
                            const std::atomic<bool>* cancel) {
  PreviewPicture picture;
  Input in;
  if (in.OpenFile(file, 5000ms, cancel) != Input::Opened::Ok || in.videoStream < 0) return picture;
  AVStream* stream = in.ctx()->streams[in.videoStream];
  // One thread: frame threads would hold back the first frames, and a
  // preview wants one.
  CodecPtr decoder = OpenDecoder(stream, 1);
  if (!decoder) return picture;
  const int rotation = StreamRotation(stream);
  double seconds = in.ctx()->duration > 0 ? static_cast<double>(in.ctx()->duration) / AV_TIME_BASE
                                          : 0;
  if (seconds <= 0 && stream->duration > 0)
    seconds = static_cast<double>(stream->duration) * av_q2d(stream->time_base);

  // A tenth of the way in: seek to the key frame before it, decode up to it.
  const double at = seconds > 0 ? seconds / 10 : 0;
  const std::int64_t target = stream->start_time != AV_NOPTS_VALUE
                                  ? stream->start_time + av_rescale_q(static_cast<std::int64_t>(at * AV_TIME_BASE), AV_TIME_BASE_Q, stream->time_base)
                                  : av_rescale_q(static_cast<std::int64_t>(at * AV_TIME_BASE), AV_TIME_BASE_Q, stream->time_base);
  if (at > 0 && av_seek_frame(in.ctx(), in.videoStream, target, AVSEEK_FLAG_BACKWARD) >= 0)
    avcodec_flush_buffers(decoder.get());
  in.Budget(5000ms);

  const Size size = FitInside(stream->codecpar->width, stream->codecpar->height,
                              stream->codecpar->sample_aspect_ratio, rotation, boxWidth, boxHeight,
                              /*enlarge=*/false, /*even=*/false);
  SwsContext* scaler = nullptr;
  const std::int64_t searchEnd =
      target + av_rescale_q(static_cast<std::int64_t>(kSearchSeconds * AV_TIME_BASE), AV_TIME_BASE_Q, stream->time_base);
  FramePtr chosen, before;
  int untimed = 0;
  DecodeFrames(in, decoder.get(), nullptr, kMaxPackets, [&](bool, AVFrame* frame) {
    const std::int64_t pts = frame->best_effort_timestamp;
    // Frames without a time count as a tenth of a second each.
    const bool timed = pts != AV_NOPTS_VALUE;
    if (!timed) ++untimed;
    // Frames before the target (from the key frame on) are passed by, the
    // last of them kept should the target never come.
    const bool reached = !timed || pts >= target || at <= 0;
    if (!reached) {
      if (!before) before.reset(av_frame_alloc());
      av_frame_unref(before.get());
      return before && av_frame_ref(before.get(), frame) >= 0;
    }
    FramePtr rgb = ScaleUpright(scaler, frame, rotation, size, AV_PIX_FMT_RGB24);
    if (!rgb) return false;
    const bool black = Black(rgb.get());
    if (!chosen || !black) chosen = std::move(rgb);
    const bool searched = timed ? pts >= searchEnd : untimed >= kSearchSeconds * 10;
    return black && !searched;  // on past black frames
  });
  if (!chosen && before && before->width > 0)
    chosen = ScaleUpright(scaler, before.get(), rotation, size, AV_PIX_FMT_RGB24);
  sws_freeContext(scaler);
  if (!chosen) return picture;
  picture.width = chosen->width;
  picture.height = chosen->height;
  picture.rgb.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
  for (int y = 0; y < picture.height; ++y)
    std::copy_n(chosen->data[0] + static_cast<std::ptrdiff_t>(y) * chosen->linesize[0],
                picture.width * 3, picture.rgb.begin() + static_cast<std::ptrdiff_t>(y) * picture.width * 3);
  picture.seconds = seconds;
  const bool quarter = rotation == 90 || rotation == 270;
  picture.frameWidth = quarter ? stream->codecpar->height : stream->codecpar->width;
  picture.frameHeight = quarter ? stream->codecpar->width : stream->codecpar->height;
  return picture;
}

}  // namespace fenmora::movie::codec
