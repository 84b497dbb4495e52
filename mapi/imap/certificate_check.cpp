#include "mapi/imap/certificate_check.h"

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

namespace quorvel::mapi::imap {

std::string CheckCertificateChain(const std::vector<std::string>& derChain, const std::string& host,
                                  const std::string& caFile) {
  if (derChain.empty()) return "the server presented no certificate";
  gnutls_x509_trust_list_t trust = nullptr;
  if (gnutls_x509_trust_list_init(&trust, 0) < 0) return "cannot set up certificate checking";
  std::vector<gnutls_x509_crt_t> certs;
  std::string problem;
  int added = caFile.empty() ? gnutls_x509_trust_list_add_system_trust(trust, 0, 0)
                             : gnutls_x509_trust_list_add_trust_file(trust, caFile.c_str(), nullptr,
                                                                     GNUTLS_X509_FMT_PEM, 0, 0);
  if (added <= 0) {
    problem = caFile.empty() ? "no trusted certificate authorities are installed"
                             : "no certificate could be read from \"" + caFile + "\"";
  }
  for (const std::string& der : derChain) {
    if (!problem.empty()) break;
    gnutls_x509_crt_t cert = nullptr;
    gnutls_datum_t datum{reinterpret_cast<unsigned char*>(const_cast<char*>(der.data())),
                         static_cast<unsigned>(der.size())};
    if (gnutls_x509_crt_init(&cert) < 0) {
      problem = "cannot set up certificate checking";
    } else if (gnutls_x509_crt_import(cert, &datum, GNUTLS_X509_FMT_DER) < 0) {
      gnutls_x509_crt_deinit(cert);
      problem = "the server's certificate cannot be read";
    } else {
      certs.push_back(cert);
    }
  }
  if (problem.empty()) {
    gnutls_typed_vdata_st data[2] = {};
    data[0].type = GNUTLS_DT_DNS_HOSTNAME;
    data[0].data = reinterpret_cast<unsigned char*>(const_cast<char*>(host.c_str()));
    data[1].type = GNUTLS_DT_KEY_PURPOSE_OID;
    data[1].data = reinterpret_cast<unsigned char*>(const_cast<char*>(GNUTLS_KP_TLS_WWW_SERVER));
    unsigned status = 0;
    int rc = gnutls_x509_trust_list_verify_crt2(
        trust, certs.data(), static_cast<unsigned>(certs.size()), data, 2, 0, &status, nullptr);
    if (rc < 0) {
      problem = std::string("the certificate could not be checked: ") + gnutls_strerror(rc);
    } else if (status != 0) {
      gnutls_datum_t text{};
      if (gnutls_certificate_verification_status_print(status, GNUTLS_CRT_X509, &text, 0) == 0) {
        problem = std::string(reinterpret_cast<const char*>(text.data), text.size);
        gnutls_free(text.data);
      } else {
        problem = "the server's certificate is not trusted";
      }
    }
  }
  for (gnutls_x509_crt_t cert : certs) gnutls_x509_crt_deinit(cert);
  gnutls_x509_trust_list_deinit(trust, 1);
  return problem;
}

}  // namespace quorvel::mapi::imap
