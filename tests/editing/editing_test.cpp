#include "editing/editing.h"

#include <gtest/gtest.h>

#include "support/temp_card.h"
#include "support/scripted_prompts.h"
#include "sync/texts.h"

namespace fenmora {
namespace {

using testcard::ScriptedPrompts;
using testcard::TempFolder;
using testcard::WriteBytes;

// A catalogue of live items named by card name, in list order.
void Fill(MediaCatalogue& c, std::initializer_list<const char*> names) {
  for (const char* n : names) {
    MediaEntry& e = c.Slot(c.count);
    e = MediaEntry{};
    e.position = c.LiveCount() + 1;
    e.cardName = e.sourceName = n;
    e.title = n;
    e.size = 1000;
    ++c.count;
  }
}

std::vector<std::string> Order(const MediaCatalogue& c) {
  std::vector<std::string> out;
  for (int r = 1; r <= c.LiveCount(); ++r) out.push_back(c.EntryAtRow(r)->sourceName);
  return out;
}

TEST(Editing, MovesStopAtTheEnds) {
  MediaCatalogue c;
  Fill(c, {"A", "B", "C"});
  EXPECT_FALSE(MoveUp(c, 1));
  EXPECT_FALSE(MoveDown(c, 3));
  EXPECT_FALSE(MoveDown(c, 0));
  EXPECT_TRUE(MoveUp(c, 3));
  EXPECT_EQ(Order(c), (std::vector<std::string>{"A", "C", "B"}));
  EXPECT_TRUE(MoveDown(c, 1));
  EXPECT_EQ(Order(c), (std::vector<std::string>{"C", "A", "B"}));
  MediaCatalogue empty;
  EXPECT_FALSE(MoveUp(empty, 1));
  EXPECT_FALSE(MoveDown(empty, 1));
}

TEST(Editing, DeleteGoesBehindEarlierDeletions) {
  MediaCatalogue c;
  CardSpace g{1000000, 500000};
  Fill(c, {"1", "2", "3", "4", "5"});
  ASSERT_TRUE(DeleteEntry(c, g, 5));
  ASSERT_EQ(DeleteEntry(c, g, 2), 1000);
  EXPECT_EQ(Order(c), (std::vector<std::string>{"1", "3", "4"}));
  EXPECT_EQ(c.Slot(4).position, 4);  // deleted first
  EXPECT_EQ(c.Slot(1).position, 5);  // deleted last
  EXPECT_EQ(c.count, 5);
  EXPECT_EQ(c.deletedCount, 2);
  EXPECT_EQ(g.used, 498000);
  // The blank row of an emptied list has no entry, although position 1 may
  // belong to a deleted one.
  MediaCatalogue one;
  Fill(one, {"only"});
  ASSERT_TRUE(DeleteEntry(one, g, 1));
  EXPECT_EQ(one.GridRowCount(), 2);
  EXPECT_FALSE(DeleteEntry(one, g, 1));
  EXPECT_FALSE(ApplyTitle(one, 1, "x"));
  EXPECT_FALSE(MoveDown(one, 1));
}

TEST(Editing, RenumberKeepsExtensionsAndLeavesDeletedNames) {
  const HandsetProfile p = HandsetProfile::F900i();
  MediaCatalogue c;
  CardSpace g;
  Fill(c, {"STIL0009.JPG", "STIL0005.jpg", "STIL0001.GIF", "NOEXT"});
  ASSERT_TRUE(DeleteEntry(c, g, 3));  // STIL0001.GIF keeps its name
  Renumber(p, MediaKind::Image, c);
  EXPECT_EQ(c.Slot(0).cardName, "STIL0001.JPG");
  EXPECT_EQ(c.Slot(1).cardName, "STIL0002.jpg");
  EXPECT_EQ(c.Slot(2).cardName, "STIL0001.GIF");
  EXPECT_EQ(c.Slot(3).cardName, "STIL0003");
  MediaCatalogue movies;
  for (int i = 0; i < 16; ++i) Fill(movies, {"x.3gp"});
  Renumber(p, MediaKind::Movie, movies);
  EXPECT_EQ(movies.Slot(9).cardName, "MOL00A.3gp");
  EXPECT_EQ(movies.Slot(15).cardName, "MOL010.3gp");
}

TEST(Editing, TitlesAreCutOnCharacterBoundaries) {
  MediaCatalogue c;
  Fill(c, {"A"});
  const std::string kanji = "\x8a\xbf";
  ASSERT_TRUE(ApplyTitle(c, 1, std::string(63, 'x') + kanji));
  EXPECT_EQ(c.Slot(0).title, std::string(63, 'x'));
  ASSERT_TRUE(ApplyTitle(c, 1, ""));
  EXPECT_EQ(c.Slot(0).title, "");
}

TEST(Editing, FreeNumbersFillGapsAndCountDeletedItems) {
  const HandsetProfile p = HandsetProfile::F900i();
  MediaCatalogue c;
  Fill(c, {"STIL0001.JPG", "STIL0003.JPG"});
  EXPECT_EQ(FreeFileNumber(p, MediaKind::Image, c), 2);
  Fill(c, {"STIL0002.GIF"});
  EXPECT_EQ(FreeFileNumber(p, MediaKind::Image, c), 4);
  // A batch takes the numbers one after the other, never one twice, never
  // one a file on the card holds.
  FreeFileNumbers batch(p, MediaKind::Image, c, {"STIL0005.JPG"});
  EXPECT_EQ(batch.Take(), 4);
  EXPECT_EQ(batch.Take(), 6);
  EXPECT_EQ(batch.Take(), 7);
  MediaCatalogue deleted;
  CardSpace g;
  Fill(deleted, {"STIL0001.JPG"});
  DeleteEntry(deleted, g, 1);
  EXPECT_EQ(FreeFileNumber(p, MediaKind::Image, deleted), 2);
  MediaCatalogue movies;
  for (int i = 1; i <= 9; ++i) Fill(movies, {("MOL00" + std::to_string(i) + ".3GP").c_str()});
  EXPECT_EQ(FreeFileNumber(p, MediaKind::Movie, movies), 10);
  // FAT names ignore case: stil0001.jpg is STIL0001.JPG, and so is a file
  // on the card that no entry lists.
  MediaCatalogue lower;
  Fill(lower, {"stil0001.jpg", "Stil0002.Gif"});
  EXPECT_EQ(FreeFileNumber(p, MediaKind::Image, lower), 3);
  EXPECT_EQ(FreeFileNumber(p, MediaKind::Image, lower, {"STIL0003.JPG", "stil0004.x", "STIL05.JPG"}), 5);
  EXPECT_EQ(FreeFileNumber(p, MediaKind::Movie, movies, {"mol00a.3gp"}), 11);
  // A five-letter extension still holds its number.
  MediaCatalogue jpeg;
  Fill(jpeg, {"STIL0001.JPEG"});
  EXPECT_EQ(FreeFileNumber(p, MediaKind::Image, jpeg), 2);
}

TEST(Editing, FilterTexts) {
  const HandsetProfile p = HandsetProfile::F900i();
  EXPECT_EQ(FileFilterText(p, MediaKind::Image), "待ち受け画像データ|*.JPG;*.GIF;");
  EXPECT_EQ(FileFilterText(p, MediaKind::Melody), "着メロデータ|*.MLD;*.MID;*.SMF;");
  EXPECT_EQ(FileFilterText(p, MediaKind::Movie), "ムービーデータ|*.3GP;*.MP4;*.ASF;");
}

class Queueing : public ::testing::Test {
 protected:
  void SetUp() override {
    s.loaded = true;
    s.cardRoot = card.path();
    s.space = {10 * 1024 * 1024, 0};
  }
  std::filesystem::path File(const std::string& name, size_t size) {
    // Bytes of its own (its name first): files of one size are not copies.
    const auto p = pc.path() / name;
    std::string bytes = (name + std::string(size, 'x')).substr(0, size);
    WriteBytes(p, bytes);
    return p;
  }
  CardSession s;
  TempFolder card{"fenmora-card"};
  TempFolder pc{"fenmora-pc"};
  ScriptedPrompts prompts;
};

TEST_F(Queueing, QueuesBehindLiveItemsWithFreeNames) {
  MediaCatalogue& c = s.Catalogue(MediaKind::Image);
  Fill(c, {"STIL0001.JPG", "STIL0002.JPG"});
  DeleteEntry(c, s.space, 2);  // live 1, deleted at 2
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, File("photo.jpg", 500), prompts), QueueOutcome::Queued);
  const MediaEntry& e = c.Slot(2);
  EXPECT_EQ(e.position, 2);
  EXPECT_EQ(c.Slot(1).position, 3);
  EXPECT_EQ(e.cardName, "STIL0003.JPG");
  EXPECT_EQ(e.cardFolder, "\\PRIVATE\\DOCOMO\\STILL\\");
  EXPECT_EQ(e.sourceName, "photo.jpg");
  EXPECT_EQ(e.sourceFolder, pc.path().string() + "/");
  EXPECT_EQ(e.title, "photo");
  EXPECT_EQ(e.size, 500);
  EXPECT_TRUE(e.queued);
  EXPECT_EQ(e.dateText.size(), 19u);
  EXPECT_EQ(s.space.used, -1000 + 500);
  EXPECT_TRUE(prompts.asked().empty());
}

