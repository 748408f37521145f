// fenmora-cli midi and export: melodies as Standard MIDI Files, and the whole
// card copied out as files a computer plays. Neither writes to the card, and
// neither ever replaces a file that exists.
#pragma once

#include <filesystem>
#include <string>

#include "catalogue/catalogue.h"
#include "cli/commands.h"

namespace fenmora::cli {

// SOURCE (an MFi melody, converted; a Standard MIDI File, copied as it is) as
// a MIDI file at DEST. 0 done, 1 SOURCE is no melody that can be read or
// DEST cannot be written (or exists), with the reason on io.err.
int RunMidi(const std::filesystem::path& source, const std::filesystem::path& dest, Streams io);

// Every item of the three lists of the card copied into DIR/images,
// DIR/melodies and DIR/movies as "001 <title>.<ext>", each MLD melody also as
// "001 <title>.mid" beside it. 0 all copied, 1 a file was not (each named on
// io.err), 2 no card at CARD or DIR lies on the card.
int RunExport(const std::filesystem::path& card, const std::filesystem::path& into, Streams io);

// The file name an item is exported under: its position (three digits at
// least, `width` when more), a space, its title (UTF-8; the card name's stem
// when it has none) with what a file name cannot hold on a computer's disk or
// a memory card replaced by "_", and the card name's extension in lower case.
std::string ExportName(int position, int width, const MediaEntry& entry);

}  // namespace fenmora::cli
