#include "demo-market/ThrowawayCa.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

#include "files/WholeFile.h"

namespace vormla::demo {

namespace {

struct Free {
  void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
  void operator()(X509* p) const { X509_free(p); }
  void operator()(BIO* p) const { BIO_free(p); }
  void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, Free>;
using CertPtr = std::unique_ptr<X509, Free>;
using BioPtr = std::unique_ptr<BIO, Free>;
using ExtPtr = std::unique_ptr<X509_EXTENSION, Free>;

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("throwaway CA: ") + what);
}

KeyPtr NewKey() {
  KeyPtr key(EVP_EC_gen("P-256"));
  Check(key != nullptr, "key generation");
  return key;
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  ExtPtr ext(X509V3_EXT_conf_nid(nullptr, &ctx, nid, value));
  Check(ext != nullptr && X509_add_ext(cert, ext.get(), -1) == 1, "extension");
}

// Certificate for subjectKey named commonName; self-signed when issuer is null.
CertPtr NewCertificate(EVP_PKEY* subjectKey, const char* commonName, X509* issuer, EVP_PKEY* issuerKey) {
  CertPtr cert(X509_new());
  Check(cert != nullptr, "certificate allocation");
  Check(X509_set_version(cert.get(), 2) == 1, "version");

  unsigned char serial[16];
  Check(RAND_bytes(serial, sizeof serial) == 1, "serial");
  serial[0] &= 0x7f;  // keep it positive
  BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
  Check(bn != nullptr, "serial");
  const bool serialSet = BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get())) != nullptr;
  BN_free(bn);
  Check(serialSet, "serial");

  Check(X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) != nullptr, "validity");
  Check(X509_gmtime_adj(X509_getm_notAfter(cert.get()), 30L * 24 * 3600) != nullptr, "validity");

  X509_NAME* name = X509_get_subject_name(cert.get());
  Check(X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Vormla demo"), -1,
                                   -1, 0) == 1 &&
            X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1,
                                       -1, 0) == 1,
        "subject");
  X509* signer = issuer ? issuer : cert.get();
  Check(X509_set_issuer_name(cert.get(), X509_get_subject_name(signer)) == 1, "issuer");
  Check(X509_set_pubkey(cert.get(), subjectKey) == 1, "public key");

  AddExtension(cert.get(), signer, NID_subject_key_identifier, "hash");
  AddExtension(cert.get(), signer, NID_authority_key_identifier, "keyid:always");
  if (!issuer) {
    AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    // Its key may be kept on disk (KeptCa): it can vouch for this computer alone.
    AddExtension(cert.get(), signer, NID_name_constraints,
                 "critical,permitted;IP:127.0.0.0/255.0.0.0,permitted;DNS:localhost");
  } else {
    AddExtension(cert.get(), signer, NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(cert.get(), signer, NID_key_usage, "critical,digitalSignature,keyEncipherment");
    AddExtension(cert.get(), signer, NID_ext_key_usage, "serverAuth");
    AddExtension(cert.get(), signer, NID_subject_alt_name, "IP:127.0.0.1,DNS:localhost");
  }
  Check(X509_sign(cert.get(), issuerKey ? issuerKey : subjectKey, EVP_sha256()) > 0, "signing");
  return cert;
}

std::string ReadAll(BIO* bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  return size > 0 ? std::string(data, static_cast<size_t>(size)) : std::string();
}

std::string CertPem(X509* cert) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  Check(bio && PEM_write_bio_X509(bio.get(), cert) == 1, "PEM output");
  return ReadAll(bio.get());
}

std::string KeyPem(EVP_PKEY* key) {
  BioPtr bio(BIO_new(BIO_s_mem()));
  Check(bio && PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1, "PEM output");
  return ReadAll(bio.get());
}

// The server's key and certificate under the CA's.
ThrowawayCa WithServer(EVP_PKEY* caKey, X509* caCert) {
  KeyPtr serverKey = NewKey();
  CertPtr serverCert = NewCertificate(serverKey.get(), "127.0.0.1", caCert, caKey);
  ThrowawayCa result;
  result.caCertPem = CertPem(caCert);
  result.caKeyPem = KeyPem(caKey);
  result.serverCertPem = CertPem(serverCert.get());
  result.serverKeyPem = KeyPem(serverKey.get());
  return result;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A CA certificate and its key from PEM texts, when they belong together and the
// certificate is good for another day.
bool ReadKeptCa(const std::string& certPem, const std::string& keyPem, CertPtr& cert, KeyPtr& key) {
  BioPtr certBio(BIO_new_mem_buf(certPem.data(), static_cast<int>(certPem.size())));
  BioPtr keyBio(BIO_new_mem_buf(keyPem.data(), static_cast<int>(keyPem.size())));
  if (!certBio || !keyBio) return false;
  cert.reset(PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr));
  key.reset(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
  time_t tomorrow = std::time(nullptr) + 24 * 3600;
  return cert && key && X509_check_private_key(cert.get(), key.get()) == 1 &&
         X509_cmp_time(X509_get0_notAfter(cert.get()), &tomorrow) > 0;
}

bool WriteFile(const std::string& path, const std::string& text, mode_t mode) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, mode);
  if (fd < 0) return false;
  const bool written = ::fchmod(fd, mode) == 0 && WriteWhole(fd, text);
  return ::close(fd) == 0 && written;
}

}  // namespace

ThrowawayCa MakeThrowawayCa() {
  KeyPtr caKey = NewKey();
  CertPtr caCert = NewCertificate(caKey.get(), "Vormla demo CA", nullptr, nullptr);
  return WithServer(caKey.get(), caCert.get());
}

ThrowawayCa KeptCa(const std::string& caPath) {
  const std::string keyPath = caPath + ".key";
  CertPtr cert;
  KeyPtr key;
  if (ReadKeptCa(FileText(caPath), FileText(keyPath), cert, key)) return WithServer(key.get(), cert.get());
  ThrowawayCa fresh = MakeThrowawayCa();
  Check(WriteFile(keyPath, fresh.caKeyPem, 0600) && WriteFile(caPath, fresh.caCertPem, 0644),
        "cannot write the CA files");
  return fresh;
}

bool WriteCaFile(const ThrowawayCa& ca, const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(ca.caCertPem.data(), static_cast<std::streamsize>(ca.caCertPem.size()));
  out.close();
  return static_cast<bool>(out);
}

bool UseServerCertificate(ssl_ctx_st* ctx, const ThrowawayCa& ca) {
  BioPtr certBio(BIO_new_mem_buf(ca.serverCertPem.data(), static_cast<int>(ca.serverCertPem.size())));
  BioPtr keyBio(BIO_new_mem_buf(ca.serverKeyPem.data(), static_cast<int>(ca.serverKeyPem.size())));
  if (!certBio || !keyBio) return false;
  CertPtr cert(PEM_read_bio_X509(certBio.get(), nullptr, nullptr, nullptr));
  KeyPtr key(PEM_read_bio_PrivateKey(keyBio.get(), nullptr, nullptr, nullptr));
  if (!cert || !key) return false;
  return SSL_CTX_use_certificate(ctx, cert.get()) == 1 && SSL_CTX_use_PrivateKey(ctx, key.get()) == 1 &&
         SSL_CTX_check_private_key(ctx) == 1;
}

}  // namespace vormla::demo
