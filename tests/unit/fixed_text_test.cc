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

// The plain comparisons are byte for byte; the NoCase ones fold ASCII
// letters only: '@' and '`', '[' and '{' differ by the same bit as 'A' and
// 'a', and bytes above 127 are not letters to Windows' own comparison.
TEST(TextCompareTest, ExactAndPrefixComparisonsWithAndWithoutCase) {
  struct Case {
    const char* text;
    const char* other;
    bool equals;
    bool starts_with;
    bool equals_no_case;
    bool starts_with_no_case;
  };
  const Case cases[] = {
      {"MSDUN", "MSDUN", true, true, true, true},
      {"msdun", "MSDUN", false, false, true, true},
      {"MSDUN2", "MSDUN", false, true, false, true},
      {"MSDU", "MSDUN", false, false, false, false},
      {"rundll.exe x", "rundll.exe", false, true, false, true},
      {"rundll32.exe x", "rundll.exe", false, false, false, false},
      {"RUNDLL.EXE", "rundll.exe", false, false, true, true},
      {"\\Temporary Internet Files\\x", "\\TEMPORARY INTERNET FILES\\", false, false, false, true},
      {"@[", "`{", false, false, false, false},
      {"\xE9t\xE9", "\xC9T\xC9", false, false, false, false},
      {"", "", true, true, true, true},
      {"x", "", false, true, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TextEquals(c.text, c.other), c.equals) << c.text << " / " << c.other;
    EXPECT_EQ(TextStartsWith(c.text, c.other), c.starts_with) << c.text << " / " << c.other;
    EXPECT_EQ(TextEqualsNoCase(c.text, c.other), c.equals_no_case) << c.text << " / " << c.other;
    EXPECT_EQ(TextStartsWithNoCase(c.text, c.other), c.starts_with_no_case)
        << c.text << " / " << c.other;
  }
}

}  // namespace
}  // namespace netrevive
