#include "platform/numbers.h"

#include <gtest/gtest.h>

#include <limits>

namespace fenmora {
namespace {

TEST(ParseInteger, TakesWholeTextsOfDigitsOnly) {
  EXPECT_EQ(ParseInteger("0"), 0);
  EXPECT_EQ(ParseInteger("-42"), -42);
  EXPECT_EQ(ParseInteger("007"), 7);
  EXPECT_EQ(ParseInteger("9223372036854775807"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(ParseInteger("00a", 16), 10);
  EXPECT_EQ(ParseInteger("FF", 16), 255);
  for (const char* bad : {"", "-", "+1", " 1", "1 ", "1x", "1A", "9223372036854775808", "0x1"})
    EXPECT_EQ(ParseInteger(bad), std::nullopt) << '"' << bad << '"';
  EXPECT_EQ(ParseInteger("0x1A", 16), std::nullopt);
  EXPECT_EQ(ParseInteger("G", 16), std::nullopt);
}

}  // namespace
}  // namespace fenmora
