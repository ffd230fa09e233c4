// A TLS client through Schannel. The handshake and the records run over the
// platform's blocking socket; the certificate is checked here, through the
// system's chain engine, because the credentials ask for manual validation:
// that way the reason for a refusal is known and can be named.
//
// Received bytes go into one buffer (`in_`) that holds, in this order:
// plaintext of the last record decrypted and not yet handed out, then bytes
// not yet decrypted (the rest of the stream, possibly ending in part of a
// record). Records are decrypted in place, so data is copied once, from the
// buffer into the caller's.

#define SECURITY_WIN32
#include <windows.h>

// The newer credentials (SCH_CREDENTIALS) are declared only on request, and
// need UNICODE_STRING.
#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>

#include <schannel.h>
#include <security.h>
#include <sspi.h>
#include <wincrypt.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "base/text.h"
#include "transfer/win32/tls_connection.h"

namespace transfer {

namespace {

using Clock = std::chrono::steady_clock;

// Bytes asked of the socket at once.
constexpr size_t kReadPiece = 64 * 1024;
// The longest record on the wire: 2^14 bytes of plaintext, at most 2048
// bytes of expansion, a 5-byte header.
constexpr size_t kMaxRecord = 16384 + 2048 + 5;
// A handshake message may span many records; one that needs more than this
// is refused rather than buffered without end.
constexpr size_t kMaxBuffer = 1024 * 1024;
// Handshake round trips; a server that keeps the handshake going longer is
// refused.
constexpr int kMaxHandshakeRounds = 64;
// SECURITY_FLAG_IGNORE_CERT_CN_INVALID of wininet.h, which the SSL policy
// takes too.
constexpr DWORD kIgnoreNameMismatch = 0x00001000;
// How long the close_notify at the end may take to leave.
constexpr int kShutdownSendTimeoutMs = 1000;

constexpr ULONG kContextRequest =
    ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
    ISC_REQ_EXTENDED_ERROR | ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_USE_SUPPLIED_CREDS;

// The system's text for a status code, followed by the code in hexadecimal
// (the text alone is often too vague to act on).
std::string SystemText(SECURITY_STATUS status) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(status), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::u16string text;
    if (length > 0 && buffer != nullptr) {
        text.assign(buffer, buffer + length);
    }
    LocalFree(buffer);
    while (!text.empty() && (text.back() == u'\r' || text.back() == u'\n' || text.back() == u' ' ||
                             text.back() == u'.')) {
        text.pop_back();
    }
    char code[16];
    std::snprintf(code, sizeof(code), "0x%08lX", static_cast<unsigned long>(status));
    if (text.empty()) {
        return std::string("error ") + code;
    }
    return base::Utf16ToGbkForDisplay(text) + " (" + code + ")";
}

std::wstring Wide(const std::string& host) {
    const std::u16string utf16 = base::GbkToUtf16(host);
    return std::wstring(utf16.begin(), utf16.end());
}

// Handles of the system's own, freed when they leave scope.
struct ChainDeleter {
    void operator()(const CERT_CHAIN_CONTEXT* chain) const { CertFreeCertificateChain(chain); }
};
struct CertDeleter {
    void operator()(const CERT_CONTEXT* cert) const { CertFreeCertificateContext(cert); }
};

class TlsConnection : public TConnection {
  public:
    TlsConnection(platform::TcpSocket socket, const std::string& host)
        : socket_(std::move(socket)), host_(host), target_(Wide(host)) {
        in_.resize(kReadPiece + kMaxRecord);
    }

    ~TlsConnection() override {
        if (has_context_) {
            if (established_ && !failure_) {
                SendCloseNotify();
            }
            DeleteSecurityContext(&context_);
        }
        if (has_credentials_) {
            FreeCredentialsHandle(&credentials_);
        }
    }

    TlsConnection(const TlsConnection&) = delete;
    TlsConnection& operator=(const TlsConnection&) = delete;

    void Open(int timeout_ms) {
        AcquireCredentials();
        const bool bounded = timeout_ms > 0;
        const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
        Negotiate(/*first=*/true, bounded, deadline);
        CheckProtocol();
        CheckCertificate();
        if (QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) != SEC_E_OK ||
            sizes_.cbMaximumMessage == 0) {
            throw ETlsError(HandshakeFailed("no record sizes."));
        }
        out_.resize(sizes_.cbHeader + sizes_.cbMaximumMessage + sizes_.cbTrailer);
        established_ = true;
    }