TEST_F(Queueing, SizeLimitAsksAboveTheLimitOnly) {
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Image, File("exact.jpg", 102400), prompts), QueueOutcome::Queued);
  EXPECT_TRUE(prompts.asked().empty());
  const auto big = File("big.JPG", 102401);
  // The question names the file, then its size and the limit on a line of
  // their own.
  prompts.Expect(Prompts::Question::Oversize, Prompts::Answer::No,
                 std::string(texts::kOversize) + big.string() +
                     "\nファイルサイズ: 102401 バイト　上限: 102400 バイト");
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Image, big, prompts), QueueOutcome::Skipped);
  ASSERT_EQ(prompts.asked().size(), 1u);
}

// A type the handset's profile does not list would lie on the card unshown:
// refused with why, never asked about with a limit of 0.
TEST_F(Queueing, ATypeTheHandsetDoesNotListIsRefusedWithWhy) {
  const auto png = File("pic.png", 10), wav = File("tune.wav", 10), avi = File("clip.avi", 10);
  prompts.ExpectOk(texts::kNotHandsetFormat[0] + png.string())
      .ExpectOk(texts::kNotHandsetFormat[1] + wav.string())
      .ExpectOk(texts::kNotHandsetFormat[2] + avi.string());
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Image, png, prompts), QueueOutcome::Skipped);
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Melody, wav, prompts), QueueOutcome::Skipped);
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Movie, avi, prompts), QueueOutcome::Skipped);
  for (MediaKind k : kListKinds) EXPECT_EQ(s.Catalogue(k).count, 0);
}

