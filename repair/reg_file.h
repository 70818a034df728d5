// The stored SafeBoot templates and their conversion into an importable .reg file.
#pragma once

#include <string>

#include "platform/platform.h"

namespace veltrik {

inline constexpr int kTemplateXp = 105;      // Windows XP service layout
inline constexpr int kTemplateVista7 = 106;  // Windows Vista and 7 layout

inline constexpr char kRegHeader[] = "Windows Registry Editor Version 5.00";

// Work file and .reg file names for a template (the XP names for any other id).
const char* WorkFileName(int template_id);
const char* RegFileName(int template_id);

// The bytes a binary write of a byte array leaves in a file: a 12-byte array
// descriptor (type 0x2011, one dimension, element count, lower bound 0),
// then the bytes unchanged.
Bytes ByteArrayImage(const Bytes& data);

// Turns work-file bytes into .reg text: the header line, then every line of
// the work file after its first, each ended by CR LF. UTF-16LE text (with a
// byte-order mark) is narrowed to single bytes; NUL bytes are dropped.
std::string RegTextFromWorkFile(const Bytes& work);

// Writes the template's .reg file into `work_dir` (ending in a backslash)
// through its work file, which is deleted again. True if a complete .reg file
// was written; otherwise no .reg file of that name is left.
bool BuildRegFile(Platform& platform, int template_id, const std::string& work_dir);

}  // namespace veltrik
