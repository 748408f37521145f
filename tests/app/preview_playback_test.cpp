// What a selection shows and plays: the image preview pane with pictures of
// the five types, the melody playback switch with the real player (through
// SDL's dummy audio driver), and opening items in the desktop's application.
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QStatusBar>
#include <optional>

#include "support/env_var.h"
#include "app/app_texts.h"
#include "app/media_files.h"
#include "app/window_fixture.h"
#include "platform/cp932.h"
#include "preview/melody_player.h"
#include "support/mfi_writer.h"

namespace fenmora::testcard {
namespace {

using testcard::EnvVar;

namespace fs = std::filesystem;
using Answer = Prompts::Answer;
using Buttons = Prompts::Buttons;
using Icon = Prompts::Icon;

// An item whose title does not matter here.
CardItem Untitled(std::string name, std::string content) { return Item(std::move(name), "t", std::move(content)); }

class Preview : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ShowWindow();
  }
  QPixmap Shown() { return Find<QLabel>("DispPrev")->pixmap(); }
  // The colour in the middle of the pane's picture.
  QColor Middle() {
    const QImage image = Shown().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
  }
};

bool Near(QColor a, QColor b) {
  return std::abs(a.red() - b.red()) < 24 && std::abs(a.green() - b.green()) < 24 &&
         std::abs(a.blue() - b.blue()) < 24;
}

TEST_F(Preview, PicturesOfAllFiveTypesFitThePaneKeepingTheirShape) {
  struct Picture {
    const char* name;
    std::string bytes;
    QColor colour;
    QSize expected;  // the size in the 145 x 145 pane
  };
  const std::vector<Picture> pictures = {
      {"STIL0001.JPG", SolidPicture(400, 200, QColor(220, 40, 40), "JPG"), QColor(220, 40, 40), {145, 73}},
      {"STIL0002.GIF", SolidGif(60, 120, QColor(40, 200, 40)), QColor(40, 200, 40), {60, 120}},
      {"STIL0003.BMP", SolidPicture(300, 600, QColor(40, 40, 220), "BMP"), QColor(40, 40, 220), {73, 145}},
      {"STIL0004.PNG", SolidPicture(290, 290, QColor(200, 200, 40), "PNG"), QColor(200, 200, 40), {145, 145}},
      {"STIL0005.TIF", SolidPicture(500, 100, QColor(40, 200, 200), "TIF"), QColor(40, 200, 200), {145, 29}},
  };
  std::vector<CardItem> items;
  for (const Picture& p : pictures) {
    ASSERT_FALSE(p.bytes.empty()) << p.name;
    items.push_back(Untitled(p.name, p.bytes));
  }
  WriteKind(card.path(), MediaKind::Image, items);
  LoadCard();
  EXPECT_FALSE(Shown().isNull());  // the first item, selected by the load
  for (size_t i = 0; i < pictures.size(); ++i) {
    ClickRow(MediaKind::Image, static_cast<int>(i) + 1);
    const QPixmap shown = Shown();
    ASSERT_FALSE(shown.isNull()) << pictures[i].name;
    EXPECT_LE(std::abs(shown.width() - pictures[i].expected.width()), 1) << pictures[i].name;
    EXPECT_LE(std::abs(shown.height() - pictures[i].expected.height()), 1) << pictures[i].name;
    EXPECT_TRUE(Near(Middle(), pictures[i].colour)) << pictures[i].name << " " << Middle().name().toStdString();
  }
  // In a low window the pane is lower: the tall picture is shown whole,
  // smaller, not cut to a strip.
  ClickRow(MediaKind::Image, 3);
  ShowWindow();
  window->resize(300, 200);
  QCoreApplication::processEvents();
  const QLabel* pane = Find<QLabel>("DispPrev");
  ASSERT_LT(pane->height(), 145);
  EXPECT_LE(Shown().height(), pane->height());
  EXPECT_LE(std::abs(Shown().width() * 2 - Shown().height()), 2);
}

TEST_F(Preview, LowerCaseExtensionsPreviewAndJpegDoesNot) {
  WriteKind(card.path(), MediaKind::Image, {Untitled("STIL0001.jpg", SolidPicture(100, 50, Qt::red, "JPG")),
                                       Untitled("STIL0002.gif", SolidGif(20, 20, Qt::green)),
                                       Untitled("STIL0003.jpeg", SolidPicture(50, 100, Qt::blue, "JPG"))});
  LoadCard();
  ClickRow(MediaKind::Image, 1);
  EXPECT_EQ(Shown().size(), QSize(100, 50));
  ClickRow(MediaKind::Image, 2);
  EXPECT_EQ(Shown().size(), QSize(20, 20));
  ClickRow(MediaKind::Image, 3);  // not previewed: the pane keeps the last picture
  EXPECT_EQ(Shown().size(), QSize(20, 20));
  EXPECT_TRUE(Near(Middle(), Qt::green));
}

