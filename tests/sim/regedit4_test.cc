#include "rehearsal/regedit4.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace netrevive::rehearsal {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

// A REG_SZ value's data: the text and its terminating NUL.
std::vector<uint8_t> Sz(const std::string& text) {
  std::vector<uint8_t> data = Bytes(text);
  data.push_back(0);
  return data;
}

RegFileValue Value(const std::string& name, uint32_t type, std::vector<uint8_t> data) {
  RegFileValue value;
  value.name = name;
  value.type = type;
  value.data = std::move(data);
  return value;
}

RegFileValue Removal(const std::string& name) {
  RegFileValue value;
  value.name = name;
  value.remove = true;
  return value;
}

RegFileKey Key(const std::string& path, std::vector<RegFileValue> values = {}) {
  RegFileKey key;
  key.path = path;
  key.values = std::move(values);
  return key;
}

RegFileKey RemovedKey(const std::string& path) {
  RegFileKey key = Key(path);
  key.remove = true;
  return key;
}

std::string Describe(const RegFile& file) {
  std::string out;
  for (const RegFileKey& key : file.keys) {
    out += (key.remove ? "[-" : "[") + key.path + "]\n";
    for (const RegFileValue& value : key.values) {
      out += "  '" + value.name + "' type " + std::to_string(value.type) +
             (value.remove ? " removed" : "") + " data";
      for (uint8_t b : value.data) out += " " + std::to_string(b);
      out += "\n";
    }
  }
  return out;
}

struct ParseCase {
  const char* label;
  std::string text;
  std::vector<RegFileKey> keys;
};

class RegFileParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(RegFileParseTest, ReadsTheExpectedKeysAndValues) {
  const ParseCase& c = GetParam();
  RegFile file;
  RegFileError error;
  ASSERT_TRUE(ParseRegFile(c.text, &file, &error))
      << "line " << error.line << ": " << error.message;
  RegFile expected;
  expected.keys = c.keys;
  EXPECT_EQ(Describe(file), Describe(expected));
  EXPECT_TRUE(file == expected);
}

const char kLm[] = "HKEY_LOCAL_MACHINE\\Software";

