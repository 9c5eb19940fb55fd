// Integrity of an update: the Ed25519 signature of the manifest and the size and SHA-256 of the
// package, both through libsodium.
#pragma once

#include <cstdint>
#include <string>

#include "updater/update_manifest.h"

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

// True when the file matches; else `problem` says how it differs.
bool PackageMatches(const std::wstring& path,
                    const PackageExpectation& expected,
                    std::string* problem);

// A manifest read once from its bytes and checked: everything the installation and the report
// need, so nothing reads "update.ini" again to decide.
struct UpdateManifest {
  std::wstring version;         // "Version"
  std::wstring url, url2;       // "URL", "URL2"
  int report = 0;               // "Report", read as the profile reader reads a number
  std::wstring reportUrl;       // "ReportURL"
  PackageExpectation expected;  // "Size", "SHA256"
  uint64_t serial = 0;          // "Serial" of a signed manifest, else 0
};

// The trust check of a manifest's bytes and its detached signature text. With a trusted key
// (`publicKeyHex` not empty): the signature must be good over exactly `bytes`, the manifest must
// name the package's SHA256 and carry Serial, Expires and Edition that pass
// CheckManifestFreshness against `freshness`. Always: "Size" and "SHA256", when present, are well
// formed (a manifest without the section has empty values). The values are taken from the same
// bytes (in the ANSI code page, or UTF-8/UTF-16 after their byte order marks) and cut to 259
// characters. Fills `manifest`; false with `problem` set otherwise.
bool ReadManifest(const std::string& bytes,
                  const std::string& signatureText,
                  const std::string& publicKeyHex,
                  const FreshnessContext& freshness,
                  UpdateManifest* manifest,
                  std::string* problem);

// The exact bytes of a small file (at most `maxBytes`); false when it cannot be read or is larger.
bool ReadSmallFile(const std::wstring& path, size_t maxBytes, std::string* bytes);

}  // namespace zarvik
