// The update manifest "update.ini" as text: its keys read from the bytes in memory the way the
// system's profile reader reads a file (section and key names without case, the first section
// "UPDATE" and the first key of a name count, blanks around names and values dropped, one pair
// of matching quotes around a value removed), and the rules for the keys that keep an old signed
// manifest from being replayed or frozen:
//   Serial   decimal, 1 to 18 digits; the client stores the highest one it accepted and refuses
//            a lower one (an equal one is the same manifest again)
//   Expires  UTC time "YYYY-MM-DDThh:mm:ssZ"; a manifest is refused once that time has passed
//   Edition  0 or 1, the service edition the manifest is for (the client's g_editionIndex)
// Pure logic without <windows.h>: the checks against the clock and the stored serial take them
// as values.
#pragma once

#include <cstdint>
#include <string>

namespace zarvik {

// The values of section "UPDATE", as bytes; a key that is missing is empty, and `has*` says
// whether the line was there at all.
struct ManifestText {
  std::string version, url, url2, report, reportUrl, size, sha256, serial, expires, edition;
  bool hasSerial = false, hasExpires = false, hasEdition = false;
};

// Reads the keys of section "UPDATE" from the manifest's bytes (a UTF-8 byte order mark is
// skipped). False when there is no such section.
bool ParseManifestText(const std::string& bytes, ManifestText* text);

// The first value of `key` in section `section` of profile text, as the profile reader gives it;
// false when the key is not there.
bool ProfileValue(const std::string& bytes,
                  const std::string& section,
                  const std::string& key,
                  std::string* value);

// "YYYY-MM-DDThh:mm:ssZ" (exactly that form, a real date and time of day) as seconds since
// 1970-01-01 00:00:00 UTC.
bool ParseManifestTime(const std::string& text, int64_t* secondsSince1970);
// 1 to 18 decimal digits.
bool ParseManifestSerial(const std::string& text, uint64_t* serial);
// "0" or "1".
bool ParseManifestEdition(const std::string& text, int* edition);

// What the freshness keys are checked against.
struct FreshnessContext {
  uint64_t storedSerial = 0;  // the highest serial accepted before, 0 when none
  int64_t now = 0;            // seconds since 1970 UTC
  int edition = 0;            // the running client's edition
};

// The checks of a signed manifest: Serial, Expires and Edition are all present and well formed,
// the serial is not lower than the stored one, the manifest has not expired and is for this
// edition. Fills `serial` with the manifest's serial; false with `problem` set otherwise.
bool CheckManifestFreshness(const ManifestText& text,
                            const FreshnessContext& context,
                            uint64_t* serial,
                            std::string* problem);

}  // namespace zarvik
