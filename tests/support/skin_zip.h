// Fixtures for UI tests: a zip archive written from name/bytes pairs (as the skin archive is
// packed) and PNG images of plain colours, both made in the test.
#pragma once

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

namespace zarvik_test {

using ZipEntries = std::vector<std::pair<std::string, std::string>>;

// Writes the entries (deflated) into a new zip at path; false when it cannot be written.
bool WriteSkinZip(const std::wstring& path, const ZipEntries& entries);

// A width x height RGBA PNG; pixel(x, y) gives 0xAARRGGBB.
std::string MakePng(int width,
                    int height,
                    uint32_t (*pixel)(int x, int y, void* context),
                    void* context = nullptr);
// A PNG of one colour (0xAARRGGBB).
std::string SolidPng(int width, int height, uint32_t argb);

}  // namespace zarvik_test
