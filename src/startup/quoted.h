// Text from outside (arguments, environment values, file names, Qt's
// messages) quoted for the program's one-line messages.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace brindlet::startup {

// `text` in single quotes for a message line: control characters (and a
// backslash) escaped, and cut after `max_chars` characters with "..." and
// the whole length in bytes, so that a line stays one short line.
std::string Quoted(std::string_view text, std::size_t max_chars = 80);

}  // namespace brindlet::startup
