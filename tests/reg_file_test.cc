#include "repair/reg_file.h"
#include "repair/branch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string S(const Bytes& b) { return std::string(b.begin(), b.end()); }

size_t Lines(const std::string& text) {
  size_t n = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++n;
  return n;
}

// What the .reg file must hold: the template as single-byte text, NULs gone,
// every line ended by CR LF.
std::string ExpectedReg(int id) {
  if (id == 105) {
    std::string t = S(kEmbeddedTemplate105);
    return t.substr(0, t.size() - 2) + "\r\n";
  }
  std::string t;
  for (size_t i = 2; i < kEmbeddedTemplate106.size(); i += 2) t.push_back(static_cast<char>(kEmbeddedTemplate106[i]));
  return t;
}

struct BuildCase {
  int id;
  const char* work;
  const char* reg;
  std::vector<std::uint8_t> descriptor;
  size_t lines;
  friend void PrintTo(const BuildCase& c, std::ostream* os) { *os << "template " << c.id; }
};

class BuildRegFileTest : public ::testing::TestWithParam<BuildCase> {};

TEST_P(BuildRegFileTest, WritesTheImportableFileAndRemovesTheWorkFile) {
  const BuildCase& c = GetParam();
  FakePlatform fake;
  ASSERT_TRUE(BuildRegFile(fake, c.id, "C:\\WINDOWS\\"));
  const std::string work = std::string("C:\\WINDOWS\\") + c.work;
  const std::string reg = std::string("C:\\WINDOWS\\") + c.reg;
  EXPECT_FALSE(fake.HasFile(work));
  ASSERT_TRUE(fake.HasFile(reg));
  const std::string text = fake.FileText(reg);
  EXPECT_EQ(text, ExpectedReg(c.id));
  EXPECT_EQ(Lines(text), c.lines);
  EXPECT_EQ(text.find('\0'), std::string::npos);
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);

  const Bytes& image = fake.last_written.at(Fold(work));
  ASSERT_GE(image.size(), 12u);
  EXPECT_EQ(Bytes(image.begin(), image.begin() + 12), c.descriptor);
  EXPECT_EQ(Bytes(image.begin() + 12, image.end()), fake.resources[c.id]);
  EXPECT_THAT(fake.log, ::testing::ElementsAre("write " + work, "write " + reg, "delete " + work));
}

INSTANTIATE_TEST_SUITE_P(
    Templates, BuildRegFileTest,
    ::testing::Values(
        BuildCase{105, "sxcas.tmp", "sxcas.reg", {0x11, 0x20, 0x01, 0x00, 0xD4, 0x34, 0, 0, 0, 0, 0, 0}, 380},
        BuildCase{106, "svcas.tmp", "svcas.reg", {0x11, 0x20, 0x01, 0x00, 0x98, 0x83, 0, 0, 0, 0, 0, 0}, 474}));

TEST(BuildRegFileRecoveryTest, StaleFilesOfAnEarlierRunAreReplaced) {
  FakePlatform fake;
  fake.files[Fold("C:\\WINDOWS\\svcas.tmp")] = Bytes(100000, 'x');
  fake.files[Fold("C:\\WINDOWS\\svcas.reg")] =
      B("Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\EVIL]\r\n");
  ASSERT_TRUE(BuildRegFile(fake, 106, "C:\\WINDOWS\\"));
  EXPECT_EQ(fake.FileText("C:\\WINDOWS\\svcas.reg"), ExpectedReg(106));
  EXPECT_FALSE(fake.HasFile("C:\\WINDOWS\\svcas.tmp"));
}

TEST(BuildRegFileRecoveryTest, BlockedWorkFileStillGivesTheSameRegFile) {
  for (const char* op : {"WriteWholeFile", "ReadWholeFile"}) {
    FakePlatform fake;
    fake.Fail(op, "sxcas.tmp");
    EXPECT_TRUE(BuildRegFile(fake, 105, "C:\\WINDOWS\\")) << op;
    EXPECT_EQ(fake.FileText("C:\\WINDOWS\\sxcas.reg"), ExpectedReg(105)) << op;
    EXPECT_FALSE(fake.HasFile("C:\\WINDOWS\\sxcas.tmp")) << op;
  }
}

TEST(BuildRegFileRecoveryTest, NoRegFileIsLeftWhenItCannotBeBuilt) {
  struct Case {
    const char* op;
    const char* arg;
  };
  for (Case c : {Case{"WriteWholeFile", "sxcas.reg"}, Case{"LoadCustomResource", "105"}}) {
    FakePlatform fake;
    fake.files[Fold("C:\\WINDOWS\\sxcas.reg")] = B("stale");
    fake.Fail(c.op, c.arg);
    EXPECT_FALSE(BuildRegFile(fake, 105, "C:\\WINDOWS\\")) << c.op;
    EXPECT_TRUE(fake.files.empty()) << c.op;
  }
}

TEST(BuildRegFileRecoveryTest, UnwritableDirectoryLeavesNothing) {
  FakePlatform fake;
  EXPECT_FALSE(BuildRegFile(fake, 106, "Z:\\read-only\\"));
  EXPECT_TRUE(fake.files.empty());
}

struct ConvertCase {
  const char* what;
  Bytes work;
  std::string reg;
  friend void PrintTo(const ConvertCase& c, std::ostream* os) { *os << c.what; }
};

