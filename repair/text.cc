#include "repair/text.h"

#include <cctype>

namespace veltrik {

namespace {

// The code point of the UTF-8 sequence at `i`, and its length: 0 where the
// bytes there are not UTF-8.
std::uint32_t Decode(std::string_view text, std::size_t i, std::size_t& length) {
  const auto lead = static_cast<unsigned char>(text[i]);
  length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  std::uint32_t code = length == 1 ? lead : lead & (0x7Fu >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = i + k < text.size() ? static_cast<unsigned char>(text[i + k]) : 0;
    if ((next & 0xC0) != 0x80) length = 0;
    code = code << 6 | (next & 0x3Fu);
  }
  return code;
}

}  // namespace

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string Printable(std::string_view text, std::size_t limit) {
  std::string out;
  const auto escape = [&out](const char* prefix, std::uint32_t code, int digits) {
    out += prefix;
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += "0123456789ABCDEF"[(code >> shift) & 0xF];
  };
  for (std::size_t i = 0; i < text.size();) {
    if (out.size() >= limit) return out + "... (" + std::to_string(text.size()) + " bytes)";
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    const std::uint32_t code = Decode(text, i, length);
    if (length == 0 || code < 0x20 || code == 0x7F) {
      escape("\\x", length ? code : lead, 2);
    } else if ((code >= 0x80 && code < 0xA0) || code == 0x200E || code == 0x200F ||
               (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069)) {
      escape("\\u", code, 4);
    } else {
      out.append(text.substr(i, length));
    }
    i += length ? length : 1;
  }
  return out;
}

std::vector<std::uint8_t> Utf16Le(std::string_view utf8) {
  std::vector<std::uint8_t> out;
  const auto unit = [&out](std::uint32_t u) { out.insert(out.end(), {std::uint8_t(u), std::uint8_t(u >> 8)}); };
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t length = 0;
    std::uint32_t code = Decode(utf8, i, length);
    if (length == 0 || code > 0x10FFFF) code = 0xFFFD;
    if (code >= 0x10000) {
      unit(0xD800 + ((code - 0x10000) >> 10));
      unit(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      unit(code);
    }
    i += length ? length : 1;
  }
  return out;
}

std::string Utf8FromUtf16Le(const std::vector<std::uint8_t>& bytes) {
  std::string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    std::uint32_t code = bytes[i] | bytes[i + 1] << 8;
    const bool high = code >= 0xD800 && code < 0xDC00;
    const std::uint32_t next = i + 3 < bytes.size() ? bytes[i + 2] | bytes[i + 3] << 8 : 0;
    if (high && next >= 0xDC00 && next < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (next - 0xDC00);
      i += 2;
    } else if (code >= 0xD800 && code < 0xE000) {
      code = 0xFFFD;
    }
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += {static_cast<char>(0xC0 | code >> 6), static_cast<char>(0x80 | (code & 0x3F))};
    } else if (code < 0x10000) {
      out += {static_cast<char>(0xE0 | code >> 12), static_cast<char>(0x80 | (code >> 6 & 0x3F)),
              static_cast<char>(0x80 | (code & 0x3F))};
    } else {
      out += {static_cast<char>(0xF0 | code >> 18), static_cast<char>(0x80 | (code >> 12 & 0x3F)),
              static_cast<char>(0x80 | (code >> 6 & 0x3F)), static_cast<char>(0x80 | (code & 0x3F))};
    }
  }
  return out;
}

std::uint32_t Le32(const std::vector<std::uint8_t>& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}

}  // namespace veltrik
