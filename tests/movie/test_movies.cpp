#include "movie/test_movies.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/display.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace fenmora::movie::test {

std::vector<std::uint8_t> PatternLuma(int w, int h, double t) {
  std::vector<std::uint8_t> y(static_cast<std::size_t>(w) * h);
  const int side = std::max(4, h / 4);
  const int boxX = static_cast<int>((w - side) * (0.5 + 0.5 * std::sin(t * 1.3)));
  const int boxY = static_cast<int>((h - side) * (0.5 + 0.5 * std::cos(t * 0.9)));
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      const bool inBox = i >= boxX && i < boxX + side && j >= boxY && j < boxY + side;
      y[static_cast<std::size_t>(j) * w + i] =
          inBox ? 235 : static_cast<std::uint8_t>(40 + 120 * i / w + 40 * j / h);
    }
  return y;
}

namespace {

struct Codec {
  AVCodecContext* c = nullptr;
  ~Codec() { avcodec_free_context(&c); }
};

bool Drain(AVFormatContext* oc, AVCodecContext* c, AVStream* st) {
  AVPacket* p = av_packet_alloc();
  bool ok = true;
  while (avcodec_receive_packet(c, p) >= 0) {
    av_packet_rescale_ts(p, c->time_base, st->time_base);
    p->stream_index = st->index;
    ok = av_interleaved_write_frame(oc, p) >= 0 && ok;
  }
  av_packet_free(&p);
  return ok;
}

}  // namespace

