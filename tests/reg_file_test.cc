// The templates, their conversion into the .reg file, and the reader of what the branch must hold. (That the
// templates are exactly their entry lists in tools/ is a static check.)
#include <algorithm>
#include "repair/reg_file.h"
#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }
const std::string kRoot = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot";

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

// What the registry must hold, and the .reg file made through the work file, whose descriptor (a one-dimensional
// byte array) counts the template's bytes.
TEST(TemplateTest, EntriesAndTheImportableFile) {
  // template, entries of Minimal and Network, DWORD values among them, .reg file, the last entry's value
  for (auto [id, minimal, network, dwords, name, last] : {
         std::tuple{kTemplateXp, 42u, 82u, 0, "sxcas", "Human Interface Devices"},
         {kTemplateVista, 52u, 103u, 0, "svcas", "SecurityDevices"}, {kTemplateWin7, 60u, 114u, 0, "svcas", "SecurityDevices"},
         {kTemplateWin8, 67u, 124u, 0, "svcas", "SecurityDevices"}, {kTemplateWin10, 87u, 146u, 2, "svcas", "Firmware"}}) {
    SCOPED_TRACE(id);
    FakePlatform fake;
    const auto entries = LoadTemplate(fake, id).entries;
    ASSERT_EQ(entries.size(), 3 + minimal + network);
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(), [](auto& e) { return e.type == ValueType::kDword; }),
              dwords);
    const std::optional<std::string> shell = "AlternateShell";
    EXPECT_EQ(std::tie(entries[0].key, entries[0].name, entries[0].data), std::make_tuple(kRoot, shell, "cmd.exe"));
    EXPECT_EQ(std::tie(entries[1].key, entries[1].name), std::make_tuple(kRoot + "\\Minimal", std::nullopt));
    EXPECT_EQ(entries[2 + minimal].key, kRoot + "\\Network");
    EXPECT_EQ(entries.back().data, last);

    const std::string reg = "C:\\WINDOWS\\" + std::string(name) + ".reg";
    const std::string work = "C:\\WINDOWS\\" + std::string(name) + ".tmp";
    ASSERT_TRUE(BuildRegFile(fake, LoadTemplate(fake, id), "C:\\WINDOWS\\"));
    EXPECT_EQ(fake.FileText(reg), ExpectedReg(fake.resources[id]));
    const Bytes image = fake.last_written.at(work);
    const std::size_t size = fake.resources[id].size();
    ASSERT_LT(size, 0x10000u);
    EXPECT_EQ(Bytes(image.begin(), image.begin() + 12),
              Bytes({0x11, 0x20, 0x01, 0x00, std::uint8_t(size), std::uint8_t(size >> 8), 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Bytes(image.begin() + 12, image.end()), fake.resources[id]);
    EXPECT_THAT(fake.log, ::testing::ElementsAre("write " + work, "write " + reg, "delete " + work));
  }
}

TEST(BuildRegFileTest, ABlockedWorkFileStillGivesTheWholeRegFile) {
  for (Op op : {Op::kWriteWholeFile, Op::kReadWholeFile}) {
    FakePlatform fake;
    fake.Fail(op, "sxcas.tmp");
    EXPECT_TRUE(BuildRegFile(fake, LoadTemplate(fake, kTemplateXp), "C:\\WINDOWS\\")) << static_cast<int>(op);
    EXPECT_EQ(fake.FileText("C:\\WINDOWS\\sxcas.reg"), ExpectedReg(kEmbeddedTemplate105)) << static_cast<int>(op);
    EXPECT_FALSE(fake.files.count("c:\\windows\\sxcas.tmp")) << static_cast<int>(op);
  }
}

Bytes Utf16(const std::string& s) {
  Bytes b = {0xFF, 0xFE};
  for (char c : s) b.insert(b.end(), {static_cast<std::uint8_t>(c), 0});
  return b;
}

TEST(ConvertTest, CopiesEveryLineAfterTheFirst) {
  const Bytes kStale = {0x11, 0x20, 1, 0, 4, 0, 0, 0, 0, 0, 0, 0, 'h', '\r', '\n', 'a', '\r', '\n', '[', 'E', ']'};
  for (const auto& [work, reg] : std::vector<std::pair<Bytes, std::string>>{
         {ByteArrayImage(B("REGEDIT4")), ""}, {{}, ""},  // one line only; empty
         {ByteArrayImage(B("h\r\n\r\na\r\n\r\nb")), "\r\na\r\n\r\nb\r\n"},  // empty lines are copied
         {ByteArrayImage(B("h\r\na\r\n")), "a\r\n"},                        // a final CR LF adds no line
         {ByteArrayImage(B(std::string("h\r\na\0\0", 7))), "a\r\n"},        // NULs are dropped
         {ByteArrayImage(Utf16("h\r\n[K]\r\n\r\n")), "[K]\r\n\r\n"},        // UTF-16 is narrowed
         {ByteArrayImage({0xFF, 0xFE, 'h', 0, '\r', 0, '\n', 0, 0xE9, 0, 0x3B, 0x04}), "??\r\n"},  // non-ASCII: ?
         {kStale, "a\r\n"},  // bytes past the count are ignored, a count past the end is bounded
         {Bytes{0x11, 0x20, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 'h', '\r', '\n', 'a'}, "a\r\n"},
         {B("h\r\nb"), "b\r\n"}}) {  // no descriptor: taken whole
    EXPECT_EQ(RegTextFromWorkFile(work), "Windows Registry Editor Version 5.00\r\n" + reg) << reg;
  }
}

