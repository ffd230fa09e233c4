#pragma once

// Windows only: a test certificate authority trusted for a while, so that
// TLS tests can check certificates the way the program does, through the
// system's trusted roots. Meant for the Wine prefix of the test build; the
// host's certificate stores are never touched.

#include <string>

namespace test_support {

// Adds the certificate (DER bytes) to the current user's trusted roots and
// takes it out again when destroyed. Raises std::runtime_error when the
// store refuses.
class TrustedTestRoot {
  public:
    explicit TrustedTestRoot(const std::string& der);
    ~TrustedTestRoot();
    TrustedTestRoot(const TrustedTestRoot&) = delete;
    TrustedTestRoot& operator=(const TrustedTestRoot&) = delete;

  private:
    std::string der_;
};

// The same as two steps, for a tool that trusts the root in one process and
// takes it out in another. Both raise std::runtime_error on failure;
// removing a root that is not there is no failure.
void AddTrustedRoot(const std::string& der);
void RemoveTrustedRoot(const std::string& der);

}  // namespace test_support
