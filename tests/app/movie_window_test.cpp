// Movies in the window: the picture of the selected movie and its length and
// frame size, the conversion of a dropped phone video with its progress
// dialog, and キャンセル in the middle of it.
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressDialog>
#include <QTimer>

#include "app/window_fixture.h"
#include "convert/handset_fit.h"
#include "convert/movie_texts.h"
#include "movie/movie.h"
#include "movie/test_movies.h"

namespace fenmora::testcard {
namespace {

namespace fs = std::filesystem;
using Answer = Prompts::Answer;
using Question = Prompts::Question;
using movie::test::MakeMovie;
using movie::test::SourceMovie;

class MovieWindow : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ShowWindow();
  }
  std::string Movie(const SourceMovie& m) {
    const fs::path file = pc.path() / "source.mp4";
    EXPECT_TRUE(MakeMovie(file, m));
    return ReadBytes(file);
  }
  QPixmap Shown() { return Find<QLabel>("DispPrev")->pixmap(); }
  QString Status() { return Find<QLabel>("StatusPanel0")->text(); }
  // Watches the conversion's progress dialog while the window runs it.
  void WatchProgress(const std::function<void(QProgressDialog*)>& onTick) {
    auto* timer = new QTimer(window.get());
    QObject::connect(timer, &QTimer::timeout, [this, onTick] {
      if (auto* dialog = window->findChild<QProgressDialog*>("MovieProgress")) onTick(dialog);
    });
    timer->start(10);
  }
  std::size_t FilesIn(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  }
  TempDir pc;
};

TEST_F(MovieWindow, SelectingAMovieShowsItsPictureLengthAndSizeAndOnlyTheLastOne) {
  WriteKind(card.path(), MediaKind::Movie,
            {Item("MOL001.MP4", "横", Movie({.width = 320, .height = 240, .fps = 30, .seconds = 2})),
             Item("MOL002.MP4", "縦", Movie({.width = 240, .height = 320, .fps = 30, .seconds = 3})),
             Item("MOL003.3GP", "壊れた", "not a movie")});
  LoadCard();
  prompts.Clear();
  ClickRow(MediaKind::Movie, 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Shown().isNull(); }, 5000));
  EXPECT_EQ(Shown().size(), QSize(145, 109));
  EXPECT_EQ(Status(), "0:02　320×240");

  // Quickly one after the other: the last one selected is what stays.
  for (int row : {2, 1, 2, 1, 2}) ClickRow(MediaKind::Movie, row);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Status() == "0:03　240×320"; }, 5000));
  QTest::qWait(300);
  EXPECT_EQ(Shown().size(), QSize(109, 145));
  EXPECT_EQ(Status(), "0:03　240×320");

  // A file that cannot be decoded: an empty pane, no message, and the line
  // of the movie before gone from the status bar.
  ClickRow(MediaKind::Movie, 3);
  QTest::qWait(300);
  EXPECT_TRUE(Shown().isNull());
  EXPECT_TRUE(Status().isEmpty());
  EXPECT_TRUE(prompts.Texts().empty());
}

TEST_F(MovieWindow, ADroppedPhoneVideoIsConvertedBehindAProgressDialog) {
  WriteKind(card.path(), MediaKind::Movie, {});
  LoadCard();
  prompts.Clear();
  const fs::path clip = pc.path() / "花火.mp4";
  ASSERT_TRUE(MakeMovie(clip, {.width = 1280, .height = 720, .fps = 60, .seconds = 2}));
  const std::string before = ReadBytes(clip);
  QString label;
  int highest = 0;
  WatchProgress([&](QProgressDialog* d) {
    label = d->labelText();
    highest = std::max(highest, d->value());
  });
  prompts.Expect(Question::ConvertMovie, Answer::Yes, texts::kConvertMovie + clip.string());
  ASSERT_TRUE(DropOnGrid(MediaKind::Movie, {clip}));
  EXPECT_TRUE(label.contains("花火.mp4"));
  EXPECT_GT(highest, 0);
  EXPECT_EQ(Column(MediaKind::Movie, 0), (std::vector<QString>{"MOL001.3GP"}));
  EXPECT_EQ(Cell(MediaKind::Movie, 1, 3), "花火");
  const MediaEntry& e = session.Catalogue(MediaKind::Movie).Slot(0);
  EXPECT_TRUE(movie::HandsetPlays(movie::ProbeMovie(fs::path(e.sourceFolder) / e.sourceName)));
  EXPECT_EQ(ReadBytes(clip), before);
  // The preview shows the converted copy: the handset's frame size.
  ClickRow(MediaKind::Movie, 1);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Status().isEmpty() && Status().endsWith("176×144"); }, 5000));
}

