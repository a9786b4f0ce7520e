// A certificate authority made up at start-up, so that the local market and the tests
// can serve HTTPS that the program verifies normally (the CA goes to VORMLA_CA_FILE).
#pragma once

#include <string>

struct ssl_ctx_st;  // SSL_CTX

namespace vormla::demo {

struct ThrowawayCa {
  std::string caCertPem;      // self-signed, CA:TRUE, only for 127.0.0.0/8 and localhost
  std::string caKeyPem;       // its private key (PKCS#8)
  std::string serverCertPem;  // signed by the CA for 127.0.0.1 and localhost
  std::string serverKeyPem;   // private key of the server certificate (PKCS#8)
};

// Fresh keys and certificates on every call (valid from one hour ago for 30 days).
// Throws std::runtime_error when OpenSSL fails.
ThrowawayCa MakeThrowawayCa();

// The CA kept in caPath (its certificate, what VORMLA_CA_FILE names) and
// caPath + ".key" (its key, mode 0600), so that a restarted market is trusted
// where the last one was: used again when both are there, belong together and
// are good for another day; otherwise a new CA replaces them. The server's
// certificate is new either way. Throws std::runtime_error when OpenSSL fails
// or the files cannot be written.
ThrowawayCa KeptCa(const std::string& caPath);

// Writes the CA certificate PEM to path (replacing it); false when that fails.
bool WriteCaFile(const ThrowawayCa& ca, const std::string& path);

// Loads the server certificate and key into ctx; for httplib::SSLServer's
// setup callback constructor. False when OpenSSL rejects them.
bool UseServerCertificate(ssl_ctx_st* ctx, const ThrowawayCa& ca);

}  // namespace vormla::demo
