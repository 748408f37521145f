#include "cli/cli_prompts.h"

#include "cli/cli_texts.h"

namespace fenmora::cli {

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

void CliPrompts::Write(const std::string& text) {
  if (line_ > 0) err_ << Fill(say::kLine, {std::to_string(line_)});
  err_ << text;
  if (!subject_.empty() && !EndsWith(text, subject_)) err_ << "\n" << subject_;
  err_ << "\n";
  err_.flush();
}

Prompts::Answer CliPrompts::Ask(Question question, Icon icon, Buttons buttons,
                                const std::string& text) {
  if (buttons == Buttons::Ok) {
    if (icon != Icon::Information) Write(text);
    return Answer::Ok;
  }
  if (question == Question::NotRemovable) return Answer::Yes;
  if (question == Question::KeepMovieStart && convert_) {
    Write(text);  // what is left out is said
    err_ << say::kConverted << "\n";
    return Answer::Yes;
  }
  if (question == Question::ConvertPicture || question == Question::SlimMelody ||
      question == Question::ConvertMovie || question == Question::KeepMovieStart) {
    if (convert_) return Answer::Yes;
    Write(text);
    err_ << say::kNotConvertedAsked << "\n";
  } else if (question == Question::Oversize || question == Question::Duplicate) {
    // The questions about a file to add (too large, or a copy of an item the
    // list holds): --yes adds it.
    if (yes_) return Answer::Yes;
    Write(text);
    err_ << say::kSkipped << "\n";
  } else {
    Write(text);
    err_ << say::kAnsweredNo << "\n";
  }
  err_.flush();
  ++declined;
  return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
}

}  // namespace fenmora::cli