// A record holds three letters of extension: a longer one would be cut at
// the next load and the file lost from the list.
TEST_F(Queueing, UsualSpellingsTakeTheHandsetsExtensionAndUnfitOnesAreRefused) {
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Image, File("a.jpeg", 10), prompts), QueueOutcome::Queued);
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Image, File("b.JFIF", 10), prompts), QueueOutcome::Queued);
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Melody, File("c.midi", 10), prompts), QueueOutcome::Queued);
  EXPECT_EQ(s.Catalogue(MediaKind::Image).Slot(0).cardName, "STIL0001.JPG");
  EXPECT_EQ(s.Catalogue(MediaKind::Image).Slot(1).cardName, "STIL0002.JPG");
  EXPECT_EQ(s.Catalogue(MediaKind::Melody).Slot(0).cardName, "RING0001.MID");
  EXPECT_TRUE(prompts.asked().empty());  // the JPG and MID limits, not 0
  for (const char* name : {"photo.tiff", "noextension", "dot.", "melody.jpeg", "x.j-g"}) {
    const MediaKind kind = std::string(name) == "melody.jpeg" ? MediaKind::Melody : MediaKind::Image;
    const auto file = File(name, 10);
    prompts.ExpectOk(texts::kUnfitExtension + file.string());
    EXPECT_EQ(QueueFileForCard(s, kind, file, prompts), QueueOutcome::Skipped) << name;
  }
  EXPECT_EQ(s.Catalogue(MediaKind::Image).count, 2);
  EXPECT_EQ(s.Catalogue(MediaKind::Melody).count, 1);
  EXPECT_EQ(s.space.used, 30);
}

