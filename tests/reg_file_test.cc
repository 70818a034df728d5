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

TEST(ConvertTest, CopiesEveryLineAfterTheFirst) {
  for (const auto& row : Rows("work_files")) {
    const Bytes work = row.at(2) == "1" ? ByteArrayImage(B(row[1])) : B(row[1]);
    EXPECT_EQ(RegTextFromWorkFile(work), "Windows Registry Editor Version 5.00\r\n" + row.at(3)) << row[0];
  }
}

TEST(ParseRegTextTest, ReadsKeysStringsDwordsAndBytes) {
  for (const auto& row : Rows("parse_reg")) {
    std::vector<std::string> got;
    for (const RegistryEntry& e : ParseRegText(row.at(0))) {
      got.push_back("[" + e.key + "]" + (e.name ? " " + (e.name->empty() ? "@" : *e.name) + " = " +
                                                     std::to_string(static_cast<int>(e.type)) + ":" + e.data
                                               : ""));
    }
    EXPECT_EQ(got, Items(row.at(1))) << row[0];
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