TEST_F(Preview, AQueuedImageIsPreviewedFromWhereItLies) {
  WriteKind(card.path(), MediaKind::Image, {});
  LoadCard();
  prompts.Clear();
  TempDir desktop;
  ASSERT_TRUE(DropOnGrid(MediaKind::Image, {desktop.Write("photo.jpg", SolidPicture(90, 30, Qt::red, "JPG"))}));
  ClickRow(MediaKind::Image, 1);
  EXPECT_EQ(Shown().size(), QSize(90, 30));
}

TEST_F(Preview, AConvertedPictureIsPreviewedAsTheHandsetWillShowIt) {
  WriteKind(card.path(), MediaKind::Image, {});
  LoadCard();
  prompts.Clear();
  TempDir desktop;
  // Tall and narrow: the handset's copy is 80 x 320, and so is what shows.
  const fs::path png = desktop.Write("tower.png", SolidPicture(100, 400, Qt::blue, "PNG"));
  prompts.Expect(Prompts::Question::ConvertPicture, Prompts::Answer::Yes, texts::kConvertPicture + png.string());
  ASSERT_TRUE(DropOnGrid(MediaKind::Image, {png}));
  ClickRow(MediaKind::Image, 1);
  const QPixmap shown = Shown();
  ASSERT_FALSE(shown.isNull());
  EXPECT_NEAR(static_cast<double>(shown.width()) / shown.height(), 0.25, 0.02);
  EXPECT_TRUE(Near(Middle(), Qt::blue));
}

TEST_F(Preview, ThePaneAndTheBannerFollowTheTabInFront) {
  WriteKind(card.path(), MediaKind::Image, {Untitled("STIL0001.JPG", SolidPicture(100, 50, Qt::red, "JPG"))});
  WriteKind(card.path(), MediaKind::Melody, {Untitled("RING0001.MLD", MldWithTitle("m"))});
  LoadCard();
  auto* banner = Find<QLabel>("Label9");
  EXPECT_EQ(banner->text().toStdString(), app::texts::kBanner[0]);
  ClickRow(MediaKind::Image, 1);
  const QImage before = Shown().toImage();
  ASSERT_FALSE(before.isNull());
  ClickRow(MediaKind::Melody, 1);  // no picture of an image on the melodies' tab
  EXPECT_TRUE(Shown().isNull());
  EXPECT_EQ(banner->text().toStdString(), app::texts::kBanner[1]);
  ClickRow(MediaKind::Movie, 1);
  EXPECT_TRUE(Shown().isNull());
  EXPECT_EQ(banner->text().toStdString(), app::texts::kBanner[2]);
  ShowPage(MediaKind::Image);  // the selected image comes back with its tab
  EXPECT_EQ(Shown().toImage(), before);
  EXPECT_EQ(banner->text().toStdString(), app::texts::kBanner[0]);
}

TEST_F(Preview, AFileThatCannotBeDecodedEmptiesThePaneWithoutAMessage) {
  WriteKind(card.path(), MediaKind::Image, {Untitled("STIL0001.JPG", SolidPicture(100, 50, Qt::red, "JPG")),
                                       Untitled("STIL0002.JPG", "not a picture at all")});
  LoadCard();
  prompts.Clear();
  ClickRow(MediaKind::Image, 1);
  ASSERT_FALSE(Shown().isNull());
  ClickRow(MediaKind::Image, 2);
  EXPECT_TRUE(Shown().isNull());
  EXPECT_TRUE(prompts.asked().empty());
}

TEST_F(Preview, MovingOrDeletingPreviewsTheImageSelectedAfterwards) {
  WriteKind(card.path(), MediaKind::Image, {Untitled("STIL0001.JPG", SolidPicture(100, 50, Qt::red, "JPG")),
                                       Untitled("STIL0002.JPG", SolidPicture(40, 80, Qt::blue, "JPG"))});
  LoadCard();
  ClickRow(MediaKind::Image, 2);
  Click("btUpImage");
  EXPECT_EQ(Shown().size(), QSize(40, 80));
  ClickRow(MediaKind::Image, 2);
  EXPECT_EQ(Shown().size(), QSize(100, 50));
  ClickRow(MediaKind::Image, 1);
  Click("btDelImage");  // the red one moves up into row 1
  EXPECT_EQ(Shown().size(), QSize(100, 50));
}