    void Send(std::string_view bytes) override {
        RaiseEarlierFailure();
        char* const record = out_.data();
        while (!bytes.empty()) {
            const size_t n = std::min<size_t>(bytes.size(), sizes_.cbMaximumMessage);
            std::memcpy(record + sizes_.cbHeader, bytes.data(), n);
            SecBuffer buffers[4] = {
                {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record},
                {static_cast<ULONG>(n), SECBUFFER_DATA, record + sizes_.cbHeader},
                {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record + sizes_.cbHeader + n},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
            const SECURITY_STATUS status = EncryptMessage(&context_, 0, &desc, 0);
            if (status != SEC_E_OK) {
                throw ETlsError("Sending to " + host_ + " over TLS failed: " + SystemText(status));
            }
            socket_.SendAll(record,
                            buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
            bytes.remove_prefix(n);
        }
    }

    size_t Receive(char* buffer, size_t max, int timeout_ms) override {
        if (!Pump(timeout_ms > 0 ? timeout_ms : -1)) {
            throw platform::ESocketError(platform::kWsaTimedOut);
        }
        const size_t n = std::min(max, plain_size_);
        std::memcpy(buffer, in_.data() + plain_begin_, n);
        plain_begin_ += n;
        plain_size_ -= n;
        return n;
    }

    bool WaitReadable(int timeout_ms) override { return Pump(timeout_ms < 0 ? -1 : timeout_ms); }

    bool PeerClosed() override {
        if (plain_size_ > 0) {
            return false;
        }
        try {
            Pump(0);
        } catch (...) {
            // Broken: closed as far as a caller deciding whether to reuse
            // the connection is concerned. Receive raises the failure.
            return true;
        }
        return plain_size_ == 0 && ended_;
    }

  private:
    enum class Decrypted { kRecord, kNeedMore, kEnded };

    void AcquireCredentials() {
        // Systems that know TLS 1.3 take the newer credentials, which name
        // what to refuse: everything older than TLS 1.2.
        TLS_PARAMETERS parameters{};
        parameters.grbitDisabledProtocols = SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT |
                                            SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
        SCH_CREDENTIALS credentials{};
        credentials.dwVersion = SCH_CREDENTIALS_VERSION;
        credentials.dwFlags =
            SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
        credentials.cTlsParameters = 1;
        credentials.pTlsParameters = &parameters;
        SECURITY_STATUS status = AcquireCredentialsHandleW(
            nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr,
            &credentials, nullptr, nullptr, &credentials_, nullptr);
        if (status != SEC_E_OK) {
            // Older systems know only the older credentials, and no TLS 1.3.
            SCHANNEL_CRED old{};
            old.dwVersion = SCHANNEL_CRED_VERSION;
            old.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
            old.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
            status = AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W),
                                               SECPKG_CRED_OUTBOUND, nullptr, &old, nullptr,
                                               nullptr, &credentials_, nullptr);
        }
        if (status != SEC_E_OK) {
            throw ETlsError(HandshakeFailed(SystemText(status)));
        }
        has_credentials_ = true;
    }

    std::string HandshakeFailed(const std::string& why) const {
        return "TLS handshake with " + host_ + " failed: " + why;
    }