TEST_F(MovieWindow, CancelStopsTheConversionAndQueuesNothing) {
  WriteKind(card.path(), MediaKind::Movie, {});
  LoadCard();
  prompts.Clear();
  const fs::path clip = pc.path() / "clip.mkv";
  // Long enough that the cancel lands well before the end on a busy machine.
  ASSERT_TRUE(MakeMovie(clip, {.width = 1280, .height = 720, .fps = 60, .seconds = 12, .container = "matroska"}));
  const fs::path scratch = convert::SessionFolder();
  const std::size_t filesBefore = FilesIn(scratch);
  QElapsedTimer sinceCancel;
  WatchProgress([&](QProgressDialog* d) {
    if (d->value() >= 5 && !sinceCancel.isValid()) {
      sinceCancel.start();
      d->cancel();
    }
  });
  prompts.Expect(Question::ConvertMovie, Answer::Yes);
  ASSERT_TRUE(DropOnGrid(MediaKind::Movie, {clip}));
  ASSERT_TRUE(sinceCancel.isValid());
  // (Stopped, not run to its end: the rest of the movie takes far longer.)
  EXPECT_LT(sinceCancel.elapsed(), 3000);
  EXPECT_EQ(session.Catalogue(MediaKind::Movie).count, 0);
  EXPECT_EQ(FilesIn(scratch), filesBefore);
  EXPECT_FALSE(Find<QWidget>("btRefreshData")->isEnabled());
}

// A fault inside the codecs (here a helper that aborts halfway through, as
// FFmpeg 5.1's double free did) is a message: the window and its edits
// stay, and the half-written copy goes.
TEST_F(MovieWindow, ACodecCrashIsAMessageAndTheEditsStay) {
  WriteKind(card.path(), MediaKind::Movie, {Item("MOL001.3GP", "花火", "x")});
  LoadCard();
  prompts.Clear();
  ClickRow(MediaKind::Movie, 1);
  Find<QLineEdit>("edMovieTitle")->setText(QStringLiteral("夏の花火"));
  Click("btEditMovie");
  ASSERT_EQ(Cell(MediaKind::Movie, 1, 3), "夏の花火");

  const fs::path helper = pc.Write("helper.sh",
                                   "#!/bin/sh\n"
                                   "case \"$1\" in\n"
                                   "probe) echo 'facts status=4 container=matroska,webm vcodec=h264 width=640 "
                                   "height=360 fps=30 seconds=2 bytes=1000' ;;\n"
                                   "convert) printf x > \"$3\"; echo 'progress 0.3'; kill -ABRT $$ ;;\n"
                                   "*) kill -SEGV $$ ;;\n"
                                   "esac\n");
  fs::permissions(helper, fs::perms::owner_all);
  qputenv("FENMORA_MOVIE_HELPER", QByteArray(helper.c_str()));
  const fs::path clip = pc.Write("clip.mkv", "stands for a movie");
  const fs::path scratch = convert::SessionFolder();
  const std::size_t filesBefore = FilesIn(scratch);
  prompts.Expect(Question::ConvertMovie, Answer::Yes).ExpectOk(texts::kMovieHelperFailed + clip.string());
  const bool dropped = DropOnGrid(MediaKind::Movie, {clip});
  qunsetenv("FENMORA_MOVIE_HELPER");
  ASSERT_TRUE(dropped);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(session.Catalogue(MediaKind::Movie).count, 1);
  EXPECT_EQ(Cell(MediaKind::Movie, 1, 3), "夏の花火");
  EXPECT_TRUE(Find<QWidget>("btRefreshData")->isEnabled());
  EXPECT_EQ(FilesIn(scratch), filesBefore);
}

}  // namespace
}  // namespace fenmora::testcard
