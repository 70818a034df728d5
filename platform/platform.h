// The operating-system services the window and the repair use.
//
// This interface is the seam between the portable logic and Windows: the
// program links the Win32 implementation, the unit tests a recording fake.
// Every operation reports failure through its result and never throws; the
// callers skip a failed step and carry on, keeping what they had before.
//
// Strings are UTF-8. Registry paths use the shell object's form: a hive
// abbreviation ("HKCU", "HKLM"), backslash-separated keys, and a value name
// after the last backslash; a path ending in "\" names the key's default
// value.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrik {

using Bytes = std::vector<std::uint8_t>;

// How a launched program's main window is first shown (the Win32 SW_ values).
enum class WindowStyle : int {
  kMinimized = 2,         // minimised, with focus
  kMaximized = 3,         // maximised, with focus
  kMinimizedNoFocus = 6,  // minimised, without focus
  kHidden = 0,            // a console program, with no console window
};

// The three picture buttons that the repair disables while it runs.
enum class Control { kStart, kAbout, kExit };

// What a path names.
enum class PathKind { kNone, kFile, kFolder };

// A file or folder as the file system knows it, the same for every path that
// reaches it: another drive letter, a link, a short name.
struct FileIdentity {
  std::uint32_t volume = 0;
  std::uint64_t file = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The version of Windows, e.g. 6.1 build 7601 for Windows 7; build 0 where
// it is not known.
struct WindowsVersion {
  std::uint32_t major = 0, minor = 0, build = 0;
};

// The local date and time, and its offset from UTC in minutes (east positive).
struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  int offset_minutes = 0;
};

// Message box styles and the answer that means yes.
inline constexpr int kMessageBoxInformation = 64;  // information icon, OK button
inline constexpr int kMessageBoxWarning = 48;      // warning icon, OK button
inline constexpr int kMessageBoxQuestion = 36;     // question icon, Yes and No buttons
inline constexpr int kAnswerYes = 6;

// Identifies a process started by LaunchCommand, for WaitForProcess.
using ProcessId = std::uint32_t;

// The registry's status for a key or value that does not exist
// (ERROR_FILE_NOT_FOUND).
inline constexpr std::int32_t kStatusNotFound = 2;
// A link where a file of the program's own was to be written
// (ERROR_CANT_ACCESS_FILE).
inline constexpr std::int32_t kStatusLink = 1920;

// A registry value's type, numbered as the registry numbers it; other numbers
// stand for the types the program only names. kAbsent is no type: a value
// that its key, which is there, does not hold.
enum class ValueType : std::uint32_t {
  kNone = 0,
  kString = 1,
  kExpandString = 2,
  kBinary = 3,
  kDword = 4,
  kMultiString = 7,
  kAbsent = 0xFFFFFFFF,
};

// A registry key and, where `name` is set, one of its values ("" names the
// default value): a REG_SZ with `data` as its text, or a REG_DWORD with `data`
// as its number in decimal. `key` is a full path as a .reg file writes it,
// e.g. HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Control\SafeBoot.
struct RegistryEntry {
  std::string key;
  std::optional<std::string> name;
  std::string data;
  ValueType type = ValueType::kString;
};

// What reading one RegistryEntry found: the status, and the value's type and
// data as ReadRegistryEntry gives them.
struct RegistryReading {
  std::int32_t status = kStatusNotFound;  // until it is read
  ValueType type = ValueType::kNone;
  std::string data;
};

// A value as the registry holds it: its name ("" for the default value), its
// type and its bytes, unconverted.
struct RegistryValue {
  std::string name;
  ValueType type = ValueType::kNone;
  Bytes data;
  bool operator==(const RegistryValue&) const = default;
};

// The registry half of the scripting shell object. Created per procedure and
// released when the procedure ends.
class ShellObject {
 public:
  virtual ~ShellObject() = default;
  // Reads a string value into `value`. A missing key or value, or a value
  // that is not a string, is a failure and leaves `value` untouched.
  virtual bool RegRead(std::string_view path, std::string& value) = 0;
  // Writes a value, creating it and its parent keys as needed. `type` is
  // "REG_DWORD" in every call the program makes.
  virtual bool RegWrite(std::string_view path, std::int32_t value, std::string_view type) = 0;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Windows names some of these as macros; the names here avoid them.

