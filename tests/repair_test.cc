// The stored templates, their conversion into the .reg file, and the reader
// of what the branch must hold.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "repair/branch.h"
#include "repair/reg_file.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }
const std::string kRoot = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot";
const std::map<std::string, std::string> kClasses = {
    {"{36FC9E60-C465-11CF-8056-444553540000}", "Universal Serial Bus controllers"},
    {"{4D36E965-E325-11CE-BFC1-08002BE10318}", "CD-ROM Drive"}, {"{4D36E967-E325-11CE-BFC1-08002BE10318}", "DiskDrive"},
    {"{4D36E969-E325-11CE-BFC1-08002BE10318}", "Standard floppy disk controller"},
    {"{4D36E96A-E325-11CE-BFC1-08002BE10318}", "Hdc"}, {"{4D36E96B-E325-11CE-BFC1-08002BE10318}", "Keyboard"},
    {"{4D36E96F-E325-11CE-BFC1-08002BE10318}", "Mouse"}, {"{4D36E972-E325-11CE-BFC1-08002BE10318}", "Net"},
    {"{4D36E973-E325-11CE-BFC1-08002BE10318}", "NetClient"}, {"{4D36E974-E325-11CE-BFC1-08002BE10318}", "NetService"},
    {"{4D36E975-E325-11CE-BFC1-08002BE10318}", "NetTrans"},
    {"{4D36E977-E325-11CE-BFC1-08002BE10318}", "PCMCIA Adapters"},
    {"{4D36E97B-E325-11CE-BFC1-08002BE10318}", "SCSIAdapter"}, {"{4D36E97D-E325-11CE-BFC1-08002BE10318}", "System"},
    {"{4D36E980-E325-11CE-BFC1-08002BE10318}", "Floppy disk drive"},
    {"{50DD5230-BA8A-11D1-BF5D-0000F805F530}", "Smart card readers"},
    {"{533C5B84-EC70-11D2-9505-00C04F79DEAF}", "Volume shadow copy"},
    {"{6BDD1FC1-810F-11D0-BEC7-08002BE2092F}", "IEEE 1394 Bus host controllers"},
    {"{71A27CDD-812A-11D0-BEC7-08002BE2092F}", "Volume"},
    {"{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}", "Human Interface Devices"},
    {"{D48179BE-EC20-11D1-B6B8-00C04FA372A7}", "SBP2 IEEE 1394 Devices"},
    {"{D94EE5D8-D189-4994-83D2-F68D7D41B0E6}", "SecurityDevices"}};
const std::set<std::string> kKinds = {"Service", "Driver Group", "Driver", "FSFilter System Recovery"};

struct TemplateCase {
  int id;
  size_t size, minimal, network, minimal_classes, network_classes;
  std::string start, end;  // the first and last bytes: encoding and ending
  const char *reg, *work;
  Bytes descriptor;
  std::string sample_key, sample_value;
  friend void PrintTo(const TemplateCase& c, std::ostream* os) { *os << "template " << c.id; }
};

// What the .reg file must hold: the template as single-byte text, NULs gone,
// every line after the header line ended by CR LF.
std::string ExpectedReg(int id) {
  std::string t;
  if (id == 105) {
    t.assign(kEmbeddedTemplate105.begin(), kEmbeddedTemplate105.end() - 2);
    return t + "\r\n";
  }
  for (size_t i = 2; i < kEmbeddedTemplate106.size(); i += 2) t.push_back(static_cast<char>(kEmbeddedTemplate106[i]));
  return t;
}

