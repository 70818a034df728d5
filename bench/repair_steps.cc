// Times one FIX, step by step, in the prefix it runs in: the window's logic
// (frmVeltrik, as a click on FIX runs it) on the real Win32 platform, each
// platform call put to its step and the time between calls to the core's own
// work. repair_steps.exe RESULT_FILE writes "step milliseconds" lines; it
// fails where the repair did not reach its restart.
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>

#include "app/form.h"
#include "bench/clock.h"
#include "platform/win32/text.h"
#include "platform/win32/win32_platform.h"

namespace veltrik {
namespace {

class TimedPlatform : public Platform {
 public:
  struct Step {
    double ms = 0;
    int calls = 0;
  };
  std::map<std::string, Step> steps;
  int imports = 0;

  // Runs `call` as part of `step`; what the core did since the last call counts as its own work.
  template <typename Call>
  auto Timed(const std::string& step, Call call) {
    const double start = NowMs();
    steps["the core's own work, between the calls"].ms += start - last_;
    struct Mark {
      TimedPlatform& self;
      std::string step;
      double start;
      ~Mark() {
        Step& s = self.steps[step];
        s.ms += (self.last_ = NowMs()) - start;
        ++s.calls;
      }
    } mark{*this, step, start};
    return call();
  }

  std::uint32_t GetSystemDirectoryA(char* b, std::uint32_t n) override {
    return Timed("start-up", [&] { return real_.GetSystemDirectoryA(b, n); });
  }
  bool GetProfilesDirectory(std::string& p) override {
    return Timed("the list chosen", [&] { return real_.GetProfilesDirectory(p); });
  }
  std::unique_ptr<ShellObject> CreateObject(std::string_view id) override;
  std::optional<ProcessId> LaunchCommand(std::string_view command, WindowStyle style) override {
    const bool import = command.rfind("regedit", 0) == 0;
    const std::string step = import ? "import " + std::to_string(++imports) : "the restart launched";
    return Timed(step, [&] { return real_.LaunchCommand(command, style); });
  }
  bool LaunchInUserSession(std::string_view, WindowStyle) override { return true; }  // no page: not FIX's
  std::optional<std::uint32_t> WaitForProcess(ProcessId id, std::uint32_t timeout) override {
    return Timed("import " + std::to_string(imports), [&] { return real_.WaitForProcess(id, timeout); });
  }
  bool GetWindowsVersion(WindowsVersion& v) override {
    return Timed("the list chosen", [&] { return real_.GetWindowsVersion(v); });
  }
  bool LoadCustomResource(int id, Bytes& data) override {
    return Timed("the list chosen", [&] { return real_.LoadCustomResource(id, data); });
  }
  bool WriteWholeFile(std::string_view path, const Bytes& data) override {
    return Timed("the .reg file built", [&] { return real_.WriteWholeFile(path, data); });
  }
  bool ReadWholeFile(std::string_view path, Bytes& data) override {
    return Timed("the .reg file built", [&] { return real_.ReadWholeFile(path, data); });
  }
  bool RemoveFile(std::string_view path) override {
    return Timed("work files removed", [&] { return real_.RemoveFile(path); });
  }
  int ShowMessageBox(std::string_view, int, std::string_view) override { return 1; }
  void DoEvents() override { Timed("the window's busy state", [&] { real_.DoEvents(); }); }
  void RunAside(const std::function<void()>& work) override { work(); }
  void EndProgram() override {}
  std::int32_t ReadRegistryEntry(const RegistryEntry& e, ValueType& t, std::string& d) override {
    return Timed("single reads: the environment, the branch's root, foreign entries",
                 [&] { return real_.ReadRegistryEntry(e, t, d); });
  }
  std::vector<RegistryReading> ReadRegistryEntries(const std::vector<RegistryEntry>& entries) override {
    // The check before the import names the values it replaces; after the imports comes the read-back.
    const char* step = imports == 0 ? "the check before the import" : "the read-back";
    return Timed(step, [&] { return real_.ReadRegistryEntries(entries); });
  }
  std::int32_t WriteRegistryEntry(const RegistryEntry& e) override {
    return Timed("the completion", [&] { return real_.WriteRegistryEntry(e); });
  }
  std::int32_t EnumerateSubkeys(const std::string& key, std::vector<std::string>& names) override {
    return Timed("single reads: the environment, the branch's root, foreign entries",
                 [&] { return real_.EnumerateSubkeys(key, names); });
  }
  std::int32_t EnumerateValues(const std::string& key, std::vector<RegistryValue>& values) override {
    return Timed("single reads: the environment, the branch's root, foreign entries",
                 [&] { return real_.EnumerateValues(key, values); });
  }
  std::int32_t DeleteKeyTree(const std::string& key) override { return real_.DeleteKeyTree(key); }
  std::int32_t WriteNewFile(std::string_view p, const Bytes& d) override { return real_.WriteNewFile(p, d); }
  bool GetEnvironmentValue(std::string_view n, std::string& v) override { return real_.GetEnvironmentValue(n, v); }
  std::string ErrorText(std::int32_t status) override { return real_.ErrorText(status); }
  PathKind GetPathKind(std::string_view p) override { return real_.GetPathKind(p); }
  bool GetFileIdentity(std::string_view p, FileIdentity& i) override { return real_.GetFileIdentity(p, i); }
  std::int32_t CreateFolder(std::string_view p) override { return real_.CreateFolder(p); }
  std::int32_t CopyWholeFile(std::string_view a, std::string_view b) override { return real_.CopyWholeFile(a, b); }
  bool RemoveFolder(std::string_view p) override { return real_.RemoveFolder(p); }
  LocalTime GetLocalTime() override { return Timed("the log", [&] { return real_.GetLocalTime(); }); }
  std::string ProgramFolder() override { return Timed("the log", [&] { return real_.ProgramFolder(); }); }
  std::string CommandLine() override { return real_.CommandLine(); }
  std::int32_t AppendToFile(std::string_view p, std::string_view t, std::uint64_t l) override {
    return Timed("the log", [&] { return real_.AppendToFile(p, t, l); });
  }
  std::vector<std::string> FixedDrives() override { return real_.FixedDrives(); }
  std::int32_t EnableHivePrivileges() override { return real_.EnableHivePrivileges(); }
  std::int32_t LoadHive(std::string_view n, std::string_view f) override { return real_.LoadHive(n, f); }
  std::int32_t UnloadHive(std::string_view n) override { return real_.UnloadHive(n); }
  bool RestartSystem() override { return Timed("the restart launched", [&] { return real_.RestartSystem(); }); }
  void WriteOutput(std::string_view) override {}
  void SetCaption(std::string_view t) override { Timed("the window's busy state", [&] { real_.SetCaption(t); }); }
  void SetControlEnabled(Control c, bool on) override {
    Timed("the window's busy state", [&] { real_.SetControlEnabled(c, on); });
  }

