// Integrity of an update: the Ed25519 signature of the manifest and the size and SHA-256 of the
// package, both through libsodium.
#pragma once

#include <cstdint>
#include <string>

namespace zarvik {

// The public key that signs manifests, as 64 hex digits; empty when none is trusted. The build's
// key unless SetUpdatePublicKey changed it (tests do).
std::string UpdatePublicKey();
void SetUpdatePublicKey(const std::string& hex);

// True when `signatureText` (128 hex digits, blanks around them allowed) is a good Ed25519
// signature of exactly `message` under the public key `publicKeyHex`.
bool VerifyManifestSignature(const std::string& message,
                             const std::string& signatureText,
                             const std::string& publicKeyHex);

// SHA-256 of a file as 64 lower-case hex digits, and its size; false when it cannot be read.
bool HashFile(const std::wstring& path, std::string* sha256Hex, uint64_t* size);

// The package checks a manifest asks for. An empty hash or a negative size is not checked.
struct PackageExpectation {
  int64_t size = -1;
  std::string sha256;  // lower-case hex
};

// Reads "Size" and "SHA256" of section "UPDATE" of the manifest text. False when a value is
// present but malformed.
bool ReadPackageExpectation(const std::wstring& manifestPath, PackageExpectation* expected);

// True when the file matches; else `problem` says how it differs.
bool PackageMatches(const std::wstring& path,
                    const PackageExpectation& expected,
                    std::string* problem);

// The trust check of a downloaded manifest and its signature file beside it ("update.ini.sig").
// With a trusted key: the signature must be good over the manifest's exact bytes and the
// manifest must name the package's SHA256. Always: "Size" and "SHA256", when present, must be
// well formed. Fills `expected`; false with `problem` set otherwise.
bool CheckManifest(const std::wstring& manifestPath,
                   const std::wstring& signaturePath,
                   PackageExpectation* expected,
                   std::string* problem);

// The exact bytes of a small file (at most `maxBytes`); false when it cannot be read or is larger.
bool ReadSmallFile(const std::wstring& path, size_t maxBytes, std::string* bytes);

}  // namespace zarvik