class TemplateTest : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(TemplateTest, HoldsTheWholeBranchInOrder) {
  const TemplateCase& c = GetParam();
  FakePlatform fake;
  const Bytes& raw = fake.resources[c.id];
  ASSERT_EQ(raw.size(), c.size);
  EXPECT_EQ(std::string(raw.begin(), raw.begin() + 2), c.start);
  EXPECT_EQ(std::string(raw.end() - c.end.size(), raw.end()), c.end);
  const auto entries = ExpectedEntries(fake, c.id);
  ASSERT_EQ(entries.size(), 3 + c.minimal + c.network);
  EXPECT_EQ(entries[0].key, kRoot);
  EXPECT_EQ(entries[0].name, "AlternateShell");
  EXPECT_EQ(entries[0].data, "cmd.exe");
  std::map<std::string, size_t> count, classes;
  std::map<std::string, std::string> last;
  for (size_t i = 1; i < entries.size(); ++i) {
    const std::string rest = entries[i].key.substr(kRoot.size() + 1);
    const std::string section = rest.substr(0, rest.find('\\'));
    if (rest == section) {
      EXPECT_EQ(entries[i].name, std::nullopt) << rest;
      continue;
    }
    const std::string name = rest.substr(section.size() + 1);
    EXPECT_EQ(entries[i].name, "") << rest;
    EXPECT_LT(Fold(last[section]), Fold(name)) << "order in " << section;
    last[section] = name;
    ++count[section];
    if (name[0] == '{') {
      ++classes[section];
      EXPECT_EQ(kClasses.at(name), entries[i].data);
    } else {
      EXPECT_TRUE(kKinds.count(entries[i].data)) << rest << "=" << entries[i].data;
    }
    if (rest == c.sample_key) EXPECT_EQ(entries[i].data, c.sample_value);
  }
  EXPECT_EQ(count["Minimal"], c.minimal);
  EXPECT_EQ(count["Network"], c.network);
  EXPECT_EQ(classes["Minimal"], c.minimal_classes);
  EXPECT_EQ(classes["Network"], c.network_classes);
}

TEST_P(TemplateTest, BuildsTheImportableFileThroughTheWorkFile) {
  const TemplateCase& c = GetParam();
  FakePlatform fake;
  const std::string reg = std::string("C:\\WINDOWS\\") + c.reg, work = std::string("C:\\WINDOWS\\") + c.work;
  ASSERT_TRUE(BuildRegFile(fake, c.id, "C:\\WINDOWS\\"));
  EXPECT_EQ(fake.FileText(reg), ExpectedReg(c.id));
  EXPECT_EQ(fake.FileText(reg).rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
  Bytes image = fake.last_written.at(Fold(work));
  EXPECT_EQ(Bytes(image.begin(), image.begin() + 12), c.descriptor);
  EXPECT_EQ(Bytes(image.begin() + 12, image.end()), fake.resources[c.id]);
  EXPECT_THAT(fake.log, ::testing::ElementsAre("write " + work, "write " + reg, "delete " + work));
}

INSTANTIATE_TEST_SUITE_P(
    Stored, TemplateTest,
    ::testing::Values(TemplateCase{105, 13524, 42, 82, 13, 17, "Wi", std::string("s\"\0\0", 4), "sxcas.reg", "sxcas.tmp",
                                   {0x11, 0x20, 0x01, 0x00, 0xD4, 0x34, 0, 0, 0, 0, 0, 0},
                                   "Minimal\\sr.sys", "FSFilter System Recovery"},
                      TemplateCase{106, 33688, 52, 103, 17, 22, "\xFF\xFE", std::string("\r\0\n\0\r\0\n\0", 8), "svcas.reg", "svcas.tmp",
                                   {0x11, 0x20, 0x01, 0x00, 0x98, 0x83, 0, 0, 0, 0, 0, 0},
                                   "Network\\PNP_TDI", "Driver Group"}));

TEST(TemplateTest, XpTextHas379LineBreaksAndTwoTrailingNuls) {
  const std::string text(kEmbeddedTemplate105.begin(), kEmbeddedTemplate105.end());
  EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 379);
  EXPECT_EQ(text.find('\0'), text.size() - 2);
  const std::string reg = ExpectedReg(105);
  EXPECT_EQ(std::count(reg.begin(), reg.end(), '\n'), 380);
}

struct RecoveryCase {
  const char* what;
  std::map<std::string, Bytes> files;  // before
  const char *op, *argument;
  bool written;  // a complete .reg file, else none at all
  friend void PrintTo(const RecoveryCase& c, std::ostream* os) { *os << c.what; }
};

class BuildRegFileRecoveryTest : public ::testing::TestWithParam<RecoveryCase> {};

