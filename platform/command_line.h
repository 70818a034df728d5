// How a command line is made safe to start from an elevated program.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veltrik {

struct ResolvedCommand {
  std::string application;   // the program to start; empty: let the system find it
  std::string command_line;  // what to hand to process creation
};

// A bare program name ("regedit", "shutdown") is looked up only in `folders`,
// in order, with or without ".exe", and replaced by its quoted full path;
// never taken from the program's own or the current folder, or PATH. Found in
// none: nullopt. An unquoted path with spaces is quoted at its longest prefix
// that names a file, so that a planted C:\Program.exe cannot stand in for
// C:\Program Files\...; quoted command lines, and paths that name no file,
// pass unchanged.
std::optional<ResolvedCommand> ResolveCommandLine(std::string_view command_line,
                                                  const std::vector<std::string>& folders,
                                                  const std::function<bool(const std::string&)>& is_file);

// The program and its arguments, as process creation reads a command line: a
// quoted program ends at its closing quote, another at the first space; the
// one space after it is not part of the arguments.
struct ProgramAndArguments {
  std::string program;
  std::string arguments;
};
ProgramAndArguments SplitCommandLine(std::string_view command_line);

}  // namespace veltrik
