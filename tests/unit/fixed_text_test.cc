#include "platform/fixed_text.h"

#include <gtest/gtest.h>

#include <string>

namespace netrevive {
namespace {

// A text of N bytes holds N - 1 characters and its terminator.
TEST(FixedTextTest, AcceptsUpToCapacityMinusOneAndRefusesMore) {
  struct Case {
    size_t length;
    bool fits;
  };
  constexpr size_t kN = 64;
  const Case cases[] = {{kN - 2, true}, {kN - 1, true}, {kN, false}, {kN + 1, false}};
  for (const Case& c : cases) {
    FixedText<kN> text;
    std::string piece(c.length, 'x');
    EXPECT_EQ(text.Append(piece.c_str()), c.fits) << c.length;
    EXPECT_EQ(text.ok(), c.fits) << c.length;
    EXPECT_EQ(std::string(text.c_str()), c.fits ? piece : std::string()) << c.length;
  }
}

TEST(FixedTextTest, OverflowLeavesTextAndRefusesLaterAppends) {
  FixedText<8> text;
  ASSERT_TRUE(text.Append("abc"));
  EXPECT_FALSE(text.Append("defghi"));  // 9 characters with the terminator: no room
  EXPECT_STREQ(text.c_str(), "abc");
  EXPECT_FALSE(text.Append("d"));  // would fit, but the text is already spoiled
  EXPECT_STREQ(text.c_str(), "abc");
  EXPECT_FALSE(text.ok());
  text.Clear();
  EXPECT_TRUE(text.Append("abcdefg"));
  EXPECT_STREQ(text.c_str(), "abcdefg");
}

TEST(FixedTextTest, PiecesAppendInOrder) {
  FixedText<kCommandSize> text;
  EXPECT_TRUE(text.Append("C:\\WINDOWS") && text.Append("\\rundll32.exe") &&
              text.Append(" rnasetup.dll,RnaReboot"));
  EXPECT_STREQ(text.c_str(), "C:\\WINDOWS\\rundll32.exe rnasetup.dll,RnaReboot");
  EXPECT_EQ(text.size(), 46u);
}

TEST(TextCompareTest, ExactAndPrefixComparisonsAreCaseSensitive) {
  EXPECT_TRUE(TextEquals("MSDUN", "MSDUN"));
  EXPECT_FALSE(TextEquals("msdun", "MSDUN"));
  EXPECT_FALSE(TextEquals("MSDUN2", "MSDUN"));
  EXPECT_FALSE(TextEquals("MSDU", "MSDUN"));
  EXPECT_TRUE(TextStartsWith("rundll.exe x", "rundll.exe"));
  EXPECT_FALSE(TextStartsWith("rundll32.exe x", "rundll.exe"));
  EXPECT_FALSE(TextStartsWith("rundll", "rundll.exe"));
  EXPECT_FALSE(TextStartsWith("RUNDLL.EXE", "rundll.exe"));
}

}  // namespace
}  // namespace netrevive
