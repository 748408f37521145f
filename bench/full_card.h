// A full card for the benchmarks: 1024 images, 1024 melodies and 1024 movies
// (16 + 16 + 16 table files written by the program's own table writer) and a
// small content file for each item, laid out as the handset lays them out.
// Shared by card_bench and window_bench; no Qt.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace fenmora::bench {

// Replaces whatever is at root with a full card, or with a card holding
// itemsPerKind items of each kind (numbered 1..itemsPerKind).
void MakeFullCard(const std::filesystem::path& root, int itemsPerKind = 1024);

// Puts a card made by MakeFullCard (and changed since by renames and
// deletions of its items' files) back as MakeFullCard made it: each item's
// file, told by what it holds, renamed back to its place, the missing ones
// written again, the tables rewritten, anything else removed. Much cheaper
// than making it again where removing a file is slow (a file system mounted
// with discard). Makes the card if root is not there.
void RestoreFullCard(const std::filesystem::path& root, int itemsPerKind = 1024);

// Writes a file, making its folders first.
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// The place on the host of a card path written with backslashes
// ("\SD_VIDEO\..."), below root.
std::filesystem::path HostPath(const std::filesystem::path& root, const std::string& cardPath);

// The file of a kind's item at a position (1 = first) on a card made by
// MakeFullCard.
std::filesystem::path FullCardItemPath(const std::filesystem::path& root, int kindIndex, int position);

// The files of all 1024 items of a kind (index 0 = position 1), as placed on
// any card made by MakeFullCard.
std::vector<std::filesystem::path> FullCardItemPaths(const std::filesystem::path& root, int kindIndex);

// The bytes of that item's file as MakeFullCard writes them: each item's
// first 64 are its own, so that a file can be told by what it holds, and
// each item's file has a size of its own (64 bytes and more).
std::string FullCardItemContent(int kindIndex, int position);

}  // namespace fenmora::bench
