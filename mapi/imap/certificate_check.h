// Checks the certificate chain a server presented: it must lead to a trusted authority
// (the system's, or only those in `caFile` when one is given) and name `host` (a DNS
// name or an IP address), and be valid now. Uses GnuTLS.
// Thread-safe.
#ifndef QUORVEL_MAPI_IMAP_CERTIFICATE_CHECK_H_
#define QUORVEL_MAPI_IMAP_CERTIFICATE_CHECK_H_

#include <string>
#include <vector>

namespace quorvel::mapi::imap {

// "" when the chain (DER certificates, the server's own first) verifies; otherwise
// why not, in words for the user.
std::string CheckCertificateChain(const std::vector<std::string>& derChain, const std::string& host,
                                  const std::string& caFile);

}  // namespace quorvel::mapi::imap

#endif  // QUORVEL_MAPI_IMAP_CERTIFICATE_CHECK_H_