    // Runs the handshake from its start (first) or, when the server asks
    // for it after the handshake, on from the bytes waiting in the buffer.
    // Bytes that follow the handshake stay in the buffer as records.
    void Negotiate(bool first, bool bounded, Clock::time_point deadline) {
        bool read_first = !first && encrypted_size() == 0;
        bool with_input = !first;
        for (int round = 0;; ++round) {
            if (round > kMaxHandshakeRounds) {
                throw ETlsError(HandshakeFailed("the server does not finish it"));
            }
            if (read_first) {
                ReadForHandshake(bounded, deadline);
                with_input = true;
            }
            SecBuffer input[2] = {
                {static_cast<ULONG>(encrypted_size()), SECBUFFER_TOKEN,
                 in_.data() + encrypted_begin_},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc input_desc{SECBUFFER_VERSION, 2, input};
            SecBuffer output[2] = {
                {0, SECBUFFER_TOKEN, nullptr},
                {0, SECBUFFER_EMPTY, nullptr},
            };
            SecBufferDesc output_desc{SECBUFFER_VERSION, 2, output};
            ULONG attributes = 0;
            const SECURITY_STATUS status = InitializeSecurityContextW(
                &credentials_, has_context_ ? &context_ : nullptr, target_.data(), kContextRequest,
                0, 0, with_input ? &input_desc : nullptr, 0, &context_, &output_desc, &attributes,
                nullptr);
            if (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED ||
                status == SEC_I_INCOMPLETE_CREDENTIALS) {
                has_context_ = true;  // made by the first call; a later failure keeps it
            }
            // What the server must get (a handshake message, or an alert
            // telling it why the handshake failed), sent before anything else.
            SendToken(output[0], status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED);

            if (status == SEC_E_INCOMPLETE_MESSAGE) {
                read_first = true;
                continue;
            }
            if (with_input) {
                if (input[1].BufferType == SECBUFFER_EXTRA && input[1].cbBuffer > 0 &&
                    input[1].cbBuffer <= encrypted_size()) {
                    encrypted_begin_ = encrypted_end_ - input[1].cbBuffer;
                } else if (status != SEC_I_INCOMPLETE_CREDENTIALS) {
                    encrypted_begin_ = encrypted_end_;
                }
            }
            if (status == SEC_E_OK) {
                return;
            }
            if (status == SEC_I_CONTINUE_NEEDED || status == SEC_I_INCOMPLETE_CREDENTIALS) {
                // No client certificate to give: the next call goes on
                // without one.
                with_input = encrypted_size() > 0;
                read_first = !with_input;
                continue;
            }
            throw ETlsError(HandshakeFailed(SystemText(status)));
        }
    }

    // Sends a token the system made and frees it. A token that goes with a
    // failure is an alert: sent as a courtesy, its failure ignored.
    void SendToken(SecBuffer& token, bool must_arrive) {
        if (token.pvBuffer == nullptr) {
            return;
        }
        const std::string bytes(static_cast<const char*>(token.pvBuffer), token.cbBuffer);
        FreeContextBuffer(token.pvBuffer);
        token.pvBuffer = nullptr;
        if (bytes.empty()) {
            return;
        }
        if (must_arrive) {
            socket_.SendAll(bytes.data(), bytes.size());
            return;
        }
        try {
            socket_.SendAll(bytes.data(), bytes.size());
        } catch (const platform::ESocketError&) {
        }
    }

    void ReadForHandshake(bool bounded, Clock::time_point deadline) {
        if (bounded) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0 || !socket_.WaitReadable(static_cast<int>(left.count()))) {
                throw platform::ESocketError(platform::kWsaTimedOut);
            }
        }
        if (ReadSome() == 0) {
            throw ETlsError(HandshakeFailed("the server closed the connection."));
        }
    }

    // Appends what the socket has (blocking until something arrives) after
    // the bytes not yet decrypted; 0 at the end of the stream.
    size_t ReadSome() {
        if (plain_size_ == 0 && encrypted_begin_ > 0) {
            // Nothing before the undecrypted bytes is needed any more.
            std::memmove(in_.data(), in_.data() + encrypted_begin_, encrypted_size());
            encrypted_end_ -= encrypted_begin_;
            encrypted_begin_ = 0;
            plain_begin_ = 0;
        }
        if (in_.size() - encrypted_end_ < kMaxRecord) {
            if (in_.size() >= kMaxBuffer) {
                throw ETlsError("Reading from " + host_ +
                                " over TLS failed: a message is larger than " +
                                std::to_string(kMaxBuffer) + " bytes.");
            }
            in_.resize(std::min(kMaxBuffer, in_.size() * 2));
        }
        const size_t n = socket_.Receive(in_.data() + encrypted_end_,
                                         std::min(kReadPiece, in_.size() - encrypted_end_));
        encrypted_end_ += n;
        return n;
    }

    size_t encrypted_size() const { return encrypted_end_ - encrypted_begin_; }

    // Decrypts the next record in place.
    Decrypted DecryptOne() {
        SecBuffer buffers[4] = {
            {static_cast<ULONG>(encrypted_size()), SECBUFFER_DATA, in_.data() + encrypted_begin_},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
            {0, SECBUFFER_EMPTY, nullptr},
        };
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = DecryptMessage(&context_, &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            return Decrypted::kNeedMore;
        }
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE && status != SEC_I_CONTEXT_EXPIRED) {
            throw ETlsError("Reading from " + host_ + " over TLS failed: " + SystemText(status));
        }
        const SecBuffer* data = nullptr;
        const SecBuffer* extra = nullptr;
        for (const SecBuffer& b : buffers) {
            if (b.BufferType == SECBUFFER_DATA && data == nullptr) {
                data = &b;
            } else if (b.BufferType == SECBUFFER_EXTRA && extra == nullptr) {
                extra = &b;
            }
        }
        if (extra != nullptr && extra->cbBuffer > 0 && extra->cbBuffer < encrypted_size()) {
            encrypted_begin_ = encrypted_end_ - extra->cbBuffer;
        } else {
            encrypted_begin_ = encrypted_end_;
        }
        if (data != nullptr && data->cbBuffer > 0 && status != SEC_I_CONTEXT_EXPIRED) {
            plain_begin_ = static_cast<const char*>(data->pvBuffer) - in_.data();
            plain_size_ = data->cbBuffer;
        }
        if (status == SEC_I_CONTEXT_EXPIRED) {
            ended_ = true;  // the server's close_notify
            return Decrypted::kEnded;
        }
        if (status == SEC_I_RENEGOTIATE) {
            // Handshake messages after the handshake (TLS 1.3 session
            // tickets, key updates): the system takes them through the
            // handshake call, from the bytes after the record.
            Negotiate(/*first=*/false, true,
                      Clock::now() + std::chrono::milliseconds(kTlsHandshakeTimeoutMs));
        }
        return Decrypted::kRecord;
    }

    // Makes plaintext or the end of the stream ready, waiting for the socket
    // up to timeout_ms (< 0: without limit); false when the time ran out.
    bool Pump(int timeout_ms) {
        RaiseEarlierFailure();
        try {
            const Clock::time_point start = Clock::now();
            bool need_more = false;
            for (;;) {
                if (plain_size_ > 0 || ended_) {
                    return true;
                }
                if (encrypted_size() > 0 && !need_more) {
                    need_more = DecryptOne() == Decrypted::kNeedMore;
                    continue;
                }
                int wait = -1;
                if (timeout_ms >= 0) {
                    const auto spent =
                        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
                    wait = static_cast<int>(std::max<int64_t>(0, timeout_ms - spent.count()));
                }
                if (!socket_.WaitReadable(wait)) {
                    return false;
                }
                if (ReadSome() == 0) {
                    if (encrypted_size() > 0) {
                        throw ETlsError("The connection to " + host_ +
                                        " ended in the middle of a TLS record.");
                    }
                    ended_ = true;  // a close without close_notify, between records
                    return true;
                }
                need_more = false;
            }
        } catch (...) {
            failure_ = std::current_exception();
            throw;
        }
    }

    // A connection that failed once fails the same way from then on.
    void RaiseEarlierFailure() const {
        if (failure_) {
            std::rethrow_exception(failure_);
        }
    }

    // Systems that cannot refuse the older protocols up front (they ignore
    // the disabled protocols of the credentials) are held to it here.
    void CheckProtocol() {
        SecPkgContext_ConnectionInfo info{};
        if (QueryContextAttributesW(&context_, SECPKG_ATTR_CONNECTION_INFO, &info) != SEC_E_OK) {
            throw ETlsError(HandshakeFailed("no connection details."));
        }
        if ((info.dwProtocol & (SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT)) == 0) {
            throw ETlsError(
                HandshakeFailed("the server offers only protocols older than TLS 1.2."));
        }
    }

    // The chain is checked by the system twice: the status of the chain it
    // built, then the SSL policy with the host name. The chain status comes
    // first because a system's policy may pass a chain that does not end in
    // a trusted root at all.
    void CheckCertificate() {
        const CERT_CONTEXT* raw = nullptr;
        SECURITY_STATUS status =
            QueryContextAttributesW(&context_, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &raw);
        if (status != SEC_E_OK || raw == nullptr) {
            throw ETlsError(HandshakeFailed("the server sent no certificate."));
        }
        const std::unique_ptr<const CERT_CONTEXT, CertDeleter> cert(raw);

        char server_auth[] = szOID_PKIX_KP_SERVER_AUTH;
        char* usages[] = {server_auth};
        CERT_CHAIN_PARA chain_para{};
        chain_para.cbSize = sizeof(chain_para);
        chain_para.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
        chain_para.RequestedUsage.Usage.cUsageIdentifier = 1;
        chain_para.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
        const CERT_CHAIN_CONTEXT* raw_chain = nullptr;
        if (!CertGetCertificateChain(nullptr, cert.get(), nullptr, cert->hCertStore, &chain_para, 0,
                                     nullptr, &raw_chain)) {
            throw ETlsError(Refused(SystemText(HRESULT_FROM_WIN32(GetLastError()))));
        }
        const std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainDeleter> chain(raw_chain);

        const std::string of = "The certificate of " + host_;
        // Revocation is not asked about, so its "unknown" says nothing; a
        // certificate that outlives its issuer's is no fault either.
        const DWORD errors =
            chain->TrustStatus.dwErrorStatus &
            ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                CERT_TRUST_IS_OFFLINE_REVOCATION | CERT_TRUST_IS_NOT_TIME_NESTED);
        if (errors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN |
                      CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_CYCLIC)) {
            throw ETlsError(of + " is not trusted.");
        }
        if (errors & CERT_TRUST_IS_NOT_TIME_VALID) {
            throw ETlsError(of + (CertVerifyTimeValidity(nullptr, cert->pCertInfo) < 0
                                      ? " is not valid yet."
                                      : " has expired."));
        }
        if (errors & CERT_TRUST_IS_REVOKED) {
            throw ETlsError(of + " has been revoked.");
        }
        if (errors & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) {
            throw ETlsError(of + " is not meant for a server.");
        }
        if (errors != 0) {
            char code[16];
            std::snprintf(code, sizeof(code), "0x%08lX", static_cast<unsigned long>(errors));
            throw ETlsError(Refused(std::string("its chain has faults (") + code + ")."));
        }

        // An address is looked for among the certificate's addresses here:
        // not every system's policy compares addresses.
        const bool address = IsIpv4Address(host_);
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
        ssl.cbSize = sizeof(ssl);
        ssl.dwAuthType = AUTHTYPE_SERVER;
        ssl.fdwChecks = address ? kIgnoreNameMismatch : 0;
        ssl.pwszServerName = target_.data();
        CERT_CHAIN_POLICY_PARA policy{};
        policy.cbSize = sizeof(policy);
        policy.pvExtraPolicyPara = &ssl;
        CERT_CHAIN_POLICY_STATUS verdict{};
        verdict.cbSize = sizeof(verdict);
        if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy,
                                              &verdict)) {
            throw ETlsError(Refused(SystemText(HRESULT_FROM_WIN32(GetLastError()))));
        }
        switch (static_cast<HRESULT>(verdict.dwError)) {
            case S_OK:
                break;
            case CERT_E_UNTRUSTEDROOT:
            case CERT_E_CHAINING:
            case CERT_E_UNTRUSTEDCA:
            case CERT_E_UNTRUSTEDTESTROOT:
            case TRUST_E_CERT_SIGNATURE:
                throw ETlsError(of + " is not trusted.");
            case CERT_E_EXPIRED:
                throw ETlsError(of + " has expired.");
            case CERT_E_CN_NO_MATCH:
                throw ETlsError(of + " is made for another host.");
            case CERT_E_REVOKED:
                throw ETlsError(of + " has been revoked.");
            case CERT_E_WRONG_USAGE:
                throw ETlsError(of + " is not meant for a server.");
            default:
                throw ETlsError(Refused(SystemText(static_cast<HRESULT>(verdict.dwError))));
        }
        if (address && !NamesAddress(*cert, host_)) {
            throw ETlsError(of + " is made for another host.");
        }
    }

    // A dotted IPv4 address: four numbers 0-255 of at most three digits.
    static bool IsIpv4Address(const std::string& host) {
        int parts = 0;
        size_t i = 0;
        while (i <= host.size()) {
            size_t digits = 0;
            int value = 0;
            while (i < host.size() && host[i] >= '0' && host[i] <= '9' && digits < 4) {
                value = value * 10 + (host[i] - '0');
                ++digits;
                ++i;
            }
            if (digits == 0 || digits > 3 || value > 255) {
                return false;
            }
            ++parts;
            if (i == host.size()) {
                return parts == 4;
            }
            if (host[i] != '.' || parts == 4) {
                return false;
            }
            ++i;
        }
        return false;
    }

    // Whether the certificate's alternative names hold the IPv4 address.
    static bool NamesAddress(const CERT_CONTEXT& cert, const std::string& host) {
        unsigned char wanted[4] = {};
        if (std::sscanf(host.c_str(), "%hhu.%hhu.%hhu.%hhu", &wanted[0], &wanted[1], &wanted[2],
                        &wanted[3]) != 4) {
            return false;
        }
        const CERT_EXTENSION* extension = CertFindExtension(
            szOID_SUBJECT_ALT_NAME2, cert.pCertInfo->cExtension, cert.pCertInfo->rgExtension);
        if (extension == nullptr) {
            return false;
        }
        CERT_ALT_NAME_INFO* names = nullptr;
        DWORD size = 0;
        if (!CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, extension->Value.pbData,
                                 extension->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &names,
                                 &size)) {
            return false;
        }
        bool found = false;
        for (DWORD i = 0; i < names->cAltEntry && !found; ++i) {
            const CERT_ALT_NAME_ENTRY& entry = names->rgAltEntry[i];
            found = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS &&
                    entry.IPAddress.cbData == 4 &&
                    std::memcmp(entry.IPAddress.pbData, wanted, 4) == 0;
        }
        LocalFree(names);
        return found;
    }

    std::string Refused(const std::string& why) const {
        return "The certificate of " + host_ + " was refused: " + why;
    }

    // Tells the server the connection ends (close_notify). Best effort and
    // bounded: the connection is going away whatever happens.
    void SendCloseNotify() {
        try {
            DWORD type = SCHANNEL_SHUTDOWN;
            SecBuffer control{sizeof(type), SECBUFFER_TOKEN, &type};
            SecBufferDesc control_desc{SECBUFFER_VERSION, 1, &control};
            if (ApplyControlToken(&context_, &control_desc) != SEC_E_OK) {
                return;
            }
            SecBuffer output{0, SECBUFFER_TOKEN, nullptr};
            SecBufferDesc output_desc{SECBUFFER_VERSION, 1, &output};
            ULONG attributes = 0;
            const SECURITY_STATUS status = InitializeSecurityContextW(
                &credentials_, &context_, target_.data(), kContextRequest, 0, 0, nullptr, 0,
                &context_, &output_desc, &attributes, nullptr);
            if (!FAILED(status) && output.pvBuffer != nullptr && output.cbBuffer > 0) {
                socket_.SetSendTimeout(kShutdownSendTimeoutMs);
            }
            SendToken(output, false);
        } catch (...) {
        }
    }

    platform::TcpSocket socket_;
    const std::string host_;
    std::wstring target_;

    CredHandle credentials_{};
    bool has_credentials_ = false;
    CtxtHandle context_{};
    bool has_context_ = false;
    bool established_ = false;
    SecPkgContext_StreamSizes sizes_{};

    std::vector<char> in_;
    size_t plain_begin_ = 0;
    size_t plain_size_ = 0;
    size_t encrypted_begin_ = 0;
    size_t encrypted_end_ = 0;
    bool ended_ = false;  // close_notify, or a close between records
    std::exception_ptr failure_;

    std::vector<char> out_;  // one record being encrypted
};

}  // namespace

std::unique_ptr<TConnection> OpenTlsConnection(platform::TcpSocket socket, const std::string& host,
                                               int handshake_timeout_ms) {
    auto connection = std::make_unique<TlsConnection>(std::move(socket), host);
    connection->Open(handshake_timeout_ms);
    return connection;
}

}  // namespace transfer
