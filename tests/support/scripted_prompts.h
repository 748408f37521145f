// Answers the program's questions and messages from a script, in order, and
// records everything asked. Every question and every message must be expected:
// one the script did not expect fails the test (and gets the safe answer: OK,
// No or Cancel), so a test never hangs on a box and never passes on a question
// it did not foresee. Questions are expected by their identity, and may be
// checked against their text too.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "sync/card_lock.h"
#include "sync/prompts.h"
#include "sync/recovery.h"
#include "sync/texts.h"

namespace fenmora::testcard {

class ScriptedPrompts : public Prompts {
 public:
  struct Asked {
    Question question;
    Icon icon;
    Buttons buttons;
    std::string text;
  };

  // The next thing asked must be `question` (and, when given, with this exact
  // text); it gets `answer`.
  ScriptedPrompts& Expect(Question question, Answer answer, std::string text = {}) {
    script_.push_back({question, answer, std::move(text), {}});
    return *this;
  }
  // The next thing asked must be a plain message (with this exact text, when
  // given).
  ScriptedPrompts& ExpectOk(std::string text = {}) {
    return Expect(Question::Message, Answer::Ok, std::move(text));
  }
  // What loading a card kept in a plain folder asks: whether to load a folder
  // that is no removable drive (Yes), then the backup advice.
  ScriptedPrompts& ExpectLoad() {
    return Expect(Question::NotRemovable, Answer::Yes, texts::kNotRemovable).ExpectOk(texts::kBackupAdvice);
  }
  // What a load that asks says of the interrupted update on the card at
  // root, if any: the choice (answered with answer), or that finishing is
  // all that is left, or nothing when the choice was made before; then what
  // finishing or undoing did (for an update of the old journal format, done
  // by the next commit: nothing).
  ScriptedPrompts& ExpectTakingUp(const std::filesystem::path& root, Answer answer) {
    const HandsetProfile profile = HandsetProfile::F900i();
    RealFileOps ops;
    const CardJournal found = InspectCardJournal(profile, root, ops);
    if (!found.Interrupted() || LiveLockHolder(root)) return *this;
    const bool removing = found.journal ? ReadJournalState(*found.journal, root, ops).removing
                                        : found.legacy->removing;
    const bool chosen = found.journal ? found.journal->mode != Journal::Mode::Update : found.legacy->recovery;
    if (!chosen && removing) ExpectOk(texts::kInterruptedFinishOnly);
    else if (!chosen) Expect(Question::InterruptedUpdate, answer, texts::kInterruptedCommit);
    if (found.journal) ExpectOk();
    return *this;
  }
  // As Expect, and runs `whileShown` while the question is up (to look at the
  // window as the user sees it behind the box).
  ScriptedPrompts& ExpectThen(Question question, Answer answer, std::string text,
                              std::function<void()> whileShown) {
    script_.push_back({question, answer, std::move(text), std::move(whileShown)});
    return *this;
  }

  Answer Ask(Question question, Icon icon, Buttons buttons, const std::string& text) override {
    asked_.push_back({question, icon, buttons, text});
    const Answer safe =
        buttons == Buttons::Ok ? Answer::Ok : buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    if (script_.empty()) {
      ADD_FAILURE() << "unexpected " << (question == Question::Message ? "message" : "question")
                    << ": " << text;
      return safe;
    }
    Step step = script_.front();
    script_.pop_front();
    if (question != step.question) {
      ADD_FAILURE() << "expected question " << static_cast<int>(step.question) << " (text \""
                    << step.text << "\"), was asked " << static_cast<int>(question) << ": " << text;
      return safe;
    }
    if (!step.text.empty()) {
      EXPECT_EQ(text, step.text);
    }
    if (step.whileShown) step.whileShown();
    return step.answer;
  }

  const std::vector<Asked>& asked() const { return asked_; }
  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const Asked& a : asked_) t.push_back(a.text);
    return t;
  }
  size_t unanswered() const { return script_.size(); }
  // Every expected question must have been asked by the end of the test.
  ~ScriptedPrompts() override {
    if (!script_.empty())
      ADD_FAILURE() << script_.size() << " expected question(s) never asked, the first: \""
                    << script_.front().text << "\"";
  }
  void Clear() {
    asked_.clear();
    script_.clear();
  }

 private:
  struct Step {
    Question question;
    Answer answer;
    std::string text;
    std::function<void()> whileShown;
  };
  std::deque<Step> script_;
  std::vector<Asked> asked_;
};

// Keeps the status texts shown, in order.
class RecordingProgress : public Progress {
 public:
  void Status(const std::string& text) override { statuses.push_back(text); }
  void Busy(bool on) override { busy = on; }
  std::vector<std::string> statuses;
  bool busy = false;
};

}  // namespace fenmora::testcard