bool MakeMovie(const std::filesystem::path& file, const SourceMovie& m) {
  av_log_set_level(AV_LOG_ERROR);
  AVFormatContext* oc = nullptr;
  if (avformat_alloc_output_context2(&oc, nullptr, m.container.c_str(), file.c_str()) < 0) return false;
  std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> own(oc, [](AVFormatContext* o) {
    if (o->pb) avio_closep(&o->pb);
    avformat_free_context(o);
  });
  AVStream* vs = nullptr;
  Codec v;
  if (m.video) {
  const AVCodec* vc = avcodec_find_encoder_by_name(m.videoCodec.c_str());
  if (!vc) vc = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
  v.c = avcodec_alloc_context3(vc);
  v.c->width = m.width;
  v.c->height = m.height;
  v.c->pix_fmt = AV_PIX_FMT_YUV420P;
  v.c->time_base = {1, m.fps};
  v.c->framerate = {m.fps, 1};
  v.c->bit_rate = m.videoRate;
  v.c->gop_size = m.fps;
  v.c->max_b_frames = 0;
  if (vc->id == AV_CODEC_ID_MPEG4 && m.width <= 176)
    v.c->profile = m.profileAndLevel >> 4, v.c->level = m.profileAndLevel & 0x0F;
  if (oc->oformat->flags & AVFMT_GLOBALHEADER) v.c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (std::string(vc->name) == "libx264") av_opt_set(v.c->priv_data, "preset", "ultrafast", 0);
  if (std::string(vc->name) == "libvpx") {
    av_opt_set(v.c->priv_data, "deadline", "realtime", 0);
    av_opt_set_int(v.c->priv_data, "cpu-used", 8, 0);
  }
  if (avcodec_open2(v.c, vc, nullptr) < 0) return false;
  vs = avformat_new_stream(oc, nullptr);
  avcodec_parameters_from_context(vs->codecpar, v.c);
  vs->time_base = v.c->time_base;
  if (m.rotation) {
    auto* matrix = reinterpret_cast<std::int32_t*>(
        av_stream_new_side_data(vs, AV_PKT_DATA_DISPLAYMATRIX, 9 * sizeof(std::int32_t)));
    av_display_rotation_set(matrix, -m.rotation);  // counter-clockwise in the matrix
  }
  }

  Codec a;
  AVStream* as = nullptr;
  if (m.sound) {
    const AVCodec* ac = avcodec_find_encoder_by_name(m.audioCodec.c_str());
    if (!ac) return false;
    a.c = avcodec_alloc_context3(ac);
    const bool amr = m.audioCodec == "libopencore_amrnb";
    a.c->sample_rate = amr ? 8000 : 44100;
    a.c->sample_fmt = ac->sample_fmts ? ac->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&a.c->ch_layout, amr ? 1 : 2);
    a.c->bit_rate = amr ? 12200 : 128000;
    a.c->time_base = {1, a.c->sample_rate};
    if (oc->oformat->flags & AVFMT_GLOBALHEADER) a.c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(a.c, ac, nullptr) < 0) return false;
    as = avformat_new_stream(oc, nullptr);
    avcodec_parameters_from_context(as->codecpar, a.c);
    as->time_base = a.c->time_base;
  }
  if (avio_open(&oc->pb, file.c_str(), AVIO_FLAG_WRITE) < 0) return false;
  AVDictionary* options = nullptr;
  if (m.indexFirst) av_dict_set(&options, "movflags", "+faststart", 0);
  if (m.live) av_dict_set(&options, "live", "1", 0);
  const int header = avformat_write_header(oc, &options);
  av_dict_free(&options);
  if (header < 0) return false;
  std::uint32_t seed = 12345;

  AVFrame* f = av_frame_alloc();
  const auto frames = static_cast<int>(std::lround(m.seconds * m.fps));
  std::int64_t samplesDone = 0;
  bool ok = true;
  for (int k = 0; k <= frames && ok; ++k) {
    if (!v.c) {
    } else if (k < frames) {
      f->width = m.width, f->height = m.height, f->format = AV_PIX_FMT_YUV420P;
      av_frame_get_buffer(f, 0);
      const double t = static_cast<double>(k) / m.fps;
      auto luma = PatternLuma(m.width, m.height, t);
      if (t < m.blackUntil) std::fill(luma.begin(), luma.end(), 16);
      if (m.noise)
        for (std::uint8_t& px : luma) px = static_cast<std::uint8_t>((seed = seed * 1664525 + 1013904223) >> 24);
      if (m.grain > 0)
        for (std::uint8_t& px : luma)
          px = static_cast<std::uint8_t>(std::clamp(px + static_cast<int>((seed = seed * 1664525 + 1013904223) >> 24) % (2 * m.grain + 1) - m.grain, 16, 235));
      for (int j = 0; j < m.height; ++j)
        std::copy_n(luma.begin() + static_cast<std::ptrdiff_t>(j) * m.width, m.width,
                    f->data[0] + static_cast<std::ptrdiff_t>(j) * f->linesize[0]);
      for (int p = 1; p < 3; ++p)
        for (int j = 0; j < m.height / 2; ++j)
          std::fill_n(f->data[p] + static_cast<std::ptrdiff_t>(j) * f->linesize[p], m.width / 2,
                      t < m.blackUntil ? 128 : p == 1 ? 110 : 150);
      f->pts = k;
      ok = avcodec_send_frame(v.c, f) >= 0;
      av_frame_unref(f);
    } else {
      avcodec_send_frame(v.c, nullptr);
    }
    if (v.c) ok = Drain(oc, v.c, vs) && ok;
    // A 440 Hz tone up to the same time.
    const std::int64_t until = k < frames ? static_cast<std::int64_t>(k + 1) * (a.c ? a.c->sample_rate : 0) / m.fps
                                          : std::int64_t{1} << 62;
    while (a.c && samplesDone < until && samplesDone < static_cast<std::int64_t>(m.seconds * a.c->sample_rate)) {
      f->nb_samples = a.c->frame_size > 0 ? a.c->frame_size : 1024;
      f->format = a.c->sample_fmt;
      f->sample_rate = a.c->sample_rate;
      av_channel_layout_copy(&f->ch_layout, &a.c->ch_layout);
      av_frame_get_buffer(f, 0);
      for (int ch = 0; ch < a.c->ch_layout.nb_channels; ++ch)
        for (int i = 0; i < f->nb_samples; ++i) {
          const double s = 0.3 * std::sin(2 * M_PI * 440 * static_cast<double>(samplesDone + i) / a.c->sample_rate);
          if (f->format == AV_SAMPLE_FMT_FLTP) reinterpret_cast<float*>(f->extended_data[ch])[i] = static_cast<float>(s);
          else if (f->format == AV_SAMPLE_FMT_S16 && ch == 0) reinterpret_cast<std::int16_t*>(f->data[0])[i] = static_cast<std::int16_t>(s * 32767);
        }
      f->pts = samplesDone + std::llround(m.soundStart * a.c->sample_rate);
      samplesDone += f->nb_samples;
      ok = avcodec_send_frame(a.c, f) >= 0 && ok;
      av_frame_unref(f);
      ok = Drain(oc, a.c, as) && ok;
    }
  }
  if (a.c) {
    avcodec_send_frame(a.c, nullptr);
    ok = Drain(oc, a.c, as) && ok;
  }
  av_frame_free(&f);
  return av_write_trailer(oc) >= 0 && ok;
}

