#include "startup/quoted.h"

#include <cstdio>

namespace brindlet::startup {
namespace {

void AppendHex(std::string& out, const char* prefix, unsigned value, int digits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%s%0*X", prefix, digits, value);
  out += buffer;
}

// Characters that would break a line or turn text round on a terminal:
// C1 controls, the line and paragraph separators and the bidirectional
// embeddings, overrides and isolates.
bool InvisibleControl(char32_t c) {
  return (c >= 0x80 && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::string Quoted(std::string_view text, std::size_t max_chars) {
  std::string out = "'";
  std::size_t chars = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (chars == max_chars) {
      out += "'... (" + std::to_string(text.size()) + " bytes in all)";
      return out;
    }
    const auto c = static_cast<unsigned char>(text[i]);
    std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool valid = length > 0 && i + length <= text.size();
    char32_t code = length == 1 ? c : length == 2 ? (c & 0x1F) : length == 3 ? (c & 0x0F) : (c & 0x07);
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (!valid) {
      AppendHex(out, "\\x", c, 2);  // not UTF-8: the byte
      length = 1;
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c < 0x20 || c == 0x7F) {
      AppendHex(out, "\\x", c, 2);
    } else if (InvisibleControl(code)) {
      AppendHex(out, "\\u", static_cast<unsigned>(code), 4);
    } else {
      out.append(text.substr(i, length));
    }
    i += length;
    ++chars;
  }
  return out + "'";
}

}  // namespace brindlet::startup
