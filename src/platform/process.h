#pragma once

// Processes and time: the millisecond tick count and starting a program.

#include <cstdint>
#include <string>

namespace platform {

// Milliseconds since the system started, wrapping at 2^32.
uint32_t TickCount();

// Starts `program` (a GBK path) with `folder` as its current directory, shown
// normally. The path is passed quoted, so blanks in it are no problem, and
// converted with code page 936, so Chinese folders work on every system
// language. Returns false when the program could not be started.
bool StartProgram(const std::string& program, const std::string& folder);

}  // namespace platform
