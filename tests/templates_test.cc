// The stored templates are checked by reading them as the importer would.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "tests/fake_platform.h"

namespace veltrik::testing {
namespace {

const std::string kRoot = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\SafeBoot";

struct Parsed {
  std::vector<std::string> lines;
  std::string ending;  // bytes after the last CR LF
};

Parsed Split(const std::string& text) {
  Parsed p;
  size_t pos = 0;
  for (size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
    p.lines.push_back(text.substr(pos, end - pos));
  }
  p.ending = text.substr(pos);
  return p;
}

std::string DecodeUtf16(const Bytes& b) {
  std::string out;
  for (size_t i = 2; i + 1 < b.size(); i += 2) {
    EXPECT_EQ(b[i + 1], 0) << "non-ASCII character at " << i;
    out.push_back(static_cast<char>(b[i]));
  }
  return out;
}

struct Entry {
  std::string name, value;
};

// Reads one section: "[root\Section]", "", then key / @= / "" triples.
std::vector<Entry> Section(const std::vector<std::string>& lines, size_t& i, const std::string& section) {
  EXPECT_EQ(lines.at(i++), "[" + kRoot + "\\" + section + "]");
  EXPECT_EQ(lines.at(i++), "");
  std::vector<Entry> out;
  const std::string prefix = "[" + kRoot + "\\" + section + "\\";
  while (i < lines.size() && lines[i].rfind(prefix, 0) == 0) {
    const std::string& key = lines[i];
    EXPECT_EQ(key.back(), ']');
    const std::string& value = lines.at(i + 1);
    EXPECT_EQ(value.substr(0, 3), "@=\"");
    EXPECT_EQ(value.back(), '"');
    out.push_back({key.substr(prefix.size(), key.size() - prefix.size() - 1), value.substr(3, value.size() - 4)});
    i += 2;
    if (i < lines.size()) {
      EXPECT_EQ(lines[i++], "") << key;
    }
  }
  return out;
}

const std::map<std::string, std::string> kClasses = {
    {"{36FC9E60-C465-11CF-8056-444553540000}", "Universal Serial Bus controllers"},
    {"{4D36E965-E325-11CE-BFC1-08002BE10318}", "CD-ROM Drive"},
    {"{4D36E967-E325-11CE-BFC1-08002BE10318}", "DiskDrive"},
    {"{4D36E969-E325-11CE-BFC1-08002BE10318}", "Standard floppy disk controller"},
    {"{4D36E96A-E325-11CE-BFC1-08002BE10318}", "Hdc"},
    {"{4D36E96B-E325-11CE-BFC1-08002BE10318}", "Keyboard"},
    {"{4D36E96F-E325-11CE-BFC1-08002BE10318}", "Mouse"},
    {"{4D36E972-E325-11CE-BFC1-08002BE10318}", "Net"},
    {"{4D36E973-E325-11CE-BFC1-08002BE10318}", "NetClient"},
    {"{4D36E974-E325-11CE-BFC1-08002BE10318}", "NetService"},
    {"{4D36E975-E325-11CE-BFC1-08002BE10318}", "NetTrans"},
    {"{4D36E977-E325-11CE-BFC1-08002BE10318}", "PCMCIA Adapters"},
    {"{4D36E97B-E325-11CE-BFC1-08002BE10318}", "SCSIAdapter"},
    {"{4D36E97D-E325-11CE-BFC1-08002BE10318}", "System"},
    {"{4D36E980-E325-11CE-BFC1-08002BE10318}", "Floppy disk drive"},
    {"{50DD5230-BA8A-11D1-BF5D-0000F805F530}", "Smart card readers"},
    {"{533C5B84-EC70-11D2-9505-00C04F79DEAF}", "Volume shadow copy"},
    {"{6BDD1FC1-810F-11D0-BEC7-08002BE2092F}", "IEEE 1394 Bus host controllers"},
    {"{71A27CDD-812A-11D0-BEC7-08002BE2092F}", "Volume"},
    {"{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}", "Human Interface Devices"},
    {"{D48179BE-EC20-11D1-B6B8-00C04FA372A7}", "SBP2 IEEE 1394 Devices"},
    {"{D94EE5D8-D189-4994-83D2-F68D7D41B0E6}", "SecurityDevices"},
};
const std::set<std::string> kKinds = {"Service", "Driver Group", "Driver", "FSFilter System Recovery"};

std::string Lower(std::string s) { return Fold(s); }

struct TemplateCase {
  int id;
  size_t size;
  size_t minimal, network, minimal_classes, network_classes;
  std::vector<std::pair<std::string, std::string>> samples;  // "Section\\Name" -> value
  friend void PrintTo(const TemplateCase& c, std::ostream* os) { *os << "template " << c.id; }
};

class TemplateTest : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(TemplateTest, HasTheExportLayoutCountsOrderAndEnding) {
  const TemplateCase& c = GetParam();
  const Bytes& raw = c.id == 105 ? kEmbeddedTemplate105 : kEmbeddedTemplate106;
  ASSERT_EQ(raw.size(), c.size);
  std::string text;
  if (c.id == 106) {
    ASSERT_EQ(raw[0], 0xFF);
    ASSERT_EQ(raw[1], 0xFE);
    text = DecodeUtf16(raw);
  } else {
    ASSERT_EQ(raw[raw.size() - 2], 0);
    ASSERT_EQ(raw[raw.size() - 1], 0);
    text.assign(raw.begin(), raw.end());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 379);
    EXPECT_EQ(text.find('\0'), text.size() - 2) << "the two NULs are the only ones";
  }
  Parsed p = Split(text);
  if (c.id == 106) {
    EXPECT_EQ(p.ending, "");
    ASSERT_EQ(p.lines.back(), "") << "ends with CR LF CR LF";
    p.lines.pop_back();
  } else {
    ASSERT_EQ(p.ending.substr(p.ending.size() - 2), std::string(2, '\0'));
    p.lines.push_back(p.ending.substr(0, p.ending.size() - 2));  // the last value line
  }
  size_t i = 0;
  EXPECT_EQ(p.lines.at(i++), "Windows Registry Editor Version 5.00");
  EXPECT_EQ(p.lines.at(i++), "");
  EXPECT_EQ(p.lines.at(i++), "[" + kRoot + "]");
  EXPECT_EQ(p.lines.at(i++), "\"AlternateShell\"=\"cmd.exe\"");
  EXPECT_EQ(p.lines.at(i++), "");
  std::map<std::string, std::string> all;
  for (auto [section, count, classes] :
       {std::tuple{"Minimal", c.minimal, c.minimal_classes}, std::tuple{"Network", c.network, c.network_classes}}) {
    const std::vector<Entry> entries = Section(p.lines, i, section);
    EXPECT_EQ(entries.size(), count) << section;
    size_t class_count = 0;
    for (size_t k = 0; k < entries.size(); ++k) {
      if (k) {
        EXPECT_LT(Lower(entries[k - 1].name), Lower(entries[k].name)) << section;
      }
      if (entries[k].name[0] == '{') {
        ++class_count;
        EXPECT_EQ(kClasses.at(entries[k].name), entries[k].value);
      } else {
        EXPECT_TRUE(kKinds.count(entries[k].value)) << entries[k].name << "=" << entries[k].value;
      }
      all[std::string(section) + "\\" + entries[k].name] = entries[k].value;
    }
    EXPECT_EQ(class_count, classes) << section;
  }
  EXPECT_EQ(i, p.lines.size()) << "nothing after the Network section";
  for (const auto& [key, value] : c.samples) EXPECT_EQ(all[key], value) << key;
}

INSTANTIATE_TEST_SUITE_P(
    Stored, TemplateTest,
    ::testing::Values(TemplateCase{105,
                                   13524,
                                   42,
                                   82,
                                   13,
                                   17,
                                   {{"Minimal\\sr.sys", "FSFilter System Recovery"},
                                    {"Minimal\\Boot Bus Extender", "Driver Group"},
                                    {"Network\\nm.sys", "Driver"},
                                    {"Network\\WZCSVC", "Service"},
                                    {"Network\\{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}", "Human Interface Devices"}}},
                      TemplateCase{106,
                                   33688,
                                   52,
                                   103,
                                   17,
                                   22,
                                   {{"Minimal\\TrustedInstaller", "Service"},
                                    {"Minimal\\volmgrx.sys", "Driver"},
                                    {"Network\\mrxsmb20", "Driver"},
                                    {"Network\\PNP_TDI", "Driver Group"},
                                    {"Network\\{D94EE5D8-D189-4994-83D2-F68D7D41B0E6}", "SecurityDevices"}}}));

}  // namespace
}  // namespace veltrik::testing