class ConvertTest : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertTest, CopiesEveryLineAfterTheFirst) {
  EXPECT_EQ(RegTextFromWorkFile(GetParam().work), GetParam().reg) << GetParam().what;
}

const std::string H = "Windows Registry Editor Version 5.00\r\n";

Bytes Utf16(const std::string& s) {
  Bytes b = {0xFF, 0xFE};
  for (char c : s) b.insert(b.end(), {static_cast<std::uint8_t>(c), 0});
  return b;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertTest,
    ::testing::Values(
        ConvertCase{"one line only", ByteArrayImage(B("REGEDIT4")), H}, ConvertCase{"empty work file", {}, H},
        ConvertCase{"empty lines are copied", ByteArrayImage(B("h\r\n\r\na\r\n\r\nb")), H + "\r\na\r\n\r\nb\r\n"},
        ConvertCase{"a final CR LF adds no line", ByteArrayImage(B("h\r\na\r\n")), H + "a\r\n"},
        ConvertCase{"NULs are dropped", ByteArrayImage(B(std::string("h\r\na\0\0", 7))), H + "a\r\n"},
        ConvertCase{"UTF-16 is narrowed", ByteArrayImage(Utf16("h\r\n[K]\r\n\r\n")), H + "[K]\r\n\r\n"},
        ConvertCase{"non-ASCII becomes ?", ByteArrayImage({0xFF, 0xFE, 'h', 0, '\r', 0, '\n', 0, 0xE9, 0, 0x3B, 0x04}),
                    H + "??\r\n"},
        ConvertCase{"stale bytes past the count are ignored",
                    [] {
                      Bytes b = ByteArrayImage(B("h\r\na"));
                      b.push_back('\r');
                      b.push_back('\n');
                      for (char c : std::string("[EVIL]")) b.push_back(c);
                      return b;
                    }(),
                    H + "a\r\n"},
        ConvertCase{"a count past the end is bounded",
                    Bytes{0x11, 0x20, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 'h', '\r', '\n', 'a'},
                    H + "a\r\n"},
        ConvertCase{"no descriptor: taken whole", B("h\r\nb"), H + "b\r\n"}));

}  // namespace
}  // namespace veltrik::testing

namespace veltrik::testing {
namespace {

using Entries = std::vector<RegistryEntry>;
const std::optional<std::string> kKeyOnly;

struct ParseCase {
  const char* what;
  std::string text;
  Entries entries;
  friend void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.what; }
};

class ParseRegTextTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseRegTextTest, ReadsKeysAndStringValues) {
  const Entries got = ParseRegText(GetParam().text);
  ASSERT_EQ(got.size(), GetParam().entries.size()) << GetParam().what;
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].key, GetParam().entries[i].key) << GetParam().what << " #" << i;
    EXPECT_EQ(got[i].name, GetParam().entries[i].name) << GetParam().what << " #" << i;
    EXPECT_EQ(got[i].data, GetParam().entries[i].data) << GetParam().what << " #" << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseRegTextTest,
    ::testing::Values(
        ParseCase{"default value", "h\r\n\r\n[K\\A]\r\n@=\"Service\"\r\n", {{"K\\A", "", "Service"}}},
        ParseCase{"key without values", "[K]\r\n\r\n[K\\B]\r\n@=\"x\"\r\n", {{"K", kKeyOnly, ""}, {"K\\B", "", "x"}}},
        ParseCase{"escapes", "[K]\n\"a\\\"b\"=\"c\\\\d\\\"\"\n", {{"K", "a\"b", "c\\d\""}}},
        ParseCase{"two values of one key", "[K]\r\n\"A\"=\"1\"\r\n@=\"2\"", {{"K", "A", "1"}, {"K", "", "2"}}},
        ParseCase{"other value kinds and broken lines are skipped",
                  "[K]\r\n\"d\"=dword:00000001\r\n\"open\"=\"x\r\n@=\"y\" junk\r\n\"n\"\"=\"z\"\r\n",
                  {{"K", kKeyOnly, ""}}},
        ParseCase{"deletions and values before any key are ignored", "@=\"x\"\r\n[-K]\r\n@=\"y\"\r\n", {}},
        ParseCase{"empty brackets", "[]\r\n@=\"x\"", {}}));

TEST(ExpectedEntriesTest, EveryKeyAndValueOfEachTemplate) {
  FakePlatform fake;
  const std::string root = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot";
  for (auto [id, count] : {std::pair{105, 1 + 2 + 42 + 82}, std::pair{106, 1 + 2 + 52 + 103}}) {
    const Entries entries = ExpectedEntries(fake, id);
    ASSERT_EQ(entries.size(), static_cast<size_t>(count)) << id;
    EXPECT_EQ(entries[0].key, root);
    EXPECT_EQ(entries[0].name, "AlternateShell");
    EXPECT_EQ(entries[0].data, "cmd.exe");
    EXPECT_EQ(entries[1].key, root + "\\Minimal");
    EXPECT_EQ(entries[1].name, kKeyOnly);
    EXPECT_EQ(entries.back().data, id == 105 ? "Human Interface Devices" : "SecurityDevices");
  }
}

}  // namespace
}  // namespace veltrik::testing
