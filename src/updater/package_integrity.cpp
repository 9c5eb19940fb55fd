#include "updater/package_integrity.h"

#include <windows.h>

#include <sodium.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

#include "common/encoding.h"
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

// The profile reader hands out at most 259 characters of a value.
constexpr size_t kLongestProfileValue = 259;

// A number as the profile reader reads one: blanks, a sign, then digits up to the first other
// character; no digits give 0, and values beyond an int saturate.
int ProfileNumber(const std::string& text) {
  size_t at = 0;
  while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
    ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '-' || text[at] == '+'))
    negative = text[at++] == '-';
  int64_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at)
    value = std::min<int64_t>(value * 10 + (text[at] - '0'), 1LL << 31);
  value = negative ? -value : value;
  return static_cast<int>(std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, value)));
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

// "Size" and "SHA256" of the manifest, trimmed ASCII text.
static bool ReadPackageExpectation(const std::string& sizeText,
                                   const std::string& hashText,
                                   PackageExpectation* expected) {
  *expected = PackageExpectation();
  const std::string size = Trimmed(sizeText);
  const std::string hash = Trimmed(hashText);
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

bool ReadManifest(const std::string& bytes,
                  const std::string& signatureText,
                  const std::string& publicKeyHex,
                  const FreshnessContext& freshness,
                  UpdateManifest* manifest,
                  std::string* problem) {
  *manifest = UpdateManifest();
  if (!publicKeyHex.empty() && !VerifyManifestSignature(bytes, signatureText, publicKeyHex)) {
    *problem = "the manifest's signature is bad";
    return false;
  }
  // The profile reader takes a file with a UTF-16 byte order mark as UTF-16 and one with a UTF-8
  // mark as UTF-8; everything else is in the ANSI code page.
  bool utf8 = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
  std::string text = bytes;
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::wstring wide;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2)
      wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                          (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    text = "\xEF\xBB\xBF" + WideToUtf8(wide);
    utf8 = true;
  }
  ManifestText fields;
  ParseManifestText(text, &fields);
  auto value = [utf8](const std::string& field) {
    std::wstring wide = utf8 ? Utf8ToWide(field) : AnsiToWide(field);
    if (wide.size() > kLongestProfileValue)
      wide.resize(kLongestProfileValue);
    return wide;
  };
  manifest->version = value(fields.version);
  manifest->url = value(fields.url);
  manifest->url2 = value(fields.url2);
  manifest->reportUrl = value(fields.reportUrl);
  manifest->report = ProfileNumber(fields.report);
  if (!ReadPackageExpectation(fields.size, fields.sha256, &manifest->expected)) {
    *problem = "the manifest's Size or SHA256 is malformed";
    return false;
  }
  if (publicKeyHex.empty())
    return true;
  if (manifest->expected.sha256.empty()) {
    *problem = "the signed manifest names no SHA256 of the package";
    return false;
  }
  return CheckManifestFreshness(fields, freshness, &manifest->serial, problem);
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
