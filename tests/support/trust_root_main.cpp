// trust-test-root: trusts a test certificate authority in the current
// user's root store of the Windows system it runs on, or takes it out again;
// for benchmarks that run the Windows build under Wine against a server with
// a test certificate. Meant for a Wine prefix of the build folder only.
//
//   trust-test-root add|remove FILE.der
//
// Exit status: 0 done, 1 failure (message on standard error), 2 usage.

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "support/test_root.h"

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[1], "add") != 0 && std::strcmp(argv[1], "remove") != 0)) {
        std::fprintf(stderr, "usage: trust-test-root add|remove FILE.der\n");
        return 2;
    }
    std::ifstream in(argv[2], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "trust-test-root: cannot read %s\n", argv[2]);
        return 1;
    }
    const std::string der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    try {
        if (std::strcmp(argv[1], "add") == 0) {
            test_support::AddTrustedRoot(der);
        } else {
            test_support::RemoveTrustedRoot(der);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "trust-test-root: %s\n", e.what());
        return 1;
    }
    return 0;
}