TEST(ParseRegTextTest, ReadsKeysStringsDwordsAndBytes) {
  const std::optional<std::string> kKeyOnly;
  const ValueType kDword = ValueType::kDword;
  for (const auto& [text, entries] : std::vector<std::pair<std::string, std::vector<RegistryEntry>>>{
         {"h\r\n\r\n[K\\A]\r\n@=\"Service\"\r\n", {{"K\\A", "", "Service"}}},
         {"[K]\r\n\r\n[K\\B]\r\n@=\"x\"", {{"K", kKeyOnly, ""}, {"K\\B", "", "x"}}},  // a key without values
         {"[K]\n\"a\\\"b\"=\"c\\\\d\\\"\"\n", {{"K", "a\"b", "c\\d\""}}},
         {"[K]\r\n\"A\"=\"1\"\r\n@=\"2\"", {{"K", "A", "1"}, {"K", "", "2"}}},
         {"[K]\r\n\"D\"=dword:0000001f\r\n@=dword:FFFFFFFF\r\n\"z\"=dword:0",
          {{"K", "D", "31", kDword}, {"K", "", "4294967295", kDword}, {"K", "z", "0", kDword}}},
         // Bytes of any type, a long value going on over lines.
         {"[K]\r\n\"b\"=hex:01,FF\r\n\"q\"=hex(b):01,00,00,00,00,00,00,00\r\n\"l\"=hex(7):61,00,\\\r\n  00,00,00,00\r\n"
          "@=hex(0):\r\n\"x\"=hex(1000):02\r\n",
          {{"K", "b", "\x01\xff", ValueType::kBinary}, {"K", "q", std::string("\x01\0\0\0\0\0\0\0", 8), ValueType{11}},
           {"K", "l", std::string("a\0", 2), ValueType::kMultiString}, {"K", "", "", ValueType::kNone},
           {"K", "x", "\x02", ValueType{0x1000}}}},
         // Broken lines are skipped; deletions and values before any key ignored.
         {"[K]\r\n\"h\"=hex:1\r\n\"h\"=hex(zz):01\r\n\"h\"=hex:01,,02\r\n\"open\"=\"x\r\n@=\"y\" junk\r\n\"n\"\"=\"z\"\r\n\"d\"=dword:\r\n"
          "\"d\"=dword:123456789\r\n\"d\"=dword:1g\r\n\"d\"=DWORD:1\r\n", {{"K", kKeyOnly, ""}}},
         {"@=\"x\"\r\n[-K]\r\n@=\"y\"\r\n[]\r\n", {}}}) {
    const auto got = ParseRegText(text);
    ASSERT_EQ(got.size(), entries.size()) << text;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(std::tie(got[i].key, got[i].name, got[i].data, got[i].type),
                std::tie(entries[i].key, entries[i].name, entries[i].data, entries[i].type)) << text;
    }
  }
}

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n";

TEST(RandomInputTest, TheRegFileKeepsItsShapeAndTheReaderTakesOnlyWholeKeyLines) {
  std::mt19937 rng(1);
  for (int round = 0; round < 400; ++round) {
    FakePlatform fake;
    const std::string raw = RandomText(rng, 2000);
    fake.resources[kTemplateXp] = Bytes(raw.begin(), raw.end());
    if (round % 2) fake.resources[kTemplateXp].insert(fake.resources[kTemplateXp].begin(), {0xFF, 0xFE});
    ASSERT_TRUE(BuildRegFile(fake, LoadTemplate(fake, kTemplateXp), "C:\\WINDOWS\\"));
    const std::string reg = fake.FileText("C:\\WINDOWS\\sxcas.reg");
    EXPECT_EQ(reg.rfind(kHeader, 0), 0u);
    EXPECT_EQ(reg.find('\0'), std::string::npos);
    EXPECT_EQ(reg.substr(reg.size() - 2), "\r\n");
    const std::string work = RandomText(rng, 64);
    EXPECT_EQ(RegTextFromWorkFile(Bytes(work.begin(), work.end())).rfind(kHeader, 0), 0u);
    for (const RegistryEntry& entry : ParseRegText(raw + "\r\n" + work)) {
      EXPECT_FALSE(entry.key.empty());
      EXPECT_NE(entry.key[0], '-');
      EXPECT_EQ(entry.key.find('\n'), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace veltrik::testing
