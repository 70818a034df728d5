// Small helpers for text and bytes that several parts of the repair share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace veltrik {

// `text` with A to Z lowered: registry names, and the program's switches,
// compare without regard to ASCII case.
std::string AsciiLower(std::string_view text);

// Text that someone else chose, on one line: control characters (and the
// ones that turn text around) escaped, so that it can neither forge a line
// of the report nor hide its own end; bytes that are not UTF-8 escaped too.
// Past `limit` bytes it is cut, with its length.
std::string Printable(std::string_view text, std::size_t limit = std::string_view::npos);

// UTF-8 text as UTF-16LE bytes, without a terminator; bytes that are not
// UTF-8 become U+FFFD.
std::vector<std::uint8_t> Utf16Le(std::string_view utf8);
// UTF-16LE bytes as UTF-8 text; an odd last byte is dropped, a lone surrogate becomes U+FFFD.
std::string Utf8FromUtf16Le(const std::vector<std::uint8_t>& bytes);

// The 32-bit little-endian number at `at`; the caller has checked that four bytes are there.
std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t at);

}  // namespace veltrik
