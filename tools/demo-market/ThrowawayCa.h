// A certificate authority made up at start-up, so that the local market and the tests
// can serve HTTPS that the program verifies normally (the CA goes to VORMLA_CA_FILE).
#pragma once

#include <string>

struct ssl_ctx_st;  // SSL_CTX

namespace vormla::demo {

struct ThrowawayCa {
  std::string caCertPem;      // self-signed, CA:TRUE
  std::string serverCertPem;  // signed by the CA for 127.0.0.1 and localhost
  std::string serverKeyPem;   // private key of the server certificate (PKCS#8)
};

// Fresh keys and certificates on every call (valid from one hour ago for 30 days).
// Throws std::runtime_error when OpenSSL fails.
ThrowawayCa MakeThrowawayCa();

// Writes the CA certificate PEM to path (replacing it); false when that fails.
bool WriteCaFile(const ThrowawayCa& ca, const std::string& path);

// Loads the server certificate and key into ctx; for httplib::SSLServer's
// setup callback constructor. False when OpenSSL rejects them.
bool UseServerCertificate(ssl_ctx_st* ctx, const ThrowawayCa& ca);

}  // namespace vormla::demo
