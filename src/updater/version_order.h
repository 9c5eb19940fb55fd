// The order of version texts: dotted numbers compared as tuples, part by part. No <windows.h>, so
// the rule can be tested and fuzzed alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarvik {

// The parts of a dotted version text. Empty pieces (leading, trailing or doubled dots) are
// dropped; each piece is read like _wtoi (leading blanks and a sign allowed, reading stops at the
// first non-digit, no digits gives 0), but a value too large for 64 bits saturates instead of
// wrapping.
std::vector<int64_t> VersionParts(const std::wstring& version);

// -1, 0 or 1 as `a` is older than, the same as or newer than `b`. Parts are compared one by one
// from the left; a missing part counts as 0, so "1.2" equals "1.2.0.0".
int CompareVersions(const std::wstring& a, const std::wstring& b);

}  // namespace zarvik
