// What a movie file holds, read by FFmpeg in the helper program.
extern "C" {
#include <libavutil/dict.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "movie/av_tools.h"
#include "movie/boxes.h"
#include "movie/codec_work.h"

namespace fenmora::movie::codec {

namespace {

using namespace std::chrono_literals;

// The byte after MPEG-4 Visual's visual_object_sequence_start_code
// (00 00 01 B0) in the stream's header; -1 when there is none.
int ProfileAndLevel(const std::uint8_t* data, int size) {
  for (int i = 0; data && i + 4 < size; ++i)
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && data[i + 3] == 0xB0) return data[i + 4];
  return -1;
}

// Where the video's frames really stop. An MP4-family index names every
// frame's place: the first that lies past the end of the file is where the
// data stops. A stream whose header gives no length (a live WebM recording, a
// phone's recording cut short) is read to its end, packets only.
void MeasureReach(Input& in, MovieFacts& facts) {
  AVStream* video = in.ctx()->streams[in.videoStream];
  const double base = av_q2d(video->time_base);
  const std::int64_t start = video->start_time != AV_NOPTS_VALUE ? video->start_time : 0;
  const int entries = avformat_index_get_entries_count(video);
  if (facts.mp4Family && entries > 0 && facts.bytes > 0) {
    for (int i = 0; i < entries; ++i) {
      const AVIndexEntry* e = avformat_index_get_entry(video, i);
      if (e && e->pos + e->size > facts.bytes) {
        facts.cutShort = true;
        facts.readableSeconds = std::max(0.0, static_cast<double>(e->timestamp - start) * base);
        return;
      }
    }
    return;
  }
  if (facts.seconds > 0) return;
  // Packets only, up to half an hour of movie or 30 s of reading.
  in.Budget(30000ms);
  PacketPtr packet(av_packet_alloc());
  if (!packet) return;
  double end = 0;
  for (long n = 0; n < 2000000; ++n) {
    if (av_read_frame(in.ctx(), packet.get()) < 0) break;
    if (packet->stream_index == in.videoStream && packet->pts != AV_NOPTS_VALUE)
      end = std::max(end, static_cast<double>(packet->pts - start + std::max<std::int64_t>(packet->duration, 0)) * base);
    av_packet_unref(packet.get());
    if (end > 1800) break;
  }
  facts.seconds = end;
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
  if (const AVDictionaryEntry* brand = av_dict_get(ctx->metadata, "major_brand", nullptr, 0))
    facts.brand = brand->value;
  if (ctx->duration > 0) facts.seconds = static_cast<double>(ctx->duration) / AV_TIME_BASE;
  if (in.audioStream >= 0) {
    const AVCodecParameters* a = ctx->streams[in.audioStream]->codecpar;
    facts.hasAudio = true;
    facts.audioCodec = avcodec_get_name(a->codec_id);
    facts.audioProfile = a->profile;
    facts.sampleRate = a->sample_rate;
    facts.channels = a->ch_layout.nb_channels;
    facts.audioBitRate = a->bit_rate;
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
  facts.videoBitRate = v->bit_rate;
  if (v->codec_id == AV_CODEC_ID_MPEG4) facts.profileAndLevel = ProfileAndLevel(v->extradata, v->extradata_size);
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
  if (!std::isfinite(facts.seconds) || facts.seconds < 0) facts.seconds = 0;
  MeasureReach(in, facts);
  if (!(facts.seconds > 0)) return facts;  // not one frame with a time: Broken
  facts.status = MovieFacts::Status::Movie;
  return facts;
}

}  // namespace

MovieFacts Probe(const std::filesystem::path& file) {
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

MovieFacts ProbeBytes(std::string_view bytes) {
  Input in;
  const Input::Opened opened = in.OpenBytes(bytes, 2000ms);
  MovieFacts facts = FactsOf(in, opened);
  if (facts.mp4Family) facts.moovBeforeMdat = MoovBeforeMdat(bytes);
  return facts;
}


}  // namespace fenmora::movie::codec
