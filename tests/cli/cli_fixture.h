// A temporary card, a folder standing in for the computer, and fenmora-cli
// run as a process on them.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/run_cli.h"
#include "profile/profile.h"
#include "support/scripted_prompts.h"
#include "support/temp_card.h"
#include "sync/load.h"
#include "sync/session.h"

namespace fenmora::testcli {

inline const HandsetProfile kProfile = HandsetProfile::F900i();

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

class CliTest : public ::testing::Test {
 protected:
  // The card has the handset's layout, as a card the handset formatted.
  CliTest() { std::filesystem::create_directories(card.Host("\\PRIVATE\\DOCOMO")); }
  std::string Card() const { return card.root().string(); }
  // Writes a file on the computer side and returns its path.
  std::string PcFile(const std::string& name, const std::string& bytes) const {
    testcard::WriteBytes(pc.path() / name, bytes);
    return (pc.path() / name).string();
  }

  // The card as the window would load it now.
  CardSession Reload() {
    CardSession s;
    testcard::ScriptedPrompts prompts;
    prompts.ExpectLoad();
    testcard::RecordingProgress progress;
    EXPECT_TRUE(LoadCard(s, card.root(), prompts, progress).Completed());
    return s;
  }

  testcard::TempCard card;
  testcard::TempFolder pc{"fenmora-pc"};
};

}  // namespace fenmora::testcli