TEST_F(Queueing, AnEmptyFileIsRefusedWithAWarning) {
  const auto empty = File("empty.jpg", 0);
  prompts.ExpectOk(texts::kEmptyFile + empty.string());
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Image, empty, prompts), QueueOutcome::Skipped);
  ASSERT_EQ(prompts.asked().size(), 1u);
  EXPECT_EQ(prompts.asked()[0].icon, Prompts::Icon::Warning);
  EXPECT_EQ(s.Catalogue(MediaKind::Image).count, 0);
}

TEST_F(Queueing, BytesAlreadyInTheKindAskBeforeTheyAreAddedAgain) {
  // One image on the card, one queued before: the same bytes under another
  // name ask, naming the item that holds them; other bytes of the same size
  // and the same bytes in another kind do not.
  MediaCatalogue& images = s.Catalogue(MediaKind::Image);
  Fill(images, {"STIL0001.JPG"});
  images.Slot(0).sourceFolder = "\\PRIVATE\\DOCOMO\\STILL\\";
  images.Slot(0).title = "\x8A\x43";  // 海 in CP932
  images.Slot(0).size = 4;
  WriteBytes(card.path() / "PRIVATE/DOCOMO/STILL/STIL0001.JPG", "sea!");
  const auto copy = pc.path() / "copy.jpg";
  WriteBytes(copy, "sea!");
  const auto other = pc.path() / "other.jpg";
  WriteBytes(other, "sky!");
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Image, other, prompts), QueueOutcome::Queued);
  const auto movie = pc.path() / "copy.3gp";
  WriteBytes(movie, "sea!");
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Movie, movie, prompts), QueueOutcome::Queued);
  EXPECT_TRUE(prompts.asked().empty());

  prompts.Expect(Prompts::Question::Duplicate, Prompts::Answer::No,
                 std::string(texts::kSameContent) + "STIL0001.JPG「海」" + texts::kSameContentQuestion +
                     copy.string());
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Image, copy, prompts), QueueOutcome::Skipped);
  // A queued file counts as well, and Yes adds the file all the same.
  const auto again = pc.path() / "again.jpg";
  WriteBytes(again, "sky!");
  prompts.Expect(Prompts::Question::Duplicate, Prompts::Answer::Yes);
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Image, again, prompts), QueueOutcome::Queued);
  ASSERT_EQ(prompts.asked().size(), 2u);
  EXPECT_NE(prompts.asked()[1].text.find("STIL0002.JPG"), std::string::npos);
  EXPECT_EQ(images.LiveCount(), 3);
  // An item marked for deletion no longer counts.
  DeleteEntry(images, s.space, 1);
  const auto third = pc.path() / "third.jpg";
  WriteBytes(third, "sea!");
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Image, third, prompts), QueueOutcome::Queued);
  EXPECT_EQ(prompts.asked().size(), 2u);
}