std::string WithFrameSize(std::string avi, int w, int h) {
  auto put = [&](std::size_t at, int value) {
    for (int i = 0; i < 4 && at + i < avi.size(); ++i) avi[at + i] = static_cast<char>(value >> (8 * i));
  };
  // strf: its size, then BITMAPINFOHEADER's biSize, biWidth, biHeight.
  if (const auto strf = avi.find("strf"); strf != std::string::npos) put(strf + 12, w), put(strf + 16, h);
  // avih: its size, then nine double words before dwWidth and dwHeight.
  if (const auto avih = avi.find("avih"); avih != std::string::npos) put(avih + 44, w), put(avih + 48, h);
  return avi;
}

namespace {

// Decodes the best stream of a kind, handing each frame to `onFrame` until
// it returns false; false when the file or the stream cannot be opened.
bool DecodeStream(const std::filesystem::path& file, AVMediaType type,
                  const std::function<bool(const AVFrame*)>& onFrame) {
  AVFormatContext* ic = nullptr;
  if (avformat_open_input(&ic, file.c_str(), nullptr, nullptr) < 0) return false;
  avformat_find_stream_info(ic, nullptr);
  const int stream = av_find_best_stream(ic, type, -1, -1, nullptr, 0);
  if (stream < 0) {
    avformat_close_input(&ic);
    return false;
  }
  const AVCodec* codec = avcodec_find_decoder(ic->streams[stream]->codecpar->codec_id);
  AVCodecContext* c = avcodec_alloc_context3(codec);
  avcodec_parameters_to_context(c, ic->streams[stream]->codecpar);
  avcodec_open2(c, codec, nullptr);
  AVPacket* p = av_packet_alloc();
  AVFrame* f = av_frame_alloc();
  bool more = true;
  auto take = [&] {
    while (more && avcodec_receive_frame(c, f) >= 0) more = onFrame(f);
  };
  while (more && av_read_frame(ic, p) >= 0) {
    if (p->stream_index == stream) avcodec_send_packet(c, p), take();
    av_packet_unref(p);
  }
  if (more) {
    avcodec_send_packet(c, nullptr);
    take();
  }
  av_frame_free(&f);
  av_packet_free(&p);
  avcodec_free_context(&c);
  avformat_close_input(&ic);
  return true;
}

}  // namespace

std::vector<std::vector<std::uint8_t>> DecodedLuma(const std::filesystem::path& file, int& w, int& h,
                                                   std::size_t maxFrames) {
  std::vector<std::vector<std::uint8_t>> frames;
  if (maxFrames == 0) return frames;
  DecodeStream(file, AVMEDIA_TYPE_VIDEO, [&](const AVFrame* f) {
    w = f->width, h = f->height;
    std::vector<std::uint8_t> y(static_cast<std::size_t>(w) * h);
    for (int j = 0; j < h; ++j) std::copy_n(f->data[0] + j * f->linesize[0], w, y.begin() + j * w);
    frames.push_back(std::move(y));
    return frames.size() < maxFrames;
  });
  return frames;
}

std::vector<float> DecodedSound(const std::filesystem::path& file, int& rate) {
  std::vector<float> sound;
  DecodeStream(file, AVMEDIA_TYPE_AUDIO, [&](const AVFrame* f) {
    rate = f->sample_rate;
    const int channels = f->ch_layout.nb_channels;
    for (int i = 0; i < f->nb_samples; ++i) {
      if (f->format == AV_SAMPLE_FMT_FLTP) sound.push_back(reinterpret_cast<const float*>(f->extended_data[0])[i]);
      else if (f->format == AV_SAMPLE_FMT_FLT) sound.push_back(reinterpret_cast<const float*>(f->data[0])[i * channels]);
      else if (f->format == AV_SAMPLE_FMT_S16) sound.push_back(reinterpret_cast<const std::int16_t*>(f->data[0])[i * channels] / 32768.0f);
    }
    return true;
  });
  return sound;
}

double Psnr(const std::uint8_t* a, int aStride, const std::vector<std::uint8_t>& b, int w, int h) {
  double sum = 0;
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      const double d = a[j * aStride + i] - b[static_cast<std::size_t>(j) * w + i];
      sum += d * d;
    }
  const double mse = sum / (static_cast<double>(w) * h);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace fenmora::movie::test
