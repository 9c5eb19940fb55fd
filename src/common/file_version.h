// The fixed file-version record of a module's version resource.
#pragma once

#include <string>

namespace zarvik {

// "%d.%d.%d.%d" of the file version (1.0.6.18 reads "1.0.6.18"); empty without a version record.
std::wstring ReadFileVersionText(const std::wstring& path);

}  // namespace zarvik

// The running executable's own file version text, empty without a version record.
std::wstring GetFileVersionText();