// ---------------------------------------------------------------- melodies

// An MLD melody of the handset's own kind: three seconds of one note, with an
// ADPCM chunk and vendor data a General MIDI synthesizer cannot play.
std::string HandsetMelody() {
  using namespace testmfi;
  MfiFile f;
  f.Info("vers", "0400").Info("titl", Utf8ToCp932("着信音"));
  f.adat = {std::string(64, '\x55')};
  f.tracks = {LongExt(0, 0xFF, "vendor") + Note(0, 0, 15, 144) + Note(144, 0, 15, 144)};
  return f.Bytes();
}

class Playback : public Preview {
 protected:
  void SetUp() override {
    Preview::SetUp();
    window->SetOpener([this](const QString& path) {
      opened.push_back(path);
      return true;
    });
    WriteKind(card.path(), MediaKind::Melody, {Item("RING0001.MID", "ピアノ", PianoMidi()),
                                          Item("RING0002.MLD", "着信音", HandsetMelody()),
                                          Item("RING0003.WAV", "ラ", ToneWav(2.0))});
    LoadCard();
    prompts.Clear();
  }
  QPushButton* Switch() { return Find<QPushButton>("btStopMelody"); }
  fs::path Ringer(const char* name) { return card.path() / "PRIVATE/DOCOMO/RINGER" / name; }
  QString PlayerFile() {
    return window->melodyPlayer() ? window->melodyPlayer()->fileName() : QString();
  }
  std::vector<QString> opened;
  // A sound device that takes the samples and plays them nowhere.
  EnvVar audio_{"SDL_AUDIODRIVER", "dummy"};
};

TEST_F(Playback, AtStartSelectingAMelodyPlaysNothing) {
  EXPECT_EQ(Switch()->text(), "着メロを演奏しない");
  EXPECT_FALSE(Switch()->isChecked());
  ClickRow(MediaKind::Melody, 1);
  EXPECT_EQ(Find<QLineEdit>("edMelodyTitle")->text(), "ピアノ");
  EXPECT_EQ(window->melodyPlayer(), nullptr);
}

TEST_F(Playback, SwitchingOnPlaysTheSelectedMelodyAtOnce) {
  ClickRow(MediaKind::Melody, 1);
  const qint64 offKey = Switch()->icon().cacheKey();
  ShowPage(MediaKind::Image);  // whichever tab shows
  Click("btStopMelody");
  EXPECT_EQ(Switch()->text(), "着メロを演奏する");
  EXPECT_TRUE(Switch()->isChecked());
  EXPECT_NE(Switch()->icon().cacheKey(), offKey);
  ASSERT_NE(window->melodyPlayer(), nullptr);
  EXPECT_EQ(fs::path(PlayerFile().toStdString()), Ringer("RING0001.MID"));
  EXPECT_TRUE(window->melodyPlayer()->isPlaying());

  // A WAV plays too, and the handset's own MLD melody, converted; the status
  // bar says what could not be played.
  ClickRow(MediaKind::Melody, 3);
  EXPECT_EQ(fs::path(PlayerFile().toStdString()), Ringer("RING0003.WAV"));
  EXPECT_TRUE(window->melodyPlayer()->isPlaying());
  auto* status = window->findChild<QStatusBar*>("StatusBar");
  ASSERT_NE(status, nullptr);
  EXPECT_TRUE(status->currentMessage().isEmpty());
  ClickRow(MediaKind::Melody, 2);
  EXPECT_EQ(fs::path(PlayerFile().toStdString()), Ringer("RING0002.MLD"));
  EXPECT_TRUE(window->melodyPlayer()->isPlaying());
  EXPECT_EQ(status->currentMessage(),
            "この着メロで演奏されない部分：ADPCM音声 1 個、独自データ 1 個");

  // Off stops it.
  Click("btStopMelody");
  EXPECT_EQ(Switch()->text(), "着メロを演奏しない");
  EXPECT_FALSE(Switch()->isChecked());
  EXPECT_FALSE(window->melodyPlayer()->isPlaying());
  ClickRow(MediaKind::Melody, 1);
  EXPECT_EQ(fs::path(PlayerFile().toStdString()), Ringer("RING0002.MLD"));
  EXPECT_TRUE(prompts.asked().empty());
}