INSTANTIATE_TEST_SUITE_P(
    Cases, RegFileParseTest,
    ::testing::Values(
        ParseCase{"HeaderOnly", "REGEDIT4\r\n", {}},
        ParseCase{"HeaderWithoutLineEnd", "REGEDIT4", {}},
        ParseCase{"EmptyKey", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n", {Key(kLm)}},
        ParseCase{"RootOnly", "REGEDIT4\n[HKEY_CLASSES_ROOT]\n", {Key("HKEY_CLASSES_ROOT")}},
        ParseCase{
            "RootNameCaseIsNormalised", "REGEDIT4\n[hkey_local_machine\\Software]\n", {Key(kLm)}},
        ParseCase{"RemovedKey", "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\Software]\n", {RemovedKey(kLm)}},
        ParseCase{"StringValue",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"Name\"=\"Some text\"\n",
                  {Key(kLm, {Value("Name", 1, Sz("Some text"))})}},
        ParseCase{"EmptyString",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"Name\"=\"\"\n",
                  {Key(kLm, {Value("Name", 1, Sz(""))})}},
        ParseCase{"Escapes",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n"
                  "\"a\\\\b \\\"q\\\"\"=\"C:\\\\WINDOWS\\\\ \\\"x\\\"\"\n",
                  {Key(kLm, {Value("a\\b \"q\"", 1, Sz("C:\\WINDOWS\\ \"x\""))})}},
        ParseCase{"StringEndingInBackslash",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"Dir\"=\"C:\\\\\"\n",
                  {Key(kLm, {Value("Dir", 1, Sz("C:\\"))})}},
        ParseCase{"SemicolonInsideString",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"a\"=\"x;y\"\n",
                  {Key(kLm, {Value("a", 1, Sz("x;y"))})}},
        ParseCase{"DefaultValue",
                  "REGEDIT4\n[HKEY_CLASSES_ROOT\\dunfile]\n@=\"Dial-Up Networking\"\n",
                  {Key("HKEY_CLASSES_ROOT\\dunfile", {Value("", 1, Sz("Dial-Up Networking"))})}},
        ParseCase{"Dword",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"n\"=dword:0000abCD\n",
                  {Key(kLm, {Value("n", 4, {0xcd, 0xab, 0, 0})})}},
        ParseCase{"ShortDword",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"n\"=dword:1\n",
                  {Key(kLm, {Value("n", 4, {1, 0, 0, 0})})}},
        ParseCase{"LargestDword",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"n\"=dword:ffffffff\n",
                  {Key(kLm, {Value("n", 4, {0xff, 0xff, 0xff, 0xff})})}},
        ParseCase{"Binary",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"b\"=hex:00,7f,80,FF\n",
                  {Key(kLm, {Value("b", 3, {0x00, 0x7f, 0x80, 0xff})})}},
        ParseCase{"EmptyBinary",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"b\"=hex:\n",
                  {Key(kLm, {Value("b", 3, {})})}},
        ParseCase{"SingleDigitBytesAndBlanks",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"b\"=hex: 1 , a,0c \n",
                  {Key(kLm, {Value("b", 3, {0x01, 0x0a, 0x0c})})}},
        ParseCase{"TrailingComma",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"b\"=hex:01,02,\n",
                  {Key(kLm, {Value("b", 3, {1, 2})})}},
        ParseCase{"ExpandString",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"p\"=hex(2):25,53,25,00\n",
                  {Key(kLm, {Value("p", 2, Sz("%S%"))})}},
        ParseCase{"MultiString",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"m\"=hex(7):61,00,62,00,00\n",
                  {Key(kLm, {Value("m", 7, {'a', 0, 'b', 0, 0})})}},
        ParseCase{"HexTypeIsHexadecimal",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"q\"=hex(b):01\n\"z\"=hex(0):\n",
                  {Key(kLm, {Value("q", 11, {1}), Value("z", 0, {})})}},
        ParseCase{"Continuations",
                  "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n"
                  "\"b\"=hex:01,02,\\\r\n"
                  "  03,04,\\\r\n"
                  "\t\t05\r\n"
                  "\"after\"=dword:00000002\r\n",
                  {Key(kLm, {Value("b", 3, {1, 2, 3, 4, 5}), Value("after", 4, {2, 0, 0, 0})})}},
        ParseCase{"ContinuationOntoBlankLine",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"b\"=hex:01,\\\n\n\"c\"=\"x\"\n",
                  {Key(kLm, {Value("b", 3, {1}), Value("c", 1, Sz("x"))})}},
        ParseCase{"ValueRemoval",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"gone\"=-\n@=-\n",
                  {Key(kLm, {Removal("gone"), Removal("")})}},
        ParseCase{"CommentsBlankLinesAndIndent",
                  "REGEDIT4\n; a comment\n\n   \n\t[HKEY_LOCAL_MACHINE\\Software]  \n"
                  "  ; another\n  \"a\" = \"b\"  \n",
                  {Key(kLm, {Value("a", 1, Sz("b"))})}},
        ParseCase{
            "MixedLineEnds",
            "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\A]\n\"x\"=\"1\"\r\n[HKEY_LOCAL_MACHINE\\B]\r\n",
            {Key("HKEY_LOCAL_MACHINE\\A", {Value("x", 1, Sz("1"))}), Key("HKEY_LOCAL_MACHINE\\B")}},
        ParseCase{"KeyNameWithBlanksAndBrackets",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Odd [name] here]\n",
                  {Key("HKEY_LOCAL_MACHINE\\Software\\Odd [name] here")}},
        ParseCase{"HighBitText",
                  "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software]\n\"n\"=\"caf\xe9\"\n",
                  {Key(kLm, {Value("n", 1, Sz("caf\xe9"))})}},
        ParseCase{
            "SameKeyTwiceStaysTwoSections",
            "REGEDIT4\n[HKEY_USERS\\.Default]\n\"a\"=\"1\"\n[HKEY_USERS\\.Default]\n",
            {Key("HKEY_USERS\\.Default", {Value("a", 1, Sz("1"))}), Key("HKEY_USERS\\.Default")}}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return info.param.label; });

struct ErrorCase {
  const char* label;
  std::string text;
  int line;
  const char* message_part;
};

class RegFileErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(RegFileErrorTest, NamesTheLineAndTheFault) {
  const ErrorCase& c = GetParam();
  RegFile file;
  file.keys.push_back(Key("HKEY_LOCAL_MACHINE\\Stale"));
  RegFileError error;
  ASSERT_FALSE(ParseRegFile(c.text, &file, &error));
  EXPECT_EQ(error.line, c.line) << error.message;
  EXPECT_NE(error.message.find(c.message_part), std::string::npos) << error.message;
  EXPECT_TRUE(file.keys.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RegFileErrorTest,
    ::testing::Values(
        ErrorCase{"EmptyText", "", 1, "missing REGEDIT4 header"},
        ErrorCase{"WrongHeader", "REGEDIT5\n[HKEY_USERS]\n", 1, "missing REGEDIT4 header"},
        ErrorCase{"HeaderNotFirst", "\nREGEDIT4\n", 1, "missing REGEDIT4 header"},
        ErrorCase{"LowerCaseHeader", "regedit4\n", 1, "missing REGEDIT4 header"},
        ErrorCase{"ValueBeforeKey", "REGEDIT4\n\n\"a\"=\"b\"\n", 3, "before any [key]"},
        ErrorCase{"DefaultBeforeKey", "REGEDIT4\n@=\"b\"\n", 2, "before any [key]"},
        ErrorCase{"ValueUnderRemovedKey", "REGEDIT4\n[-HKEY_USERS\\x]\n\"a\"=\"b\"\n", 3, "[-key]"},
        ErrorCase{"UnterminatedKey", "REGEDIT4\n[HKEY_USERS\\x\n", 2, "unterminated [key"},
        ErrorCase{"EmptyKey", "REGEDIT4\n[]\n", 2, "empty key name"},
        ErrorCase{"OnlyMinus", "REGEDIT4\n[-]\n", 2, "empty key name"},
        ErrorCase{"UnknownRoot", "REGEDIT4\n[HKLM\\Software]\n", 2, "unknown root key \"HKLM\""},
        ErrorCase{"EmptyComponent", "REGEDIT4\n[HKEY_USERS\\a\\\\b]\n", 2, "empty key name"},
        ErrorCase{"TrailingBackslashInKey", "REGEDIT4\n[HKEY_USERS\\a\\]\n", 2, "empty key name"},
        ErrorCase{"UnterminatedString", "REGEDIT4\n[HKEY_USERS]\n\"a\"=\"text\n", 3,
                  "unterminated string"},
        ErrorCase{"StringEndsInLoneBackslash", "REGEDIT4\n[HKEY_USERS]\n\"a\"=\"text\\\n", 3,
                  "unterminated string"},
        ErrorCase{"UnterminatedName", "REGEDIT4\n[HKEY_USERS]\n\"a=\"text\"\n", 3, "missing ="},
        ErrorCase{"NameRunsOff", "REGEDIT4\n[HKEY_USERS]\n\"abc\n", 3, "unterminated value name"},
        ErrorCase{"BadEscape", "REGEDIT4\n[HKEY_USERS]\n\"a\"=\"C:\\WINDOWS\"\n", 3,
                  "bad escape \\W"},
        ErrorCase{"BadEscapeInName", "REGEDIT4\n[HKEY_USERS]\n\"a\\n\"=\"x\"\n", 3,
                  "bad escape \\n in value name"},
        ErrorCase{"TextAfterString", "REGEDIT4\n[HKEY_USERS]\n\"a\"=\"x\" y\n", 3,
                  "unexpected text after the value"},
        ErrorCase{"TextAfterRemoval", "REGEDIT4\n[HKEY_USERS]\n\"a\"=-x\n", 3,
                  "unexpected text after the value"},
        ErrorCase{"MissingEquals", "REGEDIT4\n[HKEY_USERS]\n\"a\" \"x\"\n", 3, "missing ="},
        ErrorCase{"MissingData", "REGEDIT4\n[HKEY_USERS]\n\"a\"=\n", 3, "missing value data"},
        ErrorCase{"UnknownData", "REGEDIT4\n[HKEY_USERS]\n\"a\"=qword:1\n", 3,
                  "unknown value data"},
        ErrorCase{"BadDwordDigit", "REGEDIT4\n[HKEY_USERS]\n\"a\"=dword:0000000g\n", 3,
                  "bad dword"},
        ErrorCase{"DwordTooLong", "REGEDIT4\n[HKEY_USERS]\n\"a\"=dword:000000001\n", 3,
                  "bad dword"},
        ErrorCase{"EmptyDword", "REGEDIT4\n[HKEY_USERS]\n\"a\"=dword:\n", 3, "bad dword"},
        ErrorCase{"BadHexByte", "REGEDIT4\n[HKEY_USERS]\n\"a\"=hex:01,zz\n", 3,
                  "bad hex byte \"zz\""},
        ErrorCase{"HexByteTooLong", "REGEDIT4\n[HKEY_USERS]\n\"a\"=hex:123\n", 3,
                  "bad hex byte \"123\""},
        ErrorCase{"DoubleComma", "REGEDIT4\n[HKEY_USERS]\n\"a\"=hex:01,,02\n", 3,
                  "bad hex byte \"\""},
        ErrorCase{"MissingComma", "REGEDIT4\n[HKEY_USERS]\n\"a\"=hex:01 02\n", 3,
                  "expected a comma"},
        ErrorCase{"BadByteOnContinuedLine",
                  "REGEDIT4\n[HKEY_USERS]\n\"a\"=hex:01,\\\n  02,\\\n  0x\n", 5,
                  "bad hex byte \"0x\""},
        ErrorCase{"ContinuationAtEnd", "REGEDIT4\n[HKEY_USERS]\n\"a\"=hex:01,\\\n", 3,
                  "end of the file"},
        ErrorCase{"BadHexType", "REGEDIT4\n[HKEY_USERS]\n\"a\"=hex(x):01\n", 3, "bad value type"},
        ErrorCase{"UnclosedHexType", "REGEDIT4\n[HKEY_USERS]\n\"a\"=hex(2:01\n", 3,
                  "bad value type"},
        ErrorCase{"HexWithoutColon", "REGEDIT4\n[HKEY_USERS]\n\"a\"=hex 01\n", 3, "missing :"},
        ErrorCase{"StrayText", "REGEDIT4\r\n[HKEY_USERS]\r\nname=value\r\n", 3, "unexpected text"},
        ErrorCase{"LineCountsCrlf", "REGEDIT4\r\n\r\n\r\n[HKEY_USERS]\r\n\"a\"=dword:x\r\n", 5,
                  "bad dword"}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return info.param.label; });

TEST(RegFileParse, RecordsTheLineOfEachKey) {
  RegFile file;
  RegFileError error;
  ASSERT_TRUE(
      ParseRegFile("REGEDIT4\r\n\r\n[HKEY_USERS\\a]\r\n\"b\"=hex:01,\\\r\n  02\r\n"
                   "[-HKEY_USERS\\c]\r\n",
                   &file, &error))
      << error.message;
  ASSERT_EQ(file.keys.size(), 2u);
  EXPECT_EQ(file.keys[0].line, 3);
  EXPECT_EQ(file.keys[1].line, 6);
}

// A file covering every kind of value the writer has to encode.
RegFile SampleFile() {
  std::vector<uint8_t> long_binary;
  for (int i = 0; i < 200; ++i) long_binary.push_back(static_cast<uint8_t>(i * 7));
  std::string long_name(120, 'n');
  RegFile file;
  file.keys = {
      Key("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Winsock2\\Parameters",
          {Value("", 1, Sz("default")),
           Value("Current_Protocol_Catalog", 1, Sz("Protocol_Catalog9")),
           Value("Ongoing_Catalog", 4, {0x10, 0x20, 0x30, 0x40})}),
      Key("HKEY_LOCAL_MACHINE\\Software\\Odd",
          {Value("quote\" and \\", 1, Sz("C:\\WINDOWS\\\"q\"\\")), Value("empty string", 1, Sz("")),
           Value("empty binary", 3, {}), Value("no terminator", 1, Bytes("abc")),
           Value("inner nul", 1, {'a', 0, 'b', 0}), Value("line end", 1, Sz("two\r\nlines")),
           Value("zero size sz", 1, {}), Value("short dword", 4, {1, 2}),
           Value("expand", 2, Sz("%windir%\\x")), Value("multi", 7, {'a', 0, 'b', 0, 0}),
           Value("type 0", 0, {0xaa}), Value("big type", 0xffffffffu, {1}),
           Value("long", 3, long_binary),
           Value(long_name, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}),
           Removal("removed"), Removal("")}),
      RemovedKey("HKEY_CLASSES_ROOT\\dunfile"),
      Key("HKEY_CLASSES_ROOT"),
  };
  return file;
}

