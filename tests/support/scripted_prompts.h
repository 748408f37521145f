// Answers the program's questions from a script, and keeps every text asked,
// so that tests can check what the user would have seen.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "sync/prompts.h"

namespace fenmora::testcard {

class ScriptedPrompts : public Prompts {
 public:
  struct Asked {
    Icon icon;
    Buttons buttons;
    std::string text;
  };

  // Answers for questions (Yes/No, Yes/Cancel), in order. Plain messages (OK)
  // take no answer from the script.
  void Answer(Prompts::Answer a) { answers_.push_back(a); }

  Prompts::Answer Ask(Icon icon, Buttons buttons, const std::string& text) override {
    asked.push_back({icon, buttons, text});
    if (buttons == Buttons::Ok) return Prompts::Answer::Ok;
    if (answers_.empty()) {
      unexpected.push_back(text);
      return buttons == Buttons::YesNo ? Prompts::Answer::No : Prompts::Answer::Cancel;
    }
    const Prompts::Answer a = answers_.front();
    answers_.pop_front();
    return a;
  }

  bool ScriptUsedUp() const { return answers_.empty(); }
  std::vector<std::string> Texts() const {
    std::vector<std::string> t;
    for (const auto& a : asked) t.push_back(a.text);
    return t;
  }

  std::vector<Asked> asked;
  std::vector<std::string> unexpected;  // questions the script had no answer for

 private:
  std::deque<Prompts::Answer> answers_;
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
