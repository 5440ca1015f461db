// The command line, read before anything looks for a display, so that
// --help and --version answer on a text console or in a package build too.
#pragma once

#include <optional>
#include <string>

namespace brindlet::startup {

// Exit status for a command line that can't be understood.
inline constexpr int kUsageError = 2;
// Exit status when the program cannot run here (no usable display, no
// memory) or cannot write what it was asked for.
inline constexpr int kCannotRun = 1;

// What the command line asks of a game. Qt's standard options that make
// sense for a game are taken by the program itself (Qt is started without
// them) so that they also decide the platform check before Qt starts.
struct Options {
  std::optional<std::string> platform;  // -platform: as QT_QPA_PLATFORM
  std::optional<std::string> display;   // -display: as DISPLAY
  std::optional<bool> shapes;           // --look shapes or --look colours
};

// Reads the command line into `options`. Returns the exit status when there
// is nothing to play: --help and --version print and are done; a problem is
// reported on stderr in one line, quoting at most the start of the argument
// with control characters escaped, status kUsageError.
std::optional<int> ReadCommandLine(int argc, char** argv, Options& options);

// Prepares the environment Qt starts in: values the program does not take
// are dropped with one line each, -platform and -display stand for their
// variables, the platform is chosen. False, after one line saying why, when
// the program cannot run here.
bool PrepareEnvironment(const Options& options);

}  // namespace brindlet::startup
