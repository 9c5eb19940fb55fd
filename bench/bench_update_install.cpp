// Installs the update package once into the folder given on the command line (which holds the
// manifest "update.ini" naming the package URL) and prints how long the whole procedure took:
// download, extraction into "Temp", setting the replaced files aside, copying, clean-up.
//   bench_update_install.exe <installation folder with trailing backslash>
// bench/bench_update_install.sh runs it against the demo service and compares it with
// curl + unzip + cp of the same package.
#include <windows.h>

#include <cstdio>
#include <string>

#include "common/encoding.h"
#include "updater/installer.h"
#include "updater/package_integrity.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    // Started by scripts/bench.sh without a folder: the figure needs the demo service and the
    // native tools for comparison, which the driver script brings.
    std::printf("bench_update_install: run bench/bench_update_install.sh for this benchmark\n");
    return 0;
  }
  // The driver writes its own unsigned manifest: this figure is about the installation's speed
  // (the manifest's signature costs one verification of a few hundred bytes).
  zarvik::SetUpdatePublicKey("");
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  int result = zarvik::RunUpdateIn(nullptr, zarvik::AnsiToWide(argv[1]), 0);
  QueryPerformanceCounter(&end);
  double seconds = static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart;
  std::printf("\nbench-install result %d seconds %.3f\n", result, seconds);
  return result == 0 ? 0 : 1;
}
