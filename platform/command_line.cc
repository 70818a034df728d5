#include "platform/command_line.h"

namespace veltrik {

namespace {

ResolvedCommand Quoted(const std::string& path, std::string_view rest) {
  return {path, "\"" + path + "\"" + std::string(rest)};
}

}  // namespace

std::optional<ResolvedCommand> ResolveCommandLine(std::string_view command_line,
                                                  const std::vector<std::string>& folders,
                                                  const std::function<bool(const std::string&)>& is_file) {
  const ResolvedCommand unchanged = {std::string(), std::string(command_line)};
  if (command_line.empty() || command_line[0] == '"') return unchanged;
  const size_t space = command_line.find(' ');
  const std::string_view program = command_line.substr(0, space);
  const std::string_view rest = space == std::string_view::npos ? std::string_view() : command_line.substr(space);
  const char* const kSuffixes[] = {"", ".exe"};

  if (program.find_first_of("\\/:") != std::string_view::npos) {
    for (size_t end = command_line.size(); end != std::string_view::npos && end > 0;
         end = command_line.rfind(' ', end - 1)) {
      const std::string prefix(command_line.substr(0, end));
      for (const char* suffix : kSuffixes) {
        if (is_file(prefix + suffix)) return Quoted(prefix + suffix, command_line.substr(end));
      }
    }
    return unchanged;
  }
  for (const std::string& folder : folders) {
    if (folder.empty()) continue;
    for (const char* suffix : kSuffixes) {
      const std::string candidate = folder + "\\" + std::string(program) + suffix;
      if (is_file(candidate)) return Quoted(candidate, rest);
    }
  }
  return std::nullopt;
}

ProgramAndArguments SplitCommandLine(std::string_view command_line) {
  const bool quoted = !command_line.empty() && command_line[0] == '"';
  const size_t end = command_line.find(quoted ? '"' : ' ', quoted ? 1 : 0);
  const std::string_view program = command_line.substr(quoted ? 1 : 0, end - (quoted ? 1 : 0));
  if (end == std::string_view::npos) return {std::string(program), ""};
  std::string_view rest = command_line.substr(end + (quoted ? 1 : 0));
  if (!rest.empty() && rest[0] == ' ') rest.remove_prefix(1);
  return {std::string(program), std::string(rest)};
}

}  // namespace veltrik
