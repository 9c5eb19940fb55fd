#include "updater/update_manifest.h"

#include <cstddef>

namespace zarvik {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string Trimmed(const std::string& text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsBlank(text[begin]))
    ++begin;
  while (end > begin && IsBlank(text[end - 1]))
    --end;
  return text.substr(begin, end - begin);
}

char Lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i]))
      return false;
  return true;
}

bool AllDigits(const std::string& text, size_t from, size_t count) {
  if (from + count > text.size())
    return false;
  for (size_t i = from; i < from + count; ++i)
    if (text[i] < '0' || text[i] > '9')
      return false;
  return true;
}

int Number(const std::string& text, size_t from, size_t count) {
  int value = 0;
  for (size_t i = from; i < from + count; ++i)
    value = value * 10 + (text[i] - '0');
  return value;
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// The first value of `key` in the first section named `section`; with an empty key only
// whether that section is there (`sectionFound`).
bool Lookup(const std::string& bytes,
            const std::string& section,
            const std::string& key,
            std::string* value,
            bool* sectionFound) {
  size_t at = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  // 0: before the section, 1: inside its first occurrence, 2: past it.
  int state = 0;
  while (at < bytes.size() && state < 2) {
    size_t end = bytes.find('\n', at);
    if (end == std::string::npos)
      end = bytes.size();
    std::string line = bytes.substr(at, end - at);
    at = end + 1;
    // The profile reader sees text: a line ends at its first NUL.
    const size_t nul = line.find('\0');
    if (nul != std::string::npos)
      line.resize(nul);
    line = Trimmed(line);
    if (!line.empty() && line[0] == '[') {
      const size_t close = line.rfind(']');
      const std::string name =
          line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
      if (state == 1) {
        state = 2;
      } else if (SameName(Trimmed(name), section)) {
        state = 1;
        if (sectionFound)
          *sectionFound = true;
        if (key.empty())
          return false;
      }
      continue;
    }
    if (state != 1)
      continue;
    // A line without "=" names no value: the reader gives the default for it.
    const size_t equals = line.find('=');
    if (equals == std::string::npos)
      continue;
    const std::string name = Trimmed(line.substr(0, equals));
    if (name.empty() || !SameName(name, key))
      continue;
    std::string text = Trimmed(line.substr(equals + 1));
    if (text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0])
      text = text.substr(1, text.size() - 2);
    *value = text;
    return true;
  }
  return false;
}

}  // namespace

bool ProfileValue(const std::string& bytes,
                  const std::string& section,
                  const std::string& key,
                  std::string* value) {
  return Lookup(bytes, section, key, value, nullptr);
}

bool ParseManifestText(const std::string& bytes, ManifestText* text) {
  *text = ManifestText();
  bool found = false;
  Lookup(bytes, "UPDATE", std::string(), nullptr, &found);
  if (!found)
    return false;
  ProfileValue(bytes, "UPDATE", "Version", &text->version);
  ProfileValue(bytes, "UPDATE", "URL", &text->url);
  ProfileValue(bytes, "UPDATE", "URL2", &text->url2);
  ProfileValue(bytes, "UPDATE", "Report", &text->report);
  ProfileValue(bytes, "UPDATE", "ReportURL", &text->reportUrl);
  ProfileValue(bytes, "UPDATE", "Size", &text->size);
  ProfileValue(bytes, "UPDATE", "SHA256", &text->sha256);
  text->hasSerial = ProfileValue(bytes, "UPDATE", "Serial", &text->serial);
  text->hasExpires = ProfileValue(bytes, "UPDATE", "Expires", &text->expires);
  text->hasEdition = ProfileValue(bytes, "UPDATE", "Edition", &text->edition);
  return true;
}

bool ParseManifestTime(const std::string& text, int64_t* secondsSince1970) {
  // 0123456789012345678 9
  // YYYY-MM-DDThh:mm:ss Z
  if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':' || text[19] != 'Z')
    return false;
  if (!AllDigits(text, 0, 4) || !AllDigits(text, 5, 2) || !AllDigits(text, 8, 2) ||
      !AllDigits(text, 11, 2) || !AllDigits(text, 14, 2) || !AllDigits(text, 17, 2))
    return false;
  const int year = Number(text, 0, 4), month = Number(text, 5, 2), day = Number(text, 8, 2);
  const int hour = Number(text, 11, 2), minute = Number(text, 14, 2), second = Number(text, 17, 2);
  if (year < 1970 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
      hour > 23 || minute > 59 || second > 59)
    return false;
  *secondsSince1970 = DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
  return true;
}

bool ParseManifestSerial(const std::string& text, uint64_t* serial) {
  if (text.empty() || text.size() > 18 || !AllDigits(text, 0, text.size()))
    return false;
  uint64_t value = 0;
  for (char c : text)
    value = value * 10 + static_cast<uint64_t>(c - '0');
  *serial = value;
  return true;
}

bool ParseManifestEdition(const std::string& text, int* edition) {
  if (text != "0" && text != "1")
    return false;
  *edition = text[0] - '0';
  return true;
}

bool CheckManifestFreshness(const ManifestText& text,
                            const FreshnessContext& context,
                            uint64_t* serial,
                            std::string* problem) {
  if (!text.hasSerial || !text.hasExpires || !text.hasEdition) {
    *problem = "the signed manifest lacks Serial, Expires or Edition";
    return false;
  }
  uint64_t number = 0;
  int64_t expires = 0;
  int edition = 0;
  if (!ParseManifestSerial(text.serial, &number)) {
    *problem = "the manifest's Serial is malformed";
    return false;
  }
  if (!ParseManifestTime(text.expires, &expires)) {
    *problem = "the manifest's Expires is malformed";
    return false;
  }
  if (!ParseManifestEdition(text.edition, &edition)) {
    *problem = "the manifest's Edition is malformed";
    return false;
  }
  if (number < context.storedSerial) {
    *problem = "the manifest's Serial " + std::to_string(number) + " is lower than " +
               std::to_string(context.storedSerial) + ", the highest one accepted (a replay)";
    return false;
  }
  if (context.now > expires) {
    *problem = "the manifest expired at " + text.expires;
    return false;
  }
  if (edition != context.edition) {
    *problem = "the manifest is for edition " + std::to_string(edition) + ", this client is " +
               "edition " + std::to_string(context.edition);
    return false;
  }
  *serial = number;
  return true;
}

}  // namespace zarvik
