#include "support/test_root.h"

#include <windows.h>

#include <wincrypt.h>

#include <stdexcept>

namespace test_support {

namespace {

// The current user's "Root" system store, opened for writing.
class RootStore {
  public:
    RootStore() {
        store_ =
            CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
        if (store_ == nullptr) {
            throw std::runtime_error("cannot open the Root store: error " +
                                     std::to_string(GetLastError()));
        }
    }
    ~RootStore() { CertCloseStore(store_, 0); }
    RootStore(const RootStore&) = delete;
    RootStore& operator=(const RootStore&) = delete;
    HCERTSTORE Handle() const { return store_; }

  private:
    HCERTSTORE store_ = nullptr;
};

}  // namespace

void AddTrustedRoot(const std::string& der) {
    RootStore store;
    if (!CertAddEncodedCertificateToStore(
            store.Handle(), X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
            static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, nullptr)) {
        throw std::runtime_error("cannot add the test CA to the Root store: error " +
                                 std::to_string(GetLastError()));
    }
}

void RemoveTrustedRoot(const std::string& der) {
    const CERT_CONTEXT* cert =
        CertCreateCertificateContext(X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
                                     static_cast<DWORD>(der.size()));
    if (cert == nullptr) {
        throw std::runtime_error("the test CA is no certificate: error " +
                                 std::to_string(GetLastError()));
    }
    RootStore store;
    const CERT_CONTEXT* found = CertFindCertificateInStore(store.Handle(), X509_ASN_ENCODING, 0,
                                                           CERT_FIND_EXISTING, cert, nullptr);
    CertFreeCertificateContext(cert);
    // Deleting frees the context it is given.
    if (found != nullptr && !CertDeleteCertificateFromStore(found)) {
        throw std::runtime_error("cannot take the test CA out of the Root store: error " +
                                 std::to_string(GetLastError()));
    }
}

TrustedTestRoot::TrustedTestRoot(const std::string& der) : der_(der) {
    AddTrustedRoot(der_);
}

TrustedTestRoot::~TrustedTestRoot() {
    try {
        RemoveTrustedRoot(der_);
    } catch (const std::exception&) {
        // Left in the test prefix: a CA of one run, whose key stays in the
        // build folder; the next run makes a new one.
    }
}

}  // namespace test_support
