// Builds ZIP archives for the tests with minizip's writer: update packages with chosen names,
// attributes and extra fields, and the skin archives of the UI tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zarvik_test {

struct ZipMember {
  std::string name;  // stored bytes of the name
  std::string data;
  unsigned host = 0;  // high byte of version-made-by: 0 FAT, 3 Unix, 11 NTFS
  uint32_t externalAttributes = 0x20;
  uint32_t dosDateTime = 0x50A46000;  // 2020-05-04 12:00:00
  std::string centralExtra;           // extra field of the central directory record
  const char* password = nullptr;
};

// A member holding `data`; a name that ends in '/' makes a folder (with the folder attribute).
ZipMember Member(const std::string& name, const std::string& data);

bool BuildZip(const std::wstring& path, const std::vector<ZipMember>& members);

// An extended-timestamp block with the given flags and times (as many times as flags name).
std::string UnixTimeExtra(unsigned flags, const std::vector<uint32_t>& times);

}  // namespace zarvik_test
