// The core's questions, answered from the command line's options, and its
// messages, written to standard error.
#pragma once

#include <ostream>
#include <string>

#include "sync/prompts.h"

namespace fenmora::cli {

// - "not a removable drive?": Yes (the card may well be a copy in a folder;
//   apply refuses a folder without the card layout before loading it).
// - "over the size limit, add it anyway?": Yes with --yes; otherwise No, and
//   the question is written out with a note that the file was skipped.
// - "the list already holds these bytes, add it again?": the same.
// - "convert it for the handset?" (pictures, melodies, movies): Yes with
//   --convert; otherwise No, written out with a note, and the file goes on as
//   it is. "convert only the first N seconds?": Yes with --convert, written
//   out; otherwise No, and the movie is not added.
// - any other question: No (or Cancel), written out.
// - information (the backup advice): not written.
// - warnings and errors: written, followed by the path they concern when the
//   text does not already end with it.
class CliPrompts : public Prompts {
 public:
  CliPrompts(std::ostream& err, bool yes, bool convert = false)
      : err_(err), yes_(yes), convert_(convert) {}

  // The file or card the next messages concern (the card while loading, the
  // file while adding it).
  void SetSubject(std::string path) { subject_ = std::move(path); }
  // The OPS line being applied (0: none): messages begin with "line N: ".
  void SetLine(int line) { line_ = line; }

  Answer Ask(Question question, Icon icon, Buttons buttons, const std::string& text) override;

  int declined = 0;  // questions answered No or Cancel

 private:
  void Write(const std::string& text);

  std::ostream& err_;
  bool yes_;
  bool convert_;
  std::string subject_;
  int line_ = 0;
};

}  // namespace fenmora::cli
