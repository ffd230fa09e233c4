#pragma once

// TLS over a connected TCP socket through the system's security provider
// (Schannel in secur32.dll; the certificate check through crypt32.dll), so
// the program needs no TLS library of its own. Windows build only.
//
// The client offers TLS 1.2 and TLS 1.3 where the system has it; older
// protocols are never offered. After the handshake the server's certificate
// is checked by the system: its chain must end in a root the system trusts,
// every certificate in it must be valid now, and it must be made for `host`
// (a DNS name or an IPv4 address). Revocation is not asked about: the
// program must not hang on an unreachable revocation server. Nothing turns
// the check off.
//
// Failures raise ETlsError with one of these messages (HOST is the host as
// given; <system text> is the system's text for its status code, followed
// by the code, "(0x80090326)", or "error 0x80090326" where the system has
// no text):
//   "The certificate of HOST is not trusted."
//   "The certificate of HOST has expired."
//   "The certificate of HOST is not valid yet."
//   "The certificate of HOST is made for another host."
//   "The certificate of HOST has been revoked."
//   "The certificate of HOST is not meant for a server."
//   "The certificate of HOST was refused: <system text>"
//   "TLS handshake with HOST failed: <system text>"
//   "TLS handshake with HOST failed: the server closed the connection."
//   "TLS handshake with HOST failed: the server offers only protocols older
//    than TLS 1.2."
//   "The connection to HOST ended in the middle of a TLS record."
//   "Reading from HOST over TLS failed: <system text>"
//   "Sending to HOST over TLS failed: <system text>"
// A handshake that does not finish within its time raises the socket error
// 10060 ("Connection timed out."), as a receive that times out does, and
// socket failures on the way raise their socket error.
//
// End of stream: the server's close_notify, and also a TCP close that falls
// between two records (servers that skip close_notify are common), read as
// the end of the stream (Receive returns 0). A close inside a record never
// does: it raises ETlsError, so a cut body cannot look complete.

#include <memory>
#include <string>

#include "platform/socket.h"
#include "transfer/transport.h"

namespace transfer {

// The longest a handshake may take by default.
inline constexpr int kTlsHandshakeTimeoutMs = 30000;

// Makes the handshake with the server on `socket` (already connected),
// naming `host` to the server (SNI) and checking the certificate against it;
// returns the secure connection. handshake_timeout_ms > 0 bounds the whole
// handshake.
std::unique_ptr<TConnection> OpenTlsConnection(platform::TcpSocket socket, const std::string& host,
                                               int handshake_timeout_ms = kTlsHandshakeTimeoutMs);

}  // namespace transfer
