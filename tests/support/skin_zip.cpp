#include "support/skin_zip.h"

#include <zlib.h>

#include "support/zip_builder.h"

namespace zarvik_test {

bool WriteSkinZip(const std::wstring& path, const ZipEntries& entries) {
  std::vector<ZipMember> members;
  for (const auto& entry : entries) {
    ZipMember member;
    member.name = entry.first;
    member.data = entry.second;
    members.push_back(member);
  }
  return BuildZip(path, members);
}

namespace {

void PutBigEndian(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value >> 24));
  out.push_back(static_cast<char>(value >> 16));
  out.push_back(static_cast<char>(value >> 8));
  out.push_back(static_cast<char>(value));
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
  PutBigEndian(out, static_cast<uint32_t>(data.size()));
  std::string body(type, 4);
  body += data;
  out += body;
  PutBigEndian(out, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                static_cast<uInt>(body.size()))));
}

uint32_t Solid(int, int, void* context) {
  return *static_cast<uint32_t*>(context);
}

}  // namespace

std::string MakePng(int width,
                    int height,
                    uint32_t (*pixel)(int x, int y, void* context),
                    void* context) {
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    for (int x = 0; x < width; ++x) {
      uint32_t argb = pixel(x, y, context);
      raw.push_back(static_cast<char>(argb >> 16));
      raw.push_back(static_cast<char>(argb >> 8));
      raw.push_back(static_cast<char>(argb));
      raw.push_back(static_cast<char>(argb >> 24));
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packedSize, '\0');
  compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
            reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 9);
  packed.resize(packedSize);

  std::string png("\x89PNG\r\n\x1a\n", 8);
  std::string header;
  PutBigEndian(header, static_cast<uint32_t>(width));
  PutBigEndian(header, static_cast<uint32_t>(height));
  header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter, plain
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", packed);
  PutChunk(png, "IEND", std::string());
  return png;
}

std::string SolidPng(int width, int height, uint32_t argb) {
  return MakePng(width, height, Solid, &argb);
}

}  // namespace zarvik_test