TEST(RegFileRoundTrip, WhatIsWrittenReadsBackUnchanged) {
  RegFile original = SampleFile();
  std::string text = WriteRegFile(original);
  RegFile read;
  RegFileError error;
  ASSERT_TRUE(ParseRegFile(text, &read, &error))
      << "line " << error.line << ": " << error.message << "\n"
      << text;
  EXPECT_EQ(Describe(read), Describe(original));
  EXPECT_TRUE(read == original);
  // Writing what was read gives the same bytes again.
  EXPECT_EQ(WriteRegFile(read), text);
}

TEST(RegFileRoundTrip, LongHexLinesAreContinuedWithinEightyColumns) {
  std::string text = WriteRegFile(SampleFile());
  size_t start = 0;
  int continued = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << "every line ends in CRLF";
    std::string line = text.substr(start, end - start);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    if (!line.empty() && line.back() == '\\') {
      ++continued;
      // A long name alone may pass 80 columns; then the line holds one byte.
      if (line.find("\"nnnn") != 0) {
        EXPECT_LE(line.size(), 80u) << line;
      }
      EXPECT_EQ(line.substr(line.size() - 2), ",\\") << line;
      size_t next = end + 2;
      EXPECT_EQ(text.substr(next, 2), "  ");
      EXPECT_NE(text[next + 2], ' ');
    }
    start = end + 2;
  }
  // 200 bytes take 9 lines; the 16 bytes behind a 120-character name take 2.
  EXPECT_EQ(continued, 8 + 1);
}

