#include "media/smf_read.h"

#include <algorithm>
#include <map>

namespace fenmora {

namespace {

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

// Reads one track's events into `out`. Returns the tick of its end, or
// nullopt when the track cannot be read.
std::optional<std::uint64_t> ReadTrack(std::string_view body, int track, std::vector<SmfEvent>& out) {
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
      out.push_back({tick, track, 0xFF, static_cast<std::uint8_t>(type), std::string(*payload)});
    } else if (status == 0xF0 || status == 0xF7) {
      const auto length = r.Vlq();
      if (!length) return std::nullopt;
      const auto payload = r.Take(*length);
      if (!payload) return std::nullopt;
      out.push_back({tick, track, static_cast<std::uint8_t>(status), 0, std::string(*payload)});
    } else if (status >= 0xF1) {
      return std::nullopt;  // system common and real-time messages do not belong in a file
    } else {
      running = static_cast<std::uint8_t>(status);
      SmfEvent e{tick, track, running, 0, {}};
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

bool IsNoteOn(const SmfEvent& e) {
  return (e.status & 0xF0) == 0x90 && e.data.size() == 2 && e.data[1] != 0;
}

bool IsNoteOff(const SmfEvent& e) {
  return (e.status & 0xF0) == 0x80 || ((e.status & 0xF0) == 0x90 && e.data.size() == 2 && e.data[1] == 0);
}

}  // namespace

std::optional<Smf> ReadSmf(std::string_view bytes) {
  Reader r(bytes);
  const auto magic = r.Take(4);
  const auto headerLength = r.Be(4);
  if (!magic || *magic != "MThd" || !headerLength || *headerLength < 6) return std::nullopt;
  const auto format = r.Be(2);
  const auto tracks = r.Be(2);
  const auto division = r.Be(2);
  if (!division || !r.Take(*headerLength - 6)) return std::nullopt;
  if (*format > 1 || *tracks == 0) return std::nullopt;

  Smf smf;
  smf.format = static_cast<int>(*format);
  smf.division = static_cast<int>(*division);
  while (static_cast<std::uint32_t>(smf.tracks) < *tracks && !r.AtEnd()) {
    const auto id = r.Take(4);
    const auto length = r.Be(4);
    if (!id || !length) return std::nullopt;
    const auto body = r.Take(*length);
    if (!body) return std::nullopt;
    if (*id != "MTrk") continue;  // chunks of other kinds are skipped, as readers do
    const size_t first = smf.events.size();
    const auto trackEnd = ReadTrack(*body, smf.tracks, smf.events);
    if (!trackEnd) return std::nullopt;
    smf.endTick = std::max(smf.endTick, *trackEnd);
    std::inplace_merge(smf.events.begin(), smf.events.begin() + static_cast<std::ptrdiff_t>(first),
                       smf.events.end(), [](const SmfEvent& a, const SmfEvent& b) { return a.tick < b.tick; });
    ++smf.tracks;
  }
  if (smf.tracks == 0) return std::nullopt;  // a file declaring more tracks than it holds plays what it holds
  return smf;
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

size_t CountSmfNotes(const Smf& smf) {
  return static_cast<size_t>(std::count_if(smf.events.begin(), smf.events.end(), IsNoteOn));
}

std::vector<SmfNote> SmfNotes(const Smf& smf) {
  std::vector<SmfNote> notes;
  if (smf.division <= 0 || smf.division >= 0x8000) return notes;
  // Seconds at a tick: the tempo in force since the last tempo event.
  double secondsAtLast = 0;
  std::uint64_t tickAtLast = 0;
  double secondsPerTick = 0.5 / smf.division;  // 120 beats a minute
  auto seconds = [&](std::uint64_t tick) {
    return secondsAtLast + static_cast<double>(tick - tickAtLast) * secondsPerTick;
  };
  std::map<std::pair<int, int>, std::vector<size_t>> sounding;  // channel, key: notes begun, oldest first
  for (const SmfEvent& e : smf.events) {
    if (e.status == 0xFF && e.metaType == 0x51 && e.data.size() == 3) {
      secondsAtLast = seconds(e.tick);
      tickAtLast = e.tick;
      const auto b = [&](int i) { return static_cast<unsigned char>(e.data[static_cast<size_t>(i)]); };
      const int microseconds = b(0) << 16 | b(1) << 8 | b(2);
      secondsPerTick = microseconds / 1e6 / smf.division;
      continue;
    }
    if (e.status >= 0xF0) continue;
    const int channel = e.status & 0x0F;
    if (IsNoteOn(e)) {
      const int key = static_cast<unsigned char>(e.data[0]);
      sounding[{channel, key}].push_back(notes.size());
      notes.push_back({seconds(e.tick), 0, channel, key, static_cast<unsigned char>(e.data[1])});
    } else if (IsNoteOff(e)) {
      auto it = sounding.find({channel, static_cast<unsigned char>(e.data[0])});
      if (it == sounding.end() || it->second.empty()) continue;
      SmfNote& n = notes[it->second.front()];
      n.length = seconds(e.tick) - n.start;
      it->second.erase(it->second.begin());
    }
  }
  const double end = seconds(std::max(smf.endTick, tickAtLast));
  for (auto& [key, open] : sounding)
    for (size_t i : open) notes[i].length = std::max(0.0, end - notes[i].start);
  std::stable_sort(notes.begin(), notes.end(),
                   [](const SmfNote& a, const SmfNote& b) { return a.start < b.start; });
  return notes;
}

}  // namespace fenmora
