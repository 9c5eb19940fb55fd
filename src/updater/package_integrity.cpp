#include "updater/package_integrity.h"

#include <windows.h>

#include <sodium.h>

#include <cctype>
#include <vector>

#include "common/scoped_handle.h"
#include "updater/update_key.h"

namespace zarvik {

namespace {

std::string g_publicKey = kBuiltInUpdateKeyHex;

bool Ready() {
  return sodium_init() >= 0;  // idempotent and thread-safe
}

std::string Trimmed(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
    ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
    --end;
  return text.substr(begin, end - begin);
}

// Exactly `size` bytes written as 2 * size hex digits.
bool FromHex(const std::string& hex, unsigned char* out, size_t size) {
  if (hex.size() != size * 2)
    return false;
  for (char c : hex)
    if (!std::isxdigit(static_cast<unsigned char>(c)))
      return false;
  size_t decoded = 0;
  return sodium_hex2bin(out, size, hex.data(), hex.size(), nullptr, &decoded, nullptr) == 0 &&
         decoded == size;
}

std::string ReadProfile(const std::wstring& path, const wchar_t* key) {
  wchar_t value[260] = {};
  GetPrivateProfileStringW(L"UPDATE", key, L"", value, 260, path.c_str());
  std::string text;
  for (const wchar_t* p = value; *p; ++p)
    text += *p < 0x80 ? static_cast<char>(*p) : '?';
  return Trimmed(text);
}

}  // namespace

std::string UpdatePublicKey() {
  return g_publicKey;
}

void SetUpdatePublicKey(const std::string& hex) {
  g_publicKey = hex;
}

bool VerifyManifestSignature(const std::string& message,
                             const std::string& signatureText,
                             const std::string& publicKeyHex) {
  unsigned char key[crypto_sign_PUBLICKEYBYTES];
  unsigned char signature[crypto_sign_BYTES];
  if (!Ready() || !FromHex(publicKeyHex, key, sizeof(key)) ||
      !FromHex(Trimmed(signatureText), signature, sizeof(signature)))
    return false;
  return crypto_sign_verify_detached(signature,
                                     reinterpret_cast<const unsigned char*>(message.data()),
                                     message.size(), key) == 0;
}

bool HashFile(const std::wstring& path, std::string* sha256Hex, uint64_t* size) {
  if (!Ready())
    return false;
  ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file)
    return false;
  crypto_hash_sha256_state state;
  crypto_hash_sha256_init(&state);
  std::vector<unsigned char> buffer(1 << 16);
  uint64_t total = 0;
  DWORD read = 0;
  for (;;) {
    if (!ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
      return false;
    if (read == 0)
      break;
    crypto_hash_sha256_update(&state, buffer.data(), read);
    total += read;
  }
  unsigned char digest[crypto_hash_sha256_BYTES];
  crypto_hash_sha256_final(&state, digest);
  char hex[crypto_hash_sha256_BYTES * 2 + 1];
  sodium_bin2hex(hex, sizeof(hex), digest, sizeof(digest));
  *sha256Hex = hex;
  *size = total;
  return true;
}

bool ReadPackageExpectation(const std::wstring& manifestPath, PackageExpectation* expected) {
  *expected = PackageExpectation();
  const std::string size = ReadProfile(manifestPath, L"Size");
  const std::string hash = ReadProfile(manifestPath, L"SHA256");
  if (!size.empty()) {
    if (size.size() > 15)
      return false;
    int64_t value = 0;
    for (char c : size) {
      if (c < '0' || c > '9')
        return false;
      value = value * 10 + (c - '0');
    }
    expected->size = value;
  }
  if (!hash.empty()) {
    unsigned char digest[crypto_hash_sha256_BYTES];
    if (!FromHex(hash, digest, sizeof(digest)))
      return false;
    for (char c : hash)
      expected->sha256 += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return true;
}

bool PackageMatches(const std::wstring& path,
                    const PackageExpectation& expected,
                    std::string* problem) {
  if (expected.size < 0 && expected.sha256.empty())
    return true;
  std::string hash;
  uint64_t size = 0;
  if (!HashFile(path, &hash, &size)) {
    *problem = "the package cannot be read";
    return false;
  }
  if (expected.size >= 0 && size != static_cast<uint64_t>(expected.size)) {
    *problem = "size " + std::to_string(size) + " instead of " + std::to_string(expected.size);
    return false;
  }
  if (!expected.sha256.empty() && hash != expected.sha256) {
    *problem = "SHA-256 " + hash + " instead of " + expected.sha256;
    return false;
  }
  return true;
}

bool CheckManifest(const std::wstring& manifestPath,
                   const std::wstring& signaturePath,
                   PackageExpectation* expected,
                   std::string* problem) {
  const std::string key = UpdatePublicKey();
  if (!key.empty()) {
    std::string manifest, signature;
    if (!ReadSmallFile(manifestPath, 64 * 1024, &manifest)) {
      *problem = "the manifest cannot be read";
      return false;
    }
    if (!ReadSmallFile(signaturePath, 1024, &signature)) {
      *problem = "the manifest is not signed";
      return false;
    }
    if (!VerifyManifestSignature(manifest, signature, key)) {
      *problem = "the manifest's signature is bad";
      return false;
    }
  }
  if (!ReadPackageExpectation(manifestPath, expected)) {
    *problem = "the manifest's Size or SHA256 is malformed";
    return false;
  }
  if (!key.empty() && expected->sha256.empty()) {
    *problem = "the signed manifest names no SHA256 of the package";
    return false;
  }
  return true;
}

bool ReadSmallFile(const std::wstring& path, size_t maxBytes, std::string* bytes) {
  ScopedFileHandle file(
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file)
    return false;
  bytes->clear();
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
    bytes->append(buffer, read);
    if (bytes->size() > maxBytes)
      return false;
  }
  return true;
}

}  // namespace zarvik
