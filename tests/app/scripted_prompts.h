// Answers the program's questions from a script, in order, and records every
// question asked. A question the script did not expect fails the test (and
// gets the safe answer: No, Cancel or OK), so a test never hangs on a box.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "sync/prompts.h"

namespace fenmora::testing {

class ScriptedPrompts : public Prompts {
 public:
  struct Asked {
    Icon icon;
    Buttons buttons;
    std::string text;
  };

  // The next question must be one with these buttons (and, when given, this
  // exact text); it gets `answer`.
  ScriptedPrompts& Expect(Answer answer, Buttons buttons, std::string text = {}) {
    script_.push_back({answer, buttons, std::move(text)});
    return *this;
  }
  ScriptedPrompts& ExpectOk(std::string text = {}) { return Expect(Answer::Ok, Buttons::Ok, std::move(text)); }
  // As Expect, and runs `whileShown` while the question is up (to look at
  // the window as the user sees it behind the box).
  ScriptedPrompts& ExpectThen(Answer answer, Buttons buttons, std::string text,
                              std::function<void()> whileShown) {
    script_.push_back({answer, buttons, std::move(text), std::move(whileShown)});
    return *this;
  }

  Answer Ask(Icon icon, Buttons buttons, const std::string& text) override {
    asked_.push_back({icon, buttons, text});
    if (script_.empty()) {
      ADD_FAILURE() << "unexpected question: " << text;
      return buttons == Buttons::Ok ? Answer::Ok : buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
    Step step = script_.front();
    script_.pop_front();
    EXPECT_EQ(static_cast<int>(buttons), static_cast<int>(step.buttons)) << "buttons of: " << text;
    if (!step.text.empty()) {
      EXPECT_EQ(text, step.text);
    }
    if (step.whileShown) step.whileShown();
    return step.answer;
  }

  const std::vector<Asked>& asked() const { return asked_; }
  size_t unanswered() const { return script_.size(); }
  void Clear() {
    asked_.clear();
    script_.clear();
  }

 private:
  struct Step {
    Answer answer;
    Buttons buttons;
    std::string text;
    std::function<void()> whileShown;
  };
  std::deque<Step> script_;
  std::vector<Asked> asked_;
};

}  // namespace fenmora::testing
