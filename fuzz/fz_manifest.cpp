// The update manifest's text: ProfileValue/ParseManifestText on arbitrary bytes, and the freshness
// rules (Serial, Expires, Edition) against a stored serial, a clock and an edition taken from the
// input's first bytes.
// Oracle: a value never holds a line break or a NUL; an accepted time formats back to the same
// text; a manifest the rules accept has a serial not below the stored one, has not expired and
// names the running edition.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "updater/update_manifest.h"

namespace {

void CheckValue(const std::string& value) {
  if (value.find('\n') != std::string::npos || value.find('\0') != std::string::npos)
    abort();
}

std::string Format(int64_t seconds) {
  // Civil date from days since 1970 (the inverse of the parser's conversion).
  int64_t days = seconds / 86400, rest = seconds % 86400;
  days += 719468;
  const int64_t era = days / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yearOfEra + era * 400 + (month <= 2);
  char text[64];
  snprintf(text, sizeof(text), "%04lld-%02lld-%02lldT%02lld:%02lld:%02lldZ",
           static_cast<long long>(year), static_cast<long long>(month), static_cast<long long>(day),
           static_cast<long long>(rest / 3600), static_cast<long long>(rest / 60 % 60),
           static_cast<long long>(rest % 60));
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 9)
    return 0;
  zarvik::FreshnessContext context;
  context.storedSerial = data[0] | (data[1] << 8);
  context.now =
      1700000000LL + (static_cast<int64_t>(data[2] | (data[3] << 8) | (data[4] << 16)) << 6);
  context.edition = data[5] & 1;
  const std::string bytes(reinterpret_cast<const char*>(data) + 8, size - 8);

  zarvik::ManifestText text;
  if (!zarvik::ParseManifestText(bytes, &text))
    return 0;
  for (const std::string* value :
       {&text.version, &text.url, &text.url2, &text.report, &text.reportUrl, &text.size,
        &text.sha256, &text.serial, &text.expires, &text.edition})
    CheckValue(*value);

  int64_t expires = 0;
  if (zarvik::ParseManifestTime(text.expires, &expires) && Format(expires) != text.expires)
    abort();
  uint64_t serial = 0;
  std::string problem;
  if (zarvik::CheckManifestFreshness(text, context, &serial, &problem)) {
    int edition = -1;
    if (serial < context.storedSerial || !zarvik::ParseManifestTime(text.expires, &expires) ||
        context.now > expires || !zarvik::ParseManifestEdition(text.edition, &edition) ||
        edition != context.edition)
      abort();
  } else if (problem.empty()) {
    abort();
  }
  return 0;
}
