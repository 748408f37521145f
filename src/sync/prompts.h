// The questions and messages of the core, asked through a small interface: the
// window answers with message boxes, the tests with a script, the command line
// from its options. Texts are UTF-8.
#pragma once

#include <string>

namespace fenmora {

class Prompts {
 public:
  enum class Icon { Information, Warning, Error, Question };
  enum class Buttons { Ok, YesNo, YesCancel };
  enum class Answer { Ok, Yes, No, Cancel };
  // What is asked, independent of its wording: the command line and the tests
  // answer a question by this, never by matching its text.
  enum class Question {
    Message,        // a plain message: OK is the only answer
    NotRemovable,   // load a folder that is not a removable drive? (Yes/No)
    Oversize,       // queue a file over the handset's size limit? (Yes/No)
    MissingFolder,  // make the kind's missing folder on the card? (Yes/Cancel)
    ConvertPicture,  // convert a picture the handset would not show as it is? (Yes/No)
    SlimMelody,      // slim a MIDI file over the handset's size limit? (Yes/No)
    ConvertMovie,    // convert a movie the handset would not play as it is? (Yes/No)
    KeepMovieStart,  // the whole movie cannot fit: convert only its first seconds? (Yes/No)
    InterruptedUpdate,  // finish an interrupted update (Yes) or return the card to its state before it (No)?
    Duplicate,       // queue a file whose bytes an item of the list already holds? (Yes/No)
    Unrepresentable,  // store a title whose characters the card cannot hold as "?"? (Yes/No)
    DropEdits,       // drop the edits not yet written to the card (closing, loading)? (Yes/No)
    ConfirmCommit,   // write the planned changes to the card? (Yes/No)
    ApplyTitle,      // apply the title typed for the row left before choosing another? (Yes/No)
  };
  virtual ~Prompts() = default;
  virtual Answer Ask(Question question, Icon icon, Buttons buttons, const std::string& text) = 0;
  void Tell(Icon icon, const std::string& text) { Ask(Question::Message, icon, Buttons::Ok, text); }
  // A question with a longer text the user can open (the window's "詳細"
  // part of the box). Unless answered otherwise, asked as one text.
  virtual Answer AskWithDetails(Question question, Icon icon, Buttons buttons, const std::string& text,
                                const std::string& details) {
    return Ask(question, icon, buttons, details.empty() ? text : text + "\n\n" + details);
  }
};

// Status texts and the busy cursor of long operations. The window shows the
// text in its status bar and repaints at once.
class Progress {
 public:
  virtual ~Progress() = default;
  virtual void Status(const std::string& text) = 0;
  virtual void Busy(bool on) = 0;
  // Steps of a long operation (copies of a backup, operations of a commit);
  // the window may show a progress dialog. Returns false when the user asked
  // to cancel.
  virtual bool Step(long done, long total) {
    (void)done;
    (void)total;
    return true;
  }
};

class SilentProgress : public Progress {
 public:
  void Status(const std::string&) override {}
  void Busy(bool) override {}
};

}  // namespace fenmora
