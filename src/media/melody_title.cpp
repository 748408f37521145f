#include "media/melody_title.h"

#include <algorithm>
#include <array>
#include <cerrno>

#include "media/mfi_midi.h"
#include "platform/fileops.h"

namespace fenmora {

namespace {

// The tags that end the title of an MLD file: the chunks the handset's own
// melodies put after "titl".
constexpr std::array<std::string_view, 5> kMldEndTags = {"copy", "prot", "sorc", "note", "trac"};
constexpr size_t kMldTagOffset = 13;
constexpr size_t kMldTitleOffset = 19;

// The first maxBytes bytes of a file (fewer when the file is shorter); empty
// when it cannot be read or is no plain file.
std::string ReadHead(const std::filesystem::path& path, size_t maxBytes) {
  std::string bytes;
  if (!RealFileOps().ReadPrefix(path, static_cast<std::int64_t>(maxBytes), bytes)) return {};
  return bytes;
}

bool IsMldEndTag(std::string_view bytes, size_t p) {
  if (p + 4 > bytes.size()) return false;  // a tag must lie wholly inside the file
  const std::string_view tag = bytes.substr(p, 4);
  return std::find(kMldEndTags.begin(), kMldEndTags.end(), tag) != kMldEndTags.end();
}

}  // namespace

std::string ParseMldTitle(std::string_view bytes) {
  if (bytes.size() < kMldTagOffset + 4) return {};
  if (bytes.substr(kMldTagOffset, 4) != "titl") {
    // Files that begin with "sorc" or "vers": the title chunk is found
    // wherever it stands among the info chunks, and ends with its length.
    std::string title = FindMfiTitleChunk(bytes);
    title.resize(std::min(title.size(), kMldTitleBuffer));
    return title.substr(0, title.find('\0'));
  }

  // The end-marker scan starts at the very first byte, not at the title, so a
  // title whose text holds "note" ends there.
  size_t end = 0;
  while (end < kMldScanLimit && !IsMldEndTag(bytes, end)) ++end;

  // A span past the end of the file ends with the file; one longer than the
  // title buffer is cut to the buffer.
  end = std::min(end, bytes.size());
  if (end <= kMldTitleOffset) return {};
  std::string_view title = bytes.substr(kMldTitleOffset, end - kMldTitleOffset);
  title = title.substr(0, kMldTitleBuffer);
  const size_t zero = title.find('\0');
  if (zero != std::string_view::npos) title = title.substr(0, zero);
  return std::string(title);
}

std::string ParseSmfTrackName(std::string_view bytes) {
  // A byte-stream scan: every read moves the position on by one, and the
  // position test comes only before each candidate 0xFF.
  size_t pos = 0;
  bool pastEnd = false;
  auto next = [&]() -> int {
    if (pos >= bytes.size()) {
      pastEnd = true;
      return -1;
    }
    return static_cast<unsigned char>(bytes[pos++]);
  };

  for (;;) {
    if (pastEnd || pos >= kSmfScanLimit) return {};
    if (next() != 0xFF) continue;
    if (next() != 0x03) continue;  // in FF FF 03 the second FF is used up here
    const int length = next();
    if (length < 0) return {};
    // A name cut short by the end of the file keeps only the bytes present.
    const size_t available = bytes.size() - pos;
    return std::string(bytes.substr(pos, std::min(static_cast<size_t>(length), available)));
  }
}

std::string ReadMldTitle(const std::filesystem::path& path) {
  // The last tag the scan can look at starts at kMldScanLimit - 1.
  return ParseMldTitle(ReadHead(path, kMldScanLimit + 3));
}

std::string ReadSmfTrackName(const std::filesystem::path& path) {
  // A 0xFF at kSmfScanLimit - 1, then 0x03, the length byte and 255 bytes of name.
  return ParseSmfTrackName(ReadHead(path, kSmfScanLimit + 257));
}

}  // namespace fenmora