TEST_F(Queueing, StopsWhenTheCardIsFullAndRefusesUnreadableFiles) {
  s.space = {1000, 400};
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Movie, File("a.3gp", 600), prompts), QueueOutcome::Queued);
  EXPECT_EQ(s.space.Free(), 0);  // exactly filling the card passes
  prompts.ExpectOk(texts::kNoSpace).ExpectOk().ExpectOk();
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Movie, File("b.3gp", 1), prompts), QueueOutcome::NoSpace);
  EXPECT_EQ(s.Catalogue(MediaKind::Movie).count, 1);
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Movie, pc.path() / "missing.3gp", prompts), QueueOutcome::Skipped);
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Movie, pc.path(), prompts), QueueOutcome::Skipped);
  EXPECT_EQ(s.Catalogue(MediaKind::Movie).count, 1);
  EXPECT_EQ(s.Catalogue(MediaKind::Movie).Slot(0).cardName, "MOL001.3GP");
}

// Sizes are 64 bits: a file over 2 GiB is asked about with its true size,
// and one larger than a record's 32-bit size field is refused (it would be
// listed as its low 32 bits: 2^32 + 50,000 as 50,000, without a question).
TEST_F(Queueing, LargeFilesKeepTheirSizeAndTooLargeOnesAreRefused) {
  s.space = {std::int64_t{1} << 40, 0};
  const auto sparse = [&](const char* name, std::uintmax_t size) {
    const auto p = File(name, 1);
    std::error_code ec;
    std::filesystem::resize_file(p, size, ec);  // takes no room
    return ec ? std::filesystem::path() : p;
  };
  const auto huge = sparse("huge.3gp", 0x100000000ULL + 50000);
  if (huge.empty()) GTEST_SKIP() << "no sparse files here";
  prompts.ExpectOk(texts::kTooLargeForTable + huge.string() +
                   "\nファイルサイズ: 4295017296 バイト　上限: 4294967295 バイト");
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Movie, huge, prompts), QueueOutcome::Skipped);
  EXPECT_EQ(s.Catalogue(MediaKind::Movie).count, 0);
  EXPECT_EQ(s.space.used, 0);

  const auto large = sparse("large.3gp", 0x80000005ULL);
  prompts.Expect(Prompts::Question::Oversize, Prompts::Answer::Yes,
                 std::string(texts::kOversize) + large.string() +
                     "\nファイルサイズ: 2147483653 バイト　上限: 307200 バイト");
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Movie, large, prompts), QueueOutcome::Queued);
  EXPECT_EQ(s.Catalogue(MediaKind::Movie).Slot(0).size, 2147483653LL);
  EXPECT_EQ(s.space.used, 2147483653LL);
  EXPECT_EQ(RowOf(s.Catalogue(MediaKind::Movie).Slot(0)).size, "2147483653");
  EXPECT_EQ(DeleteEntry(s.Catalogue(MediaKind::Movie), s.space, 1), 2147483653LL);
  EXPECT_EQ(s.space.used, 0);
}

// Only plain files are queued: a FIFO, a device or a folder is refused
// without being opened (a FIFO would hold the program for ever).
TEST_F(Queueing, OnlyPlainFilesAreQueuedAndNothingElseIsOpened) {
  testcard::WatchedFifo fifo(pc.path() / "pipe.jpg");
  const auto folder = pc.path() / "album.jpg";
  std::filesystem::create_directory(folder);
  for (const std::string& path : {fifo.str(), folder.string(), std::string("/dev/zero")}) {
    prompts.ExpectOk(texts::kNotAPlainFile + path);
    EXPECT_EQ(QueueFileForCard(s, MediaKind::Image, path, prompts), QueueOutcome::Skipped) << path;
  }
  EXPECT_EQ(prompts.asked().size(), 3u);
  EXPECT_EQ(s.Catalogue(MediaKind::Image).count, 0);
  // A queued file that became a FIFO afterwards is not read when the next
  // file of its size is compared with it.
  const auto queued = File("queued.jpg", 5);
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, queued, prompts), QueueOutcome::Queued);
  std::filesystem::remove(queued);
  testcard::WatchedFifo replaced(queued);
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Image, File("other.jpg", 5), prompts), QueueOutcome::Queued);
  EXPECT_FALSE(fifo.Opened());
  EXPECT_FALSE(replaced.Opened());
}

