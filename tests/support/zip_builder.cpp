#include "support/zip_builder.h"

#include <minizip/zip.h>
// iowin32.h needs the declarations above it.
#include <minizip/iowin32.h>

#include <zlib.h>

namespace zarvik_test {

ZipMember Member(const std::string& name, const std::string& data) {
  ZipMember member;
  member.name = name;
  member.data = data;
  if (!name.empty() && name.back() == '/')
    member.externalAttributes = FILE_ATTRIBUTE_DIRECTORY;
  return member;
}

bool BuildZip(const std::wstring& path, const std::vector<ZipMember>& members) {
  zlib_filefunc64_def functions;
  fill_win32_filefunc64W(&functions);
  zipFile zip = zipOpen2_64(path.c_str(), APPEND_STATUS_CREATE, nullptr, &functions);
  if (!zip)
    return false;
  bool ok = true;
  for (const ZipMember& member : members) {
    zip_fileinfo info = {};
    info.dosDate = member.dosDateTime;
    info.external_fa = member.externalAttributes;
    unsigned long crc = crc32(0, reinterpret_cast<const Bytef*>(member.data.data()),
                              static_cast<uInt>(member.data.size()));
    int error = zipOpenNewFileInZip4_64(
        zip, member.name.c_str(), &info, nullptr, 0,
        member.centralExtra.empty() ? nullptr : member.centralExtra.data(),
        static_cast<uInt>(member.centralExtra.size()), nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION,
        0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, member.password, crc,
        (member.host << 8) | 20, 0, 0);
    if (error != ZIP_OK) {
      ok = false;
      break;
    }
    if (!member.data.empty() &&
        zipWriteInFileInZip(zip, member.data.data(), static_cast<unsigned>(member.data.size())) !=
            ZIP_OK)
      ok = false;
    zipCloseFileInZip(zip);
  }
  return zipClose(zip, nullptr) == ZIP_OK && ok;
}

std::string UnixTimeExtra(unsigned flags, const std::vector<uint32_t>& times) {
  std::string block = "UT";
  size_t size = 1 + 4 * times.size();
  block += static_cast<char>(size & 0xFF);
  block += static_cast<char>(size >> 8);
  block += static_cast<char>(flags);
  for (uint32_t t : times)
    for (int i = 0; i < 4; ++i)
      block += static_cast<char>((t >> (8 * i)) & 0xFF);
  return block;
}

}  // namespace zarvik_test