  void Start() { last_ = NowMs(); }

 private:
  win32::Win32Platform real_;
  double last_ = 0;
};

class TimedShell : public ShellObject {
 public:
  TimedShell(TimedPlatform& platform, std::unique_ptr<ShellObject> real)
      : platform_(platform), real_(std::move(real)) {}
  bool RegRead(std::string_view path, std::string& value) override { return real_->RegRead(path, value); }
  bool RegWrite(std::string_view path, std::int32_t value, std::string_view type) override {
    return platform_.Timed("the policy lifted", [&] { return real_->RegWrite(path, value, type); });
  }

 private:
  TimedPlatform& platform_;
  std::unique_ptr<ShellObject> real_;
};

std::unique_ptr<ShellObject> TimedPlatform::CreateObject(std::string_view id) {
  auto real = Timed("the policy lifted", [&] { return real_.CreateObject(id); });
  return real ? std::make_unique<TimedShell>(*this, std::move(real)) : nullptr;
}

}  // namespace
}  // namespace veltrik

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (__argc < 2) return 2;
  veltrik::TimedPlatform platform;
  veltrik::frmVeltrik form(platform);
  form.Form_Load();
  platform.steps.clear();
  platform.Start();
  const double start = NowMs();
  form.cmdStart_Click();
  const double whole = NowMs() - start;
  // A repair that did not reach its restart is no FIX to time.
  if (!platform.steps.count("the restart launched")) return 1;
  FILE* out = _wfopen(__wargv[1], L"w");
  if (!out) return 1;
  for (const auto& [step, s] : platform.steps) std::fprintf(out, "%s\t%.2f\t%d\n", step.c_str(), s.ms, s.calls);
  std::fprintf(out, "FIX to restart launched, in all\t%.2f\n", whole);
  return std::fclose(out) == 0 ? 0 : 1;
}
