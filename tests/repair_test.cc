// The templates, their conversion into the .reg file, and the reader of what the branch must hold.
// (That the templates are exactly their entry lists in tools/ is a static check.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "repair/branch.h"
#include "repair/reg_file.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }
const std::string kRoot = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot";
struct TemplateCase {
  int id;
  size_t minimal, network, dwords;  // entries of each section; DWORD values among them
  const char *reg, *work;
  Bytes descriptor;
  const char* last;  // the value of the last entry
  friend void PrintTo(const TemplateCase& c, std::ostream* os) { *os << "template " << c.id; }
};

// What the .reg file must hold: the template as single-byte text, NULs gone,
// every line after the header line ended by CR LF.
std::string ExpectedReg(const Bytes& stored) {
  std::string t;
  if (stored[0] != 0xFF) {
    t.assign(stored.begin(), std::find(stored.begin(), stored.end(), 0));
    return t.substr(t.size() - 2) == "\r\n" ? t : t + "\r\n";
  }
  for (size_t i = 2; i < stored.size(); i += 2) t.push_back(static_cast<char>(stored[i]));
  return t;
}

class TemplateTest : public ::testing::TestWithParam<TemplateCase> {};

// What the registry must hold, and the .reg file made through the work file.
TEST_P(TemplateTest, EntriesAndTheImportableFile) {
  const TemplateCase& c = GetParam();
  FakePlatform fake;
  const auto entries = LoadTemplate(fake, c.id).entries;
  ASSERT_EQ(entries.size(), 3 + c.minimal + c.network);
  EXPECT_EQ(std::count_if(entries.begin(), entries.end(), [](auto& e) { return e.type == ValueType::kDword; }),
            c.dwords);
  const std::optional<std::string> shell = "AlternateShell";
  EXPECT_EQ(std::tie(entries[0].key, entries[0].name, entries[0].data), std::make_tuple(kRoot, shell, "cmd.exe"));
  EXPECT_EQ(std::tie(entries[1].key, entries[1].name), std::make_tuple(kRoot + "\\Minimal", std::nullopt));
  EXPECT_EQ(entries[2 + c.minimal].key, kRoot + "\\Network");
  EXPECT_EQ(entries.back().data, c.last);

  const std::string reg = std::string("C:\\WINDOWS\\") + c.reg, work = std::string("C:\\WINDOWS\\") + c.work;
  ASSERT_TRUE(BuildRegFile(fake, LoadTemplate(fake, c.id), "C:\\WINDOWS\\"));
  EXPECT_EQ(fake.FileText(reg), ExpectedReg(fake.resources[c.id]));
  EXPECT_EQ(fake.FileText(reg).rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  Bytes image = fake.last_written.at(Fold(work));
  EXPECT_EQ(Bytes(image.begin(), image.begin() + 12), c.descriptor);
  EXPECT_EQ(Bytes(image.begin() + 12, image.end()), fake.resources[c.id]);
  EXPECT_THAT(fake.log, ::testing::ElementsAre("write " + work, "write " + reg, "delete " + work));
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Stored, TemplateTest,
    ::testing::Values(TemplateCase{105, 42, 82, 0, "sxcas.reg", "sxcas.tmp",
                                   {0x11, 0x20, 0x01, 0x00, 0xD4, 0x34, 0, 0, 0, 0, 0, 0}, "Human Interface Devices"},
                      TemplateCase{106, 52, 103, 0, "svcas.reg", "svcas.tmp",
                                   {0x11, 0x20, 0x01, 0x00, 0x98, 0x83, 0, 0, 0, 0, 0, 0}, "SecurityDevices"},
                      TemplateCase{107, 60, 114, 0, "svcas.reg", "svcas.tmp",
                                   {0x11, 0x20, 0x01, 0x00, 0xE3, 0x48, 0, 0, 0, 0, 0, 0}, "SecurityDevices"},
                      TemplateCase{108, 67, 124, 0, "svcas.reg", "svcas.tmp",
                                   {0x11, 0x20, 0x01, 0x00, 0x77, 0x50, 0, 0, 0, 0, 0, 0}, "SecurityDevices"},
                      TemplateCase{109, 87, 146, 2, "svcas.reg", "svcas.tmp",
                                   {0x11, 0x20, 0x01, 0x00, 0xB1, 0x60, 0, 0, 0, 0, 0, 0}, "Firmware"}));
// clang-format on

TEST(BuildRegFileTest, ABlockedWorkFileStillGivesTheWholeRegFile) {
  for (const char* op : {"WriteWholeFile", "ReadWholeFile"}) {
    FakePlatform fake;
    fake.Fail(op, "sxcas.tmp");
    EXPECT_TRUE(BuildRegFile(fake, LoadTemplate(fake, 105), "C:\\WINDOWS\\")) << op;
    EXPECT_EQ(fake.FileText("C:\\WINDOWS\\sxcas.reg"), ExpectedReg(kEmbeddedTemplate105)) << op;
    EXPECT_FALSE(fake.files.count("c:\\windows\\sxcas.tmp")) << op;
  }
}

struct ConvertCase {
  const char* what;
  Bytes work;
  std::string reg;  // after the header line
  friend void PrintTo(const ConvertCase& c, std::ostream* os) { *os << c.what; }
};

class ConvertTest : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertTest, CopiesEveryLineAfterTheFirst) {
  EXPECT_EQ(RegTextFromWorkFile(GetParam().work), "Windows Registry Editor Version 5.00\r\n" + GetParam().reg);
}

