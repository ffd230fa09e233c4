#pragma once

// Processes and time: the millisecond tick count and starting a program.

#include <cstdint>
#include <string>

namespace platform {

// Milliseconds since the system started, wrapping at 2^32.
uint32_t TickCount();

// Starts `program` with `folder` as its current directory, shown normally.
// Both are named exactly as the system holds them ("\" separates folders),
// so any folder name works on every system language. The path is passed
// quoted, so blanks in it are no problem. Returns false when the program
// could not be started.
bool StartProgram(const std::u16string& program, const std::u16string& folder);

// Command-line argument `index` of a console program as the system gave it:
// on Windows from the wide command line (the narrow arguments lose what the
// ANSI code page cannot hold), elsewhere `argv[index]` read as UTF-8. Empty
// when there is no such argument.
std::u16string CommandLineArgument(char** argv, int index);

// The running program's own file, as the system names it; empty when it
// cannot be told.
std::u16string ProgramPath();

}  // namespace platform
