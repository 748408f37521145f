// Fitting the files a user adds to what the handset takes: a picture it would
// not show (another format, a progressive or CMYK JPEG, larger than the
// screen or the byte limit) becomes a baseline JPEG that fits; a Standard
// MIDI File over the limit is slimmed. Each only when the user agrees. The
// converted copy goes to a temporary folder of the session and is queued in
// place of the user's file, which is only ever read.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "editing/editing.h"
#include "profile/profile.h"
#include "sync/prompts.h"

namespace fenmora::convert {

struct Fitted {
  enum class Step {
    AsIs,       // queue the user's file itself (the size question may follow)
    Converted,  // queue `file`, the converted copy
    Skip,       // leave the file out: the user was told why
  };
  Step step = Step::AsIs;
  std::filesystem::path file;
  std::string cardExt;  // the card extension of the copy: ".JPG", ".MID"
};

// Long work done for the user (a movie's conversion): the window runs it on a
// worker thread behind a progress dialog with a Cancel button, the command
// line in place. `work` reports the share done (0 to 1) and stops soon after
// its report returns false.
class LongWork {
 public:
  virtual ~LongWork() = default;
  virtual void Run(const std::string& fileName,
                   const std::function<void(const std::function<bool(double)>& report)>& work);
  // What was done, in a line (the command line writes it out).
  virtual void Note(const std::string& text) { (void)text; }
};

class HandsetFit {
 public:
  // Converted copies go to `folder`; empty: the session's temporary folder.
  explicit HandsetFit(const HandsetProfile& profile, std::filesystem::path folder = {});

  Fitted Prepare(MediaKind kind, const std::filesystem::path& file, Prompts& prompts);
  // How a movie's conversion is run; by default in place, without progress.
  void SetLongWork(LongWork* work) { work_ = work; }

 private:
  Fitted FitPicture(const std::filesystem::path& file, Prompts& prompts);
  Fitted FitMelody(const std::filesystem::path& file, Prompts& prompts);
  Fitted FitMovie(const std::filesystem::path& file, Prompts& prompts);
  // Writes a copy under a new name in the folder; empty path on failure.
  std::filesystem::path Store(const std::filesystem::path& original, const char* ext,
                              const std::string& bytes);

  const HandsetProfile& profile_;
  std::filesystem::path folder_;
  LongWork* work_ = nullptr;
};

// One file of a batch, through the conversion into the queue: what the window
// and the command line call for every file they add.
QueueOutcome AddFitted(FileQueue& queue, HandsetFit& fit, MediaKind kind,
                       const std::filesystem::path& file, Prompts& prompts);

// A movie FFmpeg reads, which the conversion can make into the handset's form
// though its extension is none of the kind's (.MOV, .MKV, ...).
bool ConvertibleMovie(MediaKind kind, const std::filesystem::path& file);

// A picture some reader knows, which the conversion can make into a standby
// image though its extension is none of the kind's.
bool ConvertiblePicture(MediaKind kind, const std::filesystem::path& file);

// File-name patterns of the pictures the conversion takes besides the kind's
// own extensions ("*.PNG", "*.MOV", ...); empty for melodies.
std::vector<std::string> ConvertiblePatterns(MediaKind kind);

// The session's temporary folder: made at first use, removed when the program
// ends; the folders of programs that ended without removing theirs go when
// they have lain untouched for two days. Empty when it cannot be made.
const std::filesystem::path& SessionFolder();
// Removes from `temporary` the session folders of programs that have ended,
// once nothing in them has been touched for two days (`own` is never one).
void RemoveLeftSessionFolders(const std::filesystem::path& temporary, const std::filesystem::path& own);

}  // namespace fenmora::convert