TEST_F(Playback, TheMelodyPlayingIsMarkedInItsRowUntilItStops) {
  const auto marked = [this](int row) {
    return Grid(MediaKind::Melody)->model()->index(row - 1, 0).data(Qt::DecorationRole).isValid();
  };
  ClickRow(MediaKind::Melody, 1);
  EXPECT_FALSE(marked(1));  // playback off: nothing plays
  Click("btStopMelody");
  ASSERT_TRUE(window->melodyPlayer()->isPlaying());
  EXPECT_TRUE(marked(1));
  ClickRow(MediaKind::Melody, 3);
  EXPECT_FALSE(marked(1));
  EXPECT_TRUE(marked(3));
  Click("btStopMelody");  // off: it stops, the mark goes
  EXPECT_FALSE(marked(3));
  // A melody that plays to its end loses its mark then.
  Click("btStopMelody");
  ASSERT_TRUE(marked(3));
  for (int i = 0; i < 200 && window->melodyPlayer()->isPlaying(); ++i) QTest::qWait(20);
  QTest::qWait(50);
  EXPECT_FALSE(marked(3));
}

TEST_F(Playback, AnMldThatCannotBeReadPlaysNothingWithoutAMessage) {
  WriteKind(card.path(), MediaKind::Melody,
            {Item("RING0001.MID", "ピアノ", PianoMidi()), Item("RING0002.MLD", "壊れた", "melo\x00\x00")});
  LoadCard();
  prompts.Clear();
  Click("btStopMelody");
  ClickRow(MediaKind::Melody, 1);
  ASSERT_TRUE(window->melodyPlayer() && window->melodyPlayer()->isPlaying());
  ClickRow(MediaKind::Melody, 2);
  EXPECT_FALSE(window->melodyPlayer()->isPlaying());
  EXPECT_TRUE(window->melodyPlayer()->unreadable());
  EXPECT_TRUE(prompts.asked().empty());
}

TEST_F(Playback, SwitchingOffBeforeAnyMelodyWasPlayedCallsNoPlayerOperation) {
  WriteKind(card.path(), MediaKind::Melody, {});  // nothing to play
  LoadCard();
  Click("btStopMelody");
  EXPECT_EQ(Switch()->text(), "着メロを演奏する");
  Click("btStopMelody");
  EXPECT_EQ(Switch()->text(), "着メロを演奏しない");
  EXPECT_EQ(window->melodyPlayer(), nullptr);
}

TEST_F(Playback, ADoubleClickOnAMelodyStopsItSwitchesOffAndOpensIt) {
  ClickRow(MediaKind::Melody, 1);
  Click("btStopMelody");
  ASSERT_TRUE(window->melodyPlayer() && window->melodyPlayer()->isPlaying());
  DoubleClickRow(MediaKind::Melody, 3);
  EXPECT_FALSE(window->melodyPlayer()->isPlaying());
  EXPECT_EQ(Switch()->text(), "着メロを演奏しない");
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(fs::path(opened[0].toStdString()), Ringer("RING0003.WAV"));
  // Further selections stay silent.
  ClickRow(MediaKind::Melody, 1);
  EXPECT_FALSE(window->melodyPlayer()->isPlaying());
}

TEST_F(Playback, F4OnAMelodyAlsoSwitchesPlaybackOff) {
  Click("btStopMelody");
  ClickRow(MediaKind::Melody, 2);
  QTest::keyClick(Grid(MediaKind::Melody), Qt::Key_F4);
  EXPECT_EQ(Switch()->text(), "着メロを演奏しない");
  EXPECT_FALSE(Switch()->isChecked());
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(fs::path(opened[0].toStdString()), Ringer("RING0002.MLD"));
}

TEST_F(Playback, WithoutAnAudioDeviceTheWindowSaysSoOnceAndGoesOn) {
  EnvVar noDevice("SDL_AUDIODRIVER", "no-such-audio-driver");
  prompts.ExpectOk();
  ClickRow(MediaKind::Melody, 1);
  Click("btStopMelody");
  ClickRow(MediaKind::Melody, 3);
  ClickRow(MediaKind::Melody, 1);
  ASSERT_EQ(prompts.asked().size(), 1u);
  EXPECT_EQ(prompts.asked()[0].icon, Icon::Error);
  EXPECT_EQ(prompts.asked()[0].text.rfind("音声出力装置を開けないため", 0), 0u);
  EXPECT_FALSE(window->melodyPlayer()->available());
  // The lists work as before.
  EXPECT_EQ(Find<QLineEdit>("edMelodyTitle")->text(), "ピアノ");
  EXPECT_EQ(Switch()->text(), "着メロを演奏する");
}

}  // namespace
}  // namespace fenmora::testcard
