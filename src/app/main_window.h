// The main window: the three list pages, the drive list, the card-space
// gauge, the commit, preview, backup, help and exit controls, the partner
// banner and the status bar. Every control carries its name as objectName so
// that tests and the drop routing find it by name.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>

#include "sync/prompts.h"
#include "sync/session.h"

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTabWidget;
class TfrAbout;

namespace fenmora::app {
class KindPage;
class ClickFrame;
class ClickLabel;
class QtPrompts;
class StatusProgress;
}  // namespace fenmora::app

class TfrMain : public QWidget {
  Q_OBJECT
 public:
  // The session (profile and catalogues) outlives the window.
  explicit TfrMain(fenmora::CardSession& session, QWidget* parent = nullptr);
  ~TfrMain() override;

  fenmora::CardSession& session() { return session_; }

  // Questions and messages go to message boxes unless something else (a
  // test's script) is put in their place.
  void SetPrompts(fenmora::Prompts& prompts) { prompts_ = &prompts; }
  fenmora::Prompts& prompts() { return *prompts_; }
  fenmora::Progress& progress();

  // The about box that the branding panel shows (created at start-up).
  void SetAboutBox(TfrAbout* about) { about_ = about; }
  TfrAbout* aboutBox() const { return about_; }

  fenmora::app::KindPage& Page(fenmora::MediaKind kind);

  // Adds a folder to the drive list (once) and selects it: a card copied to
  // disk, a card image mounted anywhere, a test folder.
  void AddCardFolder(const QString& folder);
  // The card root chosen in the drive list (empty when the list is empty).
  std::filesystem::path CardRoot() const;

  // ---- card space
  // Puts the session's gauge on the bar (scaled to fit an int when the card
  // is larger) and shows its free space.
  void InitDiskGauge();
  // The free-space text and the colours of the text and of the bar.
  void ShowFreeSpace(std::int64_t freeBytes);

  // ---- handlers
  void btLoadMemClick();
  void btHelpClick();
  void btEndClick();
  void Panel5Click();
  void Image3Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void BuildRightColumn();
  void BuildBottomStrip();

  fenmora::CardSession& session_;
  std::unique_ptr<fenmora::app::QtPrompts> messageBoxes_;
  std::unique_ptr<fenmora::app::StatusProgress> statusProgress_;
  fenmora::Prompts* prompts_ = nullptr;
  TfrAbout* about_ = nullptr;
  bool shown_ = false;

  QTabWidget* pcMain_ = nullptr;
  std::array<fenmora::app::KindPage*, 3> pages_{};
  fenmora::app::ClickFrame* panel5_ = nullptr;
  QComboBox* curDrive_ = nullptr;
  QPushButton* btLoadMem_ = nullptr;
  QProgressBar* cgDiskSpace_ = nullptr;
  QLabel* stFree_ = nullptr;
  QPushButton* btRefreshData_ = nullptr;
  QLabel* dispPrev_ = nullptr;
  QPushButton* btStopMelody_ = nullptr;
  QPushButton* btBackUp_ = nullptr;
  QPushButton* btHelp_ = nullptr;
  QPushButton* btEnd_ = nullptr;
  fenmora::app::ClickLabel* image3_ = nullptr;
  QStatusBar* statusBar_ = nullptr;
  QLabel* statusPanel_ = nullptr;
};