  // Writes the system directory, without a trailing backslash, into `buffer`
  // and returns the number of characters written; 0 on failure. A result of
  // `size` or more means the buffer was too small and nothing was written.
  virtual std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) = 0;

  // The folder that holds the users' profiles, e.g. C:\Users.
  virtual bool GetProfilesDirectory(std::string& path) = 0;

  // Creates the scripting shell object by its programmatic identifier;
  // nullptr on failure.
  virtual std::unique_ptr<ShellObject> CreateObject(std::string_view prog_id) = 0;

  // Starts a command line without waiting for it, with this program's rights.
  virtual std::optional<ProcessId> LaunchCommand(std::string_view command_line, WindowStyle style) = 0;

  // Has the desktop shell of the user's session start a command line, with
  // the user's own rights rather than this program's, without waiting for
  // it. False where there is no such shell or it refused; nothing else is
  // tried then.
  virtual bool LaunchInUserSession(std::string_view command_line, WindowStyle style) = 0;

  // Waits at most `timeout_ms` for a launched process to end, handling window
  // messages meanwhile. Its exit code if it ended.
  virtual std::optional<std::uint32_t> WaitForProcess(ProcessId process, std::uint32_t timeout_ms) = 0;

  // The version of Windows itself, e.g. 6.1 for Windows 7, 10.0 for 10 and
  // 11, whatever the program's manifest says.
  virtual bool GetWindowsVersion(WindowsVersion& version) = 0;

  // The bytes of custom resource `id` of type "CUSTOM".
  virtual bool LoadCustomResource(int id, Bytes& data) = 0;

  // Creates or empties the file and writes `data`. A write that fails part
  // way leaves no file behind.
  virtual bool WriteWholeFile(std::string_view path, const Bytes& data) = 0;
  virtual bool ReadWholeFile(std::string_view path, Bytes& data) = 0;
  virtual bool RemoveFile(std::string_view path) = 0;

  // Blocks until the user closes the box; the button pressed.
  virtual int ShowMessageBox(std::string_view text, int style, std::string_view title) = 0;

  // Handles all waiting window messages, then returns.
  virtual void DoEvents() = 0;
  // Runs `work` on a thread of its own, handling window messages until it
  // ends, so that the window keeps painting through a long repair. `work`
  // calls no window operation.
  virtual void RunAside(const std::function<void()>& work) = 0;

  // Ends the program at once; no further handler runs.
  virtual void EndProgram() = 0;

  // The registry as the repair checks it, always in the 64-bit view. Results
  // are the system's status codes, 0 for success.
  // Opens the entry's key and, where it names a value, reads that value's
  // type into `type` and its data into `data`: REG_SZ and REG_EXPAND_SZ as
  // text, REG_MULTI_SZ as its texts each ended by NUL, REG_DWORD as its
  // number in decimal, any other type as its bytes. Where the key is there
  // but the value is not, kStatusNotFound with `type` kAbsent.
  virtual std::int32_t ReadRegistryEntry(const RegistryEntry& entry, ValueType& type, std::string& data) = 0;
  // Reads every entry as ReadRegistryEntry does, in the order given; an
  // implementation may read them side by side.
  virtual std::vector<RegistryReading> ReadRegistryEntries(const std::vector<RegistryEntry>& entries) {
    std::vector<RegistryReading> out(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      out[i].status = ReadRegistryEntry(entries[i], out[i].type, out[i].data);
    }
    return out;
  }
  // Creates the key as needed and, where the entry names a value, sets it
  // with the entry's type.
  virtual std::int32_t WriteRegistryEntry(const RegistryEntry& entry) = 0;
  // The names of the key's direct subkeys, as the system spells them.
  virtual std::int32_t EnumerateSubkeys(const std::string& key, std::vector<std::string>& names) = 0;
  // Every value of the key, as the registry holds it.
  virtual std::int32_t EnumerateValues(const std::string& key, std::vector<RegistryValue>& values) = 0;
  // Deletes the key with all its subkeys.
  virtual std::int32_t DeleteKeyTree(const std::string& key) = 0;
  // The system's text for a status code.
  virtual std::string ErrorText(std::int32_t status) = 0;

  // An installed Windows seen from a recovery environment: its files, and
  // its registry hives loaded beside the running system's.
  virtual PathKind GetPathKind(std::string_view path) = 0;
  // False where the path cannot be opened.
  virtual bool GetFileIdentity(std::string_view path, FileIdentity& identity) = 0;
  // Makes a new folder; a status, as for the registry, when it cannot
  // (one of that name already there included).
  virtual std::int32_t CreateFolder(std::string_view path) = 0;
  // Copies a file, never over one that exists.
  virtual std::int32_t CopyWholeFile(std::string_view from, std::string_view to) = 0;
  // Removes an empty folder.
  virtual bool RemoveFolder(std::string_view path) = 0;
  virtual LocalTime GetLocalTime() = 0;
  // The folder this program's file is in, without a trailing backslash.
  virtual std::string ProgramFolder() = 0;
  // The program's command line as it was given.
  virtual std::string CommandLine() = 0;
  // Appends `text` to the file at `path`, creating it, and flushes it to the
  // disk. The check and the write share one handle: a link at that name
  // (symbolic, junction, or a hard link, which reaches another file too) is
  // never written through but refused with kStatusLink, as is a folder.
  // Where the file already holds `limit` bytes or more, it first moves aside
  // to `path` + ".old", in place of an older one.
  virtual std::int32_t AppendToFile(std::string_view path, std::string_view text, std::uint64_t limit) = 0;
  // Creates a file that is not there yet, writes `data` and flushes it to the
  // disk; anything at that name (a file, a folder, a link) is refused. A
  // write that fails part way leaves no file behind.
  virtual std::int32_t WriteNewFile(std::string_view path, const Bytes& data) = 0;
  // An environment variable of this program, e.g. ProgramData.
  virtual bool GetEnvironmentValue(std::string_view name, std::string& value) = 0;
  // The roots of the fixed drives, e.g. "C:\", found without asking for a
  // medium that is not there.
  virtual std::vector<std::string> FixedDrives() = 0;
  // Enables the privileges that loading a hive needs (an administrator holds
  // them, disabled); a status where they are not held.
  virtual std::int32_t EnableHivePrivileges() = 0;
  // Loads a hive file as HKEY_LOCAL_MACHINE\<name>; the system creates an
  // empty hive for a file that does not exist. Unloading fails while a key
  // of it is open.
  virtual std::int32_t LoadHive(std::string_view name, std::string_view file) = 0;
  virtual std::int32_t UnloadHive(std::string_view name) = 0;

  // Restarts the computer at once through the system's own call, closing
  // programs without asking. False if the system refused.
  virtual bool RestartSystem() = 0;

  // Writes text to the standard output the program was given, else to the
  // console of the program that started it, if any.
  virtual void WriteOutput(std::string_view text) = 0;

  virtual void SetCaption(std::string_view text) = 0;
  virtual void SetControlEnabled(Control control, bool enabled) = 0;
};

}  // namespace veltrik