TEST(RegFileRoundTrip, ParsedSampleWithContinuationsReadsBackUnchanged) {
  const std::string text =
      "REGEDIT4\n"
      "[HKEY_LOCAL_MACHINE\\A]\n"
      "\"v\"=hex(7):41,00,\\\n"
      "      42,00,00\n"
      "\"d\"=dword:00000000\n"
      "@=\"\"\n";
  RegFile first;
  RegFileError error;
  ASSERT_TRUE(ParseRegFile(text, &first, &error)) << error.message;
  RegFile second;
  ASSERT_TRUE(ParseRegFile(WriteRegFile(first), &second, &error)) << error.message;
  EXPECT_TRUE(second == first) << Describe(second) << Describe(first);
}

TEST(RegFileWriter, WritesExactlyAsRegeditExports) {
  std::vector<uint8_t> catalog_item;
  for (int i = 0; i < 40; ++i) catalog_item.push_back(static_cast<uint8_t>(i));
  RegFile file;
  file.keys = {
      Key("HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Winsock2\\Parameters",
          {Value("Current_Protocol_Catalog", 1, Sz("Protocol_Catalog9")),
           Value("Next_Catalog_Entry_ID", 4, {0xe9, 0x03, 0, 0})}),
      Key("HKEY_LOCAL_MACHINE\\Entries\\000000000001",
          {Value("PackedCatalogItem", 3, catalog_item), Value("", 1, Sz("C:\\WINDOWS\\\"x\""))}),
      RemovedKey("HKEY_CLASSES_ROOT\\dunfile"),
  };
  const std::string expected =
      "REGEDIT4\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Winsock2\\Parameters]\r\n"
      "\"Current_Protocol_Catalog\"=\"Protocol_Catalog9\"\r\n"
      "\"Next_Catalog_Entry_ID\"=dword:000003e9\r\n"
      "\r\n"
      "[HKEY_LOCAL_MACHINE\\Entries\\000000000001]\r\n"
      "\"PackedCatalogItem\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,\\\r\n"
      "  12,13,14,15,16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27\r\n"
      "@=\"C:\\\\WINDOWS\\\\\\\"x\\\"\"\r\n"
      "\r\n"
      "[-HKEY_CLASSES_ROOT\\dunfile]\r\n"
      "\r\n";
  EXPECT_EQ(WriteRegFile(file), expected);
}

TEST(RegFileWriter, EncodesValuesThatTextCannotCarryAsHex) {
  RegFile file;
  file.keys = {Key("HKEY_USERS", {Value("a", 1, Bytes("ab")), Value("b", 4, {1}),
                                  Value("c", 2, Sz("x")), Value("d", 3, {})})};
  EXPECT_EQ(WriteRegFile(file),
            "REGEDIT4\r\n\r\n[HKEY_USERS]\r\n"
            "\"a\"=hex(1):61,62\r\n"
            "\"b\"=hex(4):01\r\n"
            "\"c\"=hex(2):78,00\r\n"
            "\"d\"=hex:\r\n"
            "\r\n");
}

TEST(RegFileWriter, EmptyFileIsHeaderAndBlankLine) {
  EXPECT_EQ(WriteRegFile(RegFile()), "REGEDIT4\r\n\r\n");
}

}  // namespace
}  // namespace netrevive::rehearsal