Bytes Utf16(const std::string& s) {
  Bytes b = {0xFF, 0xFE};
  for (char c : s) b.insert(b.end(), {static_cast<std::uint8_t>(c), 0});
  return b;
}
const Bytes kStale = {0x11, 0x20, 1, 0, 4, 0, 0, 0, 0, 0, 0, 0, 'h', '\r', '\n', 'a', '\r', '\n', '[', 'E', ']'};

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertTest,
    ::testing::Values(
        ConvertCase{"one line only", ByteArrayImage(B("REGEDIT4")), ""}, ConvertCase{"empty", {}, ""},
        ConvertCase{"empty lines are copied", ByteArrayImage(B("h\r\n\r\na\r\n\r\nb")), "\r\na\r\n\r\nb\r\n"},
        ConvertCase{"a final CR LF adds no line", ByteArrayImage(B("h\r\na\r\n")), "a\r\n"},
        ConvertCase{"NULs are dropped", ByteArrayImage(B(std::string("h\r\na\0\0", 7))), "a\r\n"},
        ConvertCase{"UTF-16 is narrowed", ByteArrayImage(Utf16("h\r\n[K]\r\n\r\n")), "[K]\r\n\r\n"},
        ConvertCase{"non-ASCII becomes ?", ByteArrayImage({0xFF, 0xFE, 'h', 0, '\r', 0, '\n', 0, 0xE9, 0, 0x3B, 0x04}),
                    "??\r\n"},
        ConvertCase{"bytes past the count are ignored", kStale, "a\r\n"},
        ConvertCase{"a count past the end is bounded",
                    Bytes{0x11, 0x20, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 'h', '\r', '\n', 'a'}, "a\r\n"},
        ConvertCase{"no descriptor: taken whole", B("h\r\nb"), "b\r\n"}));
// clang-format on

const std::optional<std::string> kKeyOnly;

struct ParseCase {
  const char* what;
  std::string text;
  std::vector<RegistryEntry> entries;
  friend void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.what; }
};

class ParseRegTextTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseRegTextTest, ReadsKeysStringsAndDwords) {
  const auto got = ParseRegText(GetParam().text);
  ASSERT_EQ(got.size(), GetParam().entries.size());
  for (size_t i = 0; i < got.size(); ++i) {
    const RegistryEntry& want = GetParam().entries[i];
    EXPECT_EQ(std::tie(got[i].key, got[i].name, got[i].data, got[i].type),
              std::tie(want.key, want.name, want.data, want.type)) << i;
  }
}

const ValueType kDword = ValueType::kDword;

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, ParseRegTextTest,
    ::testing::Values(
        ParseCase{"default value", "h\r\n\r\n[K\\A]\r\n@=\"Service\"\r\n", {{"K\\A", "", "Service"}}},
        ParseCase{"key without values", "[K]\r\n\r\n[K\\B]\r\n@=\"x\"", {{"K", kKeyOnly, ""}, {"K\\B", "", "x"}}},
        ParseCase{"escapes", "[K]\n\"a\\\"b\"=\"c\\\\d\\\"\"\n", {{"K", "a\"b", "c\\d\""}}},
        ParseCase{"two values of one key", "[K]\r\n\"A\"=\"1\"\r\n@=\"2\"", {{"K", "A", "1"}, {"K", "", "2"}}},
        ParseCase{"dwords, as numbers", "[K]\r\n\"D\"=dword:0000001f\r\n@=dword:FFFFFFFF\r\n\"z\"=dword:0",
                  {{"K", "D", "31", kDword}, {"K", "", "4294967295", kDword}, {"K", "z", "0", kDword}}},
        ParseCase{"other value kinds and broken lines are skipped",
                  "[K]\r\n\"h\"=hex:01\r\n\"open\"=\"x\r\n@=\"y\" junk\r\n\"n\"\"=\"z\"\r\n\"d\"=dword:\r\n"
                  "\"d\"=dword:123456789\r\n\"d\"=dword:1g\r\n\"d\"=DWORD:1\r\n",
                  {{"K", kKeyOnly, ""}}},
        ParseCase{"deletions and values before any key are ignored", "@=\"x\"\r\n[-K]\r\n@=\"y\"\r\n[]\r\n", {}}));
// clang-format on

}  // namespace
}  // namespace veltrik::testing