// Every file takes whole clusters: on a card with 22 free clusters of 4 KiB
// (90,112 bytes) a file of 90,000 bytes (22 clusters) fits only when nothing
// else is queued; a 1-byte file takes a whole cluster.
TEST_F(Queueing, TheCardsFreeSpaceCountsWholeClusters) {
  s.space = {};
  s.space.Init(1 << 30, 22 * 4096, 4096);
  EXPECT_EQ(s.space.Footprint(90000), 22 * 4096);
  EXPECT_EQ(s.space.Footprint(4096), 4096);
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Image, File("dot.gif", 1), prompts), QueueOutcome::Queued);
  EXPECT_EQ(s.space.Free(), 21 * 4096);
  const auto photo = File("photo.jpg", 90000);
  prompts.ExpectOk(texts::kNoSpace);
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Image, photo, prompts), QueueOutcome::NoSpace);
  // Taking the small one back frees its cluster: now it fits, exactly.
  ASSERT_TRUE(DeleteEntry(s.Catalogue(MediaKind::Image), s.space, 1));
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Image, photo, prompts), QueueOutcome::Queued);
  EXPECT_EQ(s.space.Free(), 0);
  EXPECT_EQ(prompts.asked().size(), 1u);
}

TEST_F(Queueing, FullKindRefusesTheFile) {
  MediaCatalogue& c = s.Catalogue(MediaKind::Melody);
  for (int i = 0; i < MediaCatalogue::kSlots; ++i) Fill(c, {"RING.MID"});
  prompts.ExpectOk();
  EXPECT_EQ(QueueFileForCard(s, MediaKind::Melody, File("a.mid", 10), prompts), QueueOutcome::Full);
  EXPECT_EQ(c.count, MediaCatalogue::kSlots);
  EXPECT_EQ(prompts.asked().size(), 1u);
}

TEST_F(Queueing, MelodiesTakeTheirOwnTitles) {
  // An MLD file with a "titl" chunk and a "sorc" end marker.
  std::string mld = "melo" + std::string(4, '\0') + std::string(2, '\0') + std::string(3, '\1');
  mld += "titl";
  mld += std::string("\x00\x04", 2) + "\x89\xb9\x8a\x79" + "sorc" + std::string(4, '\0');
  const auto m = pc.path() / "tune.mld";
  WriteBytes(m, mld);
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Melody, m, prompts), QueueOutcome::Queued);
  EXPECT_EQ(s.Catalogue(MediaKind::Melody).Slot(0).title, "\x89\xb9\x8a\x79");
  ASSERT_EQ(QueueFileForCard(s, MediaKind::Melody, File("名前.mid", 40), prompts), QueueOutcome::Queued);
  EXPECT_EQ(s.Catalogue(MediaKind::Melody).Slot(1).title, "\x96\xbc\x91\x4f");  // CP932 of 名前
}

}  // namespace
}  // namespace fenmora

namespace fenmora {
namespace {

TEST_F(Queueing, ABatchTakesTheNamesTheSearchWouldGive) {
  const HandsetProfile p = HandsetProfile::F900i();
  MediaCatalogue& c = s.Catalogue(MediaKind::Image);
  Fill(c, {"STIL0001.JPG", "STIL0003.GIF", "STIL0007.JPG", "STIL0004.JPEG"});
  DeleteEntry(c, s.space, 3);
  FileQueue batch(s, MediaKind::Image, prompts);
  for (int i = 0; i < 6; ++i) {
    // What searching the whole catalogue again gives for the next file.
    const std::string expected = p.ContentFileName(MediaKind::Image, FreeFileNumber(p, MediaKind::Image, c), ".JPG");
    ASSERT_EQ(batch.Add(File("f" + std::to_string(i) + ".jpg", 10)), QueueOutcome::Queued);
    EXPECT_EQ(c.Slot(c.count - 1).cardName, expected);
  }
  EXPECT_EQ(c.Slot(c.count - 1).cardName, "STIL0010.JPG");
}

}  // namespace
}  // namespace fenmora
