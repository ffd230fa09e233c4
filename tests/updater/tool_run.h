#pragma once

// Running the publishers' tools as black boxes in tests: a command line
// through the system's shell, its exit status and both outputs.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "base/text.h"

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace updater::test {

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot open " << base::Utf16ToUtf8(path.u16string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A word of a command line, quoted for the system's shell.
inline std::string Quote(const std::string& word) {
#ifdef _WIN32
    return "\"" + word + "\"";
#else
    return "'" + word + "'";
#endif
}

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `program` with `arguments` (quoted as needed); its outputs go through
// the files `output_base`.out and .err.
inline ToolRun RunTool(const std::string& program, const std::string& arguments,
                       const std::string& output_base) {
    const std::string out = output_base + ".out";
    const std::string err = output_base + ".err";
    std::string command = Quote(program) + " " + arguments + " >" + Quote(out) + " 2>" + Quote(err);
    ToolRun run;
#ifdef _WIN32
    // cmd.exe drops the first and the last quote of the whole line.
    command = "\"" + command + "\"";
    run.status = std::system(command.c_str());
#else
    const int raw = std::system(command.c_str());
    if (raw != -1 && WIFEXITED(raw)) {
        run.status = WEXITSTATUS(raw);
    }
#endif
    run.out = ReadFile(out);
    run.err = ReadFile(err);
    return run;
}

}  // namespace updater::test