TEST_P(BuildRegFileRecoveryTest, LeavesTheWholeFileOrNone) {
  const RecoveryCase& c = GetParam();
  FakePlatform fake;
  fake.files = c.files;
  if (c.op) fake.Fail(c.op, c.argument);
  EXPECT_EQ(BuildRegFile(fake, 105, "C:\\WINDOWS\\"), c.written);
  EXPECT_EQ(fake.FileText("C:\\WINDOWS\\sxcas.reg"), c.written ? ExpectedReg(105) : "");
  EXPECT_FALSE(fake.HasFile("C:\\WINDOWS\\sxcas.tmp"));
  EXPECT_EQ(fake.HasFile("C:\\WINDOWS\\sxcas.reg"), c.written);
}

const std::map<std::string, Bytes> kStale = {{"c:\\windows\\sxcas.tmp", Bytes(100000, 'x')},
                                             {"c:\\windows\\sxcas.reg", B("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\EVIL]")}};

INSTANTIATE_TEST_SUITE_P(
    Cases, BuildRegFileRecoveryTest,
    ::testing::Values(RecoveryCase{"stale longer files are replaced", kStale, nullptr, nullptr, true},
                      RecoveryCase{"work file unwritable", {}, "WriteWholeFile", "sxcas.tmp", true},
                      RecoveryCase{"work file unreadable", {}, "ReadWholeFile", "sxcas.tmp", true},
                      RecoveryCase{".reg unwritable", kStale, "WriteWholeFile", "sxcas.reg", false},
                      RecoveryCase{"template missing", kStale, "LoadCustomResource", "105", false}));

TEST(BuildRegFileRecoveryTest, UnwritableFolderLeavesNothing) {
  FakePlatform fake;
  EXPECT_FALSE(BuildRegFile(fake, 106, "Z:\\read-only\\"));
  EXPECT_TRUE(fake.files.empty());
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
Bytes Stale() {
  Bytes b = ByteArrayImage(B("h\r\na"));
  for (char c : std::string("\r\n[EVIL]")) b.push_back(static_cast<std::uint8_t>(c));
  return b;
}

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
        ConvertCase{"bytes past the count are ignored", Stale(), "a\r\n"},
        ConvertCase{"a count past the end is bounded",
                    Bytes{0x11, 0x20, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 'h', '\r', '\n', 'a'}, "a\r\n"},
        ConvertCase{"no descriptor: taken whole", B("h\r\nb"), "b\r\n"}));

const std::optional<std::string> kKeyOnly;

struct ParseCase {
  const char* what;
  std::string text;
  std::vector<RegistryEntry> entries;
  friend void PrintTo(const ParseCase& c, std::ostream* os) { *os << c.what; }
};

class ParseRegTextTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseRegTextTest, ReadsKeysAndStringValues) {
  const auto got = ParseRegText(GetParam().text);
  ASSERT_EQ(got.size(), GetParam().entries.size());
  for (size_t i = 0; i < got.size(); ++i) {
    const RegistryEntry& want = GetParam().entries[i];
    EXPECT_EQ(std::tie(got[i].key, got[i].name, got[i].data), std::tie(want.key, want.name, want.data)) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseRegTextTest,
    ::testing::Values(
        ParseCase{"default value", "h\r\n\r\n[K\\A]\r\n@=\"Service\"\r\n", {{"K\\A", "", "Service"}}},
        ParseCase{"key without values", "[K]\r\n\r\n[K\\B]\r\n@=\"x\"", {{"K", kKeyOnly, ""}, {"K\\B", "", "x"}}},
        ParseCase{"escapes", "[K]\n\"a\\\"b\"=\"c\\\\d\\\"\"\n", {{"K", "a\"b", "c\\d\""}}},
        ParseCase{"two values of one key", "[K]\r\n\"A\"=\"1\"\r\n@=\"2\"", {{"K", "A", "1"}, {"K", "", "2"}}},
        ParseCase{"other value kinds and broken lines are skipped",
                  "[K]\r\n\"d\"=dword:00000001\r\n\"open\"=\"x\r\n@=\"y\" junk\r\n\"n\"\"=\"z\"\r\n",
                  {{"K", kKeyOnly, ""}}},
        ParseCase{"deletions and values before any key are ignored", "@=\"x\"\r\n[-K]\r\n@=\"y\"\r\n[]\r\n", {}}));

}  // namespace
}  // namespace veltrik::testing
