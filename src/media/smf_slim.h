// Making a Standard MIDI File smaller without changing how it sounds: the
// tracks merged into one (format 0), system-exclusive messages and text-like
// meta events left out, running status used, and a controller change that
// repeats the value its controller already holds on its channel left out.
// What stays: every other channel message (notes, program and controller
// changes, pitch bend, pressure) at its tick, the one track name that gives
// the melody its title, tempo, time and key signatures, and the end of the
// track.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fenmora {

// The slimmed file, or nullopt when the bytes are not a Standard MIDI File of
// format 0 or 1 that can be read to its end (format 2 holds independent
// sequences, which one track cannot hold).
std::optional<std::string> SlimSmf(std::string_view bytes);

}  // namespace fenmora
