#include "media/smf_slim.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "media/smf_read.h"

namespace fenmora {

namespace {

// The meta events a handset uses: track name (title), tempo, time and key
// signature. The end of the track is written anew.
bool KeptMeta(std::uint8_t type) { return type == 0x03 || type == 0x51 || type == 0x58 || type == 0x59; }

// The controller values each channel holds in the slimmed file so far. A
// controller change that sends the value its controller already holds
// changes nothing heard and is left out; sequencers resend volume or
// expression before every note.
class ControllerMemory {
 public:
  // True when the change must be written (and remembers its value).
  bool Keep(int channel, int controller, int value) {
    auto& values = values_[static_cast<size_t>(channel)];
    if (controller == 121) {  // reset all controllers: the values are the synthesizer's again
      std::memset(values.data(), 0, values.size());
      return true;
    }
    // Data increment and decrement act each time; channel mode messages
    // (120 and up) are commands, not values.
    if (controller == 96 || controller == 97 || controller >= 120) return true;
    std::uint8_t& held = values[static_cast<size_t>(controller)];
    const auto sent = static_cast<std::uint8_t>(value + 1);
    if (held == sent) return false;
    held = sent;
    return true;
  }

 private:
  std::array<std::array<std::uint8_t, 128>, 16> values_{};  // value + 1; 0: never sent
};

}  // namespace

std::optional<std::string> SlimSmf(std::string_view bytes) {
  const auto smf = ReadSmf(bytes);
  if (!smf) return std::nullopt;

  std::string track;
  std::uint64_t at = 0;
  std::uint8_t running = 0;
  bool haveTitle = false;
  ControllerMemory controllers;
  // A delta time holds at most 28 bits; left-out events may have split a
  // longer pause, which one track cannot then say.
  constexpr std::uint64_t kMaxDelta = 0x0FFFFFFF;
  for (const SmfEvent& e : smf->events) {
    if (e.status == 0xF0 || e.status == 0xF7) continue;
    if (e.status == 0xFF) {
      if (!KeptMeta(e.metaType)) continue;
      if (e.metaType == 0x03) {
        // Only the first name read gives the title; the others are labels.
        if (haveTitle) continue;
        haveTitle = true;
      }
    }
    if ((e.status & 0xF0) == 0xB0 &&
        !controllers.Keep(e.status & 0x0F, static_cast<unsigned char>(e.data[0]),
                          static_cast<unsigned char>(e.data[1])))
      continue;
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
  const std::uint64_t end = smf->endTick;
  if (end > at && end - at > kMaxDelta) return std::nullopt;
  PutVlq(track, end > at ? end - at : 0);
  track += std::string("\xFF\x2F\x00", 3);
  if (track.size() > 0xFFFFFFFFu) return std::nullopt;

  std::string out = "MThd";
  PutBe(out, 6, 4);
  PutBe(out, 0, 2);
  PutBe(out, 1, 2);
  PutBe(out, static_cast<std::uint32_t>(smf->division), 2);
  out += "MTrk";
  PutBe(out, static_cast<std::uint32_t>(track.size()), 4);
  out += track;
  return out;
}

}  // namespace fenmora
