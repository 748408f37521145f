#include "media/smf_slim.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace fenmora {

namespace {

struct Event {
  std::uint64_t tick = 0;
  std::uint8_t status = 0;  // channel status, 0xFF for a meta event
  std::uint8_t metaType = 0;
  std::string data;  // channel: the data bytes; meta: the payload
};

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  bool AtEnd() const { return pos_ >= bytes_.size(); }
  size_t Left() const { return bytes_.size() - pos_; }
  int Byte() { return AtEnd() ? -1 : static_cast<unsigned char>(bytes_[pos_++]); }
  int Peek() const { return AtEnd() ? -1 : static_cast<unsigned char>(bytes_[pos_]); }
  // A variable-length quantity: at most four bytes.
  std::optional<std::uint32_t> Vlq() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const int b = Byte();
      if (b < 0) return std::nullopt;
      v = (v << 7) | static_cast<std::uint32_t>(b & 0x7F);
      if (!(b & 0x80)) return v;
    }
    return std::nullopt;
  }
  std::optional<std::string_view> Take(size_t n) {
    if (n > Left()) return std::nullopt;
    const std::string_view s = bytes_.substr(pos_, n);
    pos_ += n;
    return s;
  }
  std::optional<std::uint32_t> Be(int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) {
      const int b = Byte();
      if (b < 0) return std::nullopt;
      v = (v << 8) | static_cast<std::uint32_t>(b);
    }
    return v;
  }

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

int DataBytesOf(std::uint8_t status) {
  const std::uint8_t high = status & 0xF0;
  return high == 0xC0 || high == 0xD0 ? 1 : 2;
}

// The meta events a handset uses: track name (title), tempo, time and key
// signature. The end of the track is written anew.
bool KeptMeta(std::uint8_t type) { return type == 0x03 || type == 0x51 || type == 0x58 || type == 0x59; }

// Reads one track's events into `out`, keeping what the slimmed file keeps.
// Returns the tick of its end, or nullopt when the track cannot be read.
std::optional<std::uint64_t> ReadTrack(std::string_view body, std::vector<Event>& out,
                                       bool& haveTitle) {
  Reader r(body);
  std::uint64_t tick = 0;
  std::uint8_t running = 0;
  while (!r.AtEnd()) {
    const auto delta = r.Vlq();
    if (!delta) return std::nullopt;
    tick += *delta;
    int status = r.Peek();
    if (status < 0) return std::nullopt;
    if (status & 0x80) {
      r.Byte();
    } else {
      if (!running) return std::nullopt;  // a data byte with no status before it
      status = running;
    }
    if (status == 0xFF) {
      const int type = r.Byte();
      const auto length = r.Vlq();
      if (type < 0 || !length) return std::nullopt;
      const auto payload = r.Take(*length);
      if (!payload) return std::nullopt;
      if (type == 0x2F) return tick;
      if (!KeptMeta(static_cast<std::uint8_t>(type))) continue;
      if (type == 0x03) {
        // Only the first name read gives the title; the others are labels.
        if (haveTitle) continue;
        haveTitle = true;
      }
      out.push_back({tick, 0xFF, static_cast<std::uint8_t>(type), std::string(*payload)});
    } else if (status == 0xF0 || status == 0xF7) {
      const auto length = r.Vlq();
      if (!length || !r.Take(*length)) return std::nullopt;
    } else if (status >= 0xF1) {
      return std::nullopt;  // system common and real-time messages do not belong in a file
    } else {
      running = static_cast<std::uint8_t>(status);
      Event e{tick, running, 0, {}};
      for (int i = 0; i < DataBytesOf(running); ++i) {
        const int b = r.Byte();
        if (b < 0 || (b & 0x80)) return std::nullopt;
        e.data.push_back(static_cast<char>(b));
      }
      out.push_back(std::move(e));
    }
  }
  return tick;  // a track without its end-of-track event ends with its last byte
}

void PutVlq(std::string& out, std::uint64_t value) {
  char buf[10];
  int n = 0;
  buf[n++] = static_cast<char>(value & 0x7F);
  while (value >>= 7) buf[n++] = static_cast<char>(0x80 | (value & 0x7F));
  while (n) out.push_back(buf[--n]);
}

void PutBe(std::string& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::optional<std::string> SlimSmf(std::string_view bytes) {
  Reader r(bytes);
  const auto magic = r.Take(4);
  const auto headerLength = r.Be(4);
  if (!magic || *magic != "MThd" || !headerLength || *headerLength < 6) return std::nullopt;
  const auto format = r.Be(2);
  const auto tracks = r.Be(2);
  const auto division = r.Be(2);
  if (!division || !r.Take(*headerLength - 6)) return std::nullopt;
  if (*format > 1 || *tracks == 0) return std::nullopt;

  std::vector<Event> events;
  bool haveTitle = false;
  std::uint64_t end = 0;
  std::uint32_t read = 0;
  while (read < *tracks && !r.AtEnd()) {
    const auto id = r.Take(4);
    const auto length = r.Be(4);
    if (!id || !length) return std::nullopt;
    const auto body = r.Take(*length);
    if (!body) return std::nullopt;
    if (*id != "MTrk") continue;  // chunks of other kinds are skipped, as readers do
    // Events of one tick keep the order of their tracks, then their own order.
    const size_t first = events.size();
    const auto trackEnd = ReadTrack(*body, events, haveTitle);
    if (!trackEnd) return std::nullopt;
    end = std::max(end, *trackEnd);
    std::inplace_merge(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(first),
                       events.end(), [](const Event& a, const Event& b) { return a.tick < b.tick; });
    ++read;
  }
  if (read == 0) return std::nullopt;  // a file declaring more tracks than it holds plays what it holds

  std::string track;
  std::uint64_t at = 0;
  std::uint8_t running = 0;
  // A delta time holds at most 28 bits; left-out events may have split a
  // longer pause, which one track cannot then say.
  constexpr std::uint64_t kMaxDelta = 0x0FFFFFFF;
  for (const Event& e : events) {
    if (e.tick - at > kMaxDelta) return std::nullopt;
    PutVlq(track, e.tick - at);
    at = e.tick;
    if (e.status == 0xFF) {
      track.push_back(static_cast<char>(0xFF));
      track.push_back(static_cast<char>(e.metaType));
      PutVlq(track, e.data.size());
      running = 0;  // a meta event ends running status
    } else if (e.status != running) {
      track.push_back(static_cast<char>(e.status));
      running = e.status;
    }
    track += e.data;
  }
  if (end > at && end - at > kMaxDelta) return std::nullopt;
  PutVlq(track, end > at ? end - at : 0);
  track += std::string("\xFF\x2F\x00", 3);
  if (track.size() > 0xFFFFFFFFu) return std::nullopt;

  std::string out = "MThd";
  PutBe(out, 6, 4);
  PutBe(out, 0, 2);
  PutBe(out, 1, 2);
  PutBe(out, *division, 2);
  out += "MTrk";
  PutBe(out, static_cast<std::uint32_t>(track.size()), 4);
  out += track;
  return out;
}

}  // namespace fenmora
