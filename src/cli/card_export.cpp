#include "cli/card_export.h"

#include <algorithm>
#include <iostream>
#include <system_error>

#include "cli/cli_prompts.h"
#include "cli/cli_texts.h"
#include "media/mfi_midi.h"
#include "media/smf_read.h"
#include "platform/cardpath.h"
#include "platform/cp932.h"
#include "platform/fileops.h"
#include "profile/profile.h"
#include "sync/card_lock.h"
#include "sync/load.h"

namespace fenmora::cli {

namespace fs = std::filesystem;

namespace {

// A melody is read whole; the handset's are at most 40 KB.
constexpr std::int64_t kMaxMelodyBytes = 4 * 1024 * 1024;
// Bytes of a file name the common file systems all hold.
constexpr size_t kMaxNameBytes = 240;

// Writes bytes to `to`, which must not exist: through a scratch name in the
// same folder and a rename that never replaces a file. False (with why) when
// `to` or the scratch name exists or a write fails; nothing is left behind.
bool WriteNew(FileOps& ops, const fs::path& to, std::string_view bytes, std::string& why) {
  const fs::path scratch = fs::path(to).concat(".fmpart");
  if (ops.Exists(to)) {
    why = say::kNeverReplaced;
    return false;
  }
  if (ops.Exists(scratch)) {
    why = Fill(say::kScratchInTheWay, {scratch.filename().string()});
    return false;
  }
  if (OpResult written = ops.WriteFile(scratch, bytes); !written) {
    ops.Remove(scratch);
    why = written.error;
    return false;
  }
  if (OpResult renamed = ops.Rename(scratch, to); !renamed) {
    ops.Remove(scratch);
    why = ops.Exists(to) ? say::kNeverReplaced : renamed.error;
    return false;
  }
  return true;
}

// A MIDI file from melody bytes: an MFi melody converted, a Standard MIDI
// File as it is. nullopt with why when they are neither.
std::optional<std::string> MidiOf(const std::string& bytes, std::string& why, MfiLeftOut* leftOut) {
  if (bytes.compare(0, 4, "melo") == 0) {
    auto converted = ConvertMfiToSmf(bytes, &why);
    if (!converted) return std::nullopt;
    if (leftOut) *leftOut = converted->leftOut;
    return std::move(converted->smf);
  }
  if (ReadSmf(bytes)) return bytes;
  why = bytes.compare(0, 4, "MThd") == 0 ? say::kMidiCutShort : say::kNotAMelody;
  return std::nullopt;
}

std::string LeftOutLine(const MfiLeftOut& leftOut) {
  std::string line;
  if (leftOut.Any()) line += Fill(say::kLeftOut, {DescribeLeftOut(leftOut)}) + "\n";
  if (leftOut.loopIgnored) line += std::string(say::kPlaysOnce) + "\n";
  if (leftOut.truncated) line += std::string(say::kEndsInside) + "\n";
  return line;
}

bool Forbidden(unsigned char c) {
  return c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
         c == '<' || c == '>' || c == '|';
}

// Cuts UTF-8 text to at most n bytes, on a character boundary.
std::string CutUtf8(std::string text, size_t n) {
  if (text.size() <= n) return text;
  size_t cut = n;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text;
}

}  // namespace

std::string ExportName(int position, int width, const MediaEntry& entry) {
  const std::string ext = ExtensionOf(entry.cardName);
  std::string title = Cp932ToUtf8(entry.title);
  if (title.empty()) title = entry.cardName.substr(0, entry.cardName.size() - ext.size());
  for (char& c : title)
    if (Forbidden(static_cast<unsigned char>(c))) c = '_';
  // Windows and FAT drop trailing dots and spaces.
  while (!title.empty() && (title.back() == '.' || title.back() == ' ')) title.pop_back();
  std::string number = std::to_string(position);
  number.insert(0, static_cast<size_t>(std::max(0, std::max(width, 3) - static_cast<int>(number.size()))), '0');
  std::string lowerExt = ext;
  std::transform(lowerExt.begin(), lowerExt.end(), lowerExt.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  for (char& c : lowerExt)
    if (Forbidden(static_cast<unsigned char>(c))) c = '_';
  const std::string head = number + (title.empty() ? "" : " ");
  return head + CutUtf8(title, kMaxNameBytes - std::min(kMaxNameBytes, head.size() + lowerExt.size() + 4)) +
         lowerExt;
}

int RunMidi(const fs::path& source, const fs::path& dest, Streams io) {
  RealFileOps ops;
  std::string bytes;
  if (OpResult read = ops.ReadPrefix(source, kMaxMelodyBytes + 1, bytes); !read) {
    io.err << Fill(say::kCannotRead, {source.string(), read.error}) << "\n";
    return kExitProblems;
  }
  if (static_cast<std::int64_t>(bytes.size()) > kMaxMelodyBytes) {
    io.err << Fill(say::kMelodyTooLarge, {source.string(), std::to_string(kMaxMelodyBytes / (1024 * 1024))})
           << "\n";
    return kExitProblems;
  }
  std::string why;
  MfiLeftOut leftOut;
  const auto midi = MidiOf(bytes, why, &leftOut);
  if (!midi) {
    io.err << Fill(say::kNotReadAsMelody, {source.string(), why}) << "\n";
    return kExitProblems;
  }
  io.err << LeftOutLine(leftOut);
  if (!WriteNew(ops, dest, *midi, why)) {
    io.err << Fill(say::kNotWritten, {dest.string(), why}) << "\n";
    return kExitProblems;
  }
  return kExitOk;
}

int RunExport(const fs::path& card, const fs::path& into, Streams io) {
  std::error_code ec;
  if (!fs::is_directory(card, ec)) {
    io.err << Fill(say::kNoCardAt, {card.string()}) << "\n";
    return kExitUsage;
  }
  const fs::path root = fs::absolute(into);
  if (IsInside(fs::absolute(card), root)) {
    io.err << Fill(say::kExportOnCard, {root.string()}) << "\n";
    return kExitUsage;
  }
  // The card is read under its lock: no commit moves a file between the
  // lists being read and the files being copied under their titles.
  const CardLock::Taken lock = CardLock::Take(card);
  if (!lock.lock) {
    io.err << lock.message << "\n" << say::kNothingExported << "\n";
    return kExitProblems;
  }
  CliPrompts prompts(io.err, false);
  prompts.SetSubject(card.string());
  CardSession session;
  SilentProgress progress;
  const LoadResult loaded = LoadCard(session, card, prompts, progress, InterruptedChoice::Tables);
  if (!loaded.Completed()) return kExitUsage;
  if (loaded.interrupted) {
    // Its files are between two states; the lists would not name them all.
    io.err << say::kExportInterrupted << Fill(say::kRecoveryCommands, {card.string()});
    return kExitProblems;
  }

  RealFileOps ops;
  int problems = 0;
  int written = 0;
  auto put = [&](const fs::path& to, std::string_view bytes) {
    std::string why;
    if (WriteNew(ops, to, bytes, why)) {
      io.out << to.string() << "\n";
      ++written;
      return;
    }
    io.err << Fill(say::kNotExported, {to.string(), why}) << "\n";
    ++problems;
  };
  for (MediaKind kind : kListKinds) {
    const MediaCatalogue& list = session.Catalogue(kind);
    if (list.LiveCount() == 0) continue;
    const fs::path folder = root / PluralKind(kind);
    if (OpResult made = ops.MakeFolders(folder); !made) {
      io.err << Fill(say::kCannotMake, {folder.string(), made.error}) << "\n";
      problems += list.LiveCount();
      continue;
    }
    const int width = static_cast<int>(std::to_string(list.LiveCount()).size());
    for (int row = 1; row <= list.LiveCount(); ++row) {
      const MediaEntry* entry = list.EntryAtRow(row);
      if (!entry) continue;
      const auto from = ResolveCardPath(card, entry->sourceFolder, entry->sourceName);
      const fs::path to = folder / ExportName(row, width, *entry);
      std::string bytes;
      // A plain file only (a fifo or a device would block), read as it is now.
      const FileStat stat = from ? ops.Stat(*from) : FileStat{};
      OpResult read = !from             ? OpResult::Fail(say::kOutsideTheCard)
                      : !stat.regular   ? OpResult::Fail(kNotPlainFile)
                                        : ops.ReadPrefix(*from, stat.size + 1, bytes);
      if (read && static_cast<std::int64_t>(bytes.size()) != stat.size) read = OpResult::Fail(say::kChangedWhileRead);
      if (!read) {
        io.err << Fill(say::kNotExported, {to.string(), Fill(say::kCardFileUnreadable, {read.error})}) << "\n";
        ++problems;
        continue;
      }
      put(to, bytes);
      if (kind != MediaKind::Melody || AsciiUpper(ExtensionOf(entry->cardName)) != ".MLD") continue;
      std::string why;
      MfiLeftOut leftOut;
      const auto midi = MidiOf(bytes, why, &leftOut);
      const fs::path mid = fs::path(to).replace_extension(".mid");
      if (!midi) {
        io.err << Fill(say::kNotConverted, {mid.string(), why}) << "\n";
        ++problems;
        continue;
      }
      if (leftOut.Any())
        io.err << mid.filename().string() << ": " << Fill(say::kLeftOut, {DescribeLeftOut(leftOut)}) << "\n";
      put(mid, *midi);
    }
  }
  io.err << Fill(say::kExported, {std::to_string(written), root.string()});
  if (problems > 0) io.err << Fill(say::kNotExportedCount, {std::to_string(problems)});
  io.err << "\n";
  return problems == 0 ? kExitOk : kExitProblems;
}

}  // namespace fenmora::cli
