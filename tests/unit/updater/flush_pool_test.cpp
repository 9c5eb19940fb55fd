#include "updater/flush_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/scoped_handle.h"
#include "support/temp_dir.h"
#include "updater/update_steps.h"

using zarvik::FlushPool;
using zarvik::ScopedFileHandle;
using zarvik_test::ReadFileBytes;
using zarvik_test::TempDir;

namespace {

// A file written in full and still open for writing, as the zip reader hands it over.
ScopedFileHandle WrittenFile(const std::wstring& path, const std::string& data) {
  ScopedFileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  EXPECT_TRUE(
      file &&
      WriteFile(file.Get(), data.data(), static_cast<DWORD>(data.size()), &written, nullptr) &&
      written == data.size());
  return file;
}

// Whether the writer's handle is closed: the file was opened without sharing.
bool Closed(const std::wstring& path) {
  ScopedFileHandle probe(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(probe);
}

// The steps the hook saw, and the flush of one path that it refuses.
std::vector<std::wstring> g_flushed;
std::wstring g_refused;
bool RecordingHook(const char* step, const std::wstring& path) {
  if (std::string(step) != "flush member")
    return true;
  g_flushed.push_back(path);
  return path != g_refused;
}

// The hook that holds the first flush until it is released.
std::atomic<bool> g_holding{false};
std::atomic<bool> g_release{false};
std::atomic<int> g_flushes{0};
bool HoldingHook(const char*, const std::wstring&) {
  if (g_flushes++ == 0) {
    g_holding = true;
    while (!g_release)
      Sleep(1);
  }
  return true;
}

TEST(FlushPool, EveryFileIsFlushedAndClosedAndAFailedOneIsDeletedAndNamed) {
  struct Case {
    const char* what;
    size_t threads;
    size_t maxPending;
    int refused;  // index of the file whose flush fails, -1 for none
  } cases[] = {
      {"two threads", 2, 8, -1},
      {"one thread, one at a time", 1, 1, -1},
      {"a failed flush in the middle", 2, 3, 4},
      {"the last flush fails", 1, 2, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir temp;
    std::vector<std::wstring> paths;
    for (int i = 0; i < 10; ++i)
      paths.push_back(temp.File(L"member" + std::to_wstring(i) + L".bin"));
    g_flushed.clear();
    g_refused = c.refused >= 0 ? paths[static_cast<size_t>(c.refused)] : std::wstring();
    zarvik::SetUpdateStepHook(&RecordingHook);
    DWORD error = 0;
    std::wstring failed;
    bool failedSeen = false;
    {
      FlushPool pool(c.threads, c.maxPending);
      for (size_t i = 0; i < paths.size(); ++i)
        pool.Submit(WrittenFile(paths[i], "data " + std::to_string(i)), paths[i],
                    L"label" + std::to_wstring(i));
      error = pool.Finish(&failed);
      failedSeen = pool.Failed();
      // Every file is closed once Finish returns, not only when the pool goes.
      for (size_t i = 0; i < paths.size(); ++i) {
        if (static_cast<int>(i) != c.refused) {
          EXPECT_TRUE(Closed(paths[i])) << i;
        }
      }
    }
    zarvik::SetUpdateStepHook(nullptr);
    EXPECT_EQ(g_flushed.size(), paths.size());  // every file went through its flush step
    for (size_t i = 0; i < paths.size(); ++i) {
      SCOPED_TRACE(i);
      if (static_cast<int>(i) == c.refused) {
        EXPECT_EQ(GetFileAttributesW(paths[i].c_str()), INVALID_FILE_ATTRIBUTES);
      } else {
        EXPECT_EQ(ReadFileBytes(paths[i]), "data " + std::to_string(i));
      }
    }
    EXPECT_EQ(failedSeen, c.refused >= 0);
    if (c.refused >= 0) {
      EXPECT_EQ(error, static_cast<DWORD>(ERROR_ACCESS_DENIED));
      EXPECT_EQ(failed, L"label" + std::to_wstring(c.refused));
    } else {
      EXPECT_EQ(error, 0u);
      EXPECT_EQ(failed, L"");
    }
  }
}

TEST(FlushPool, SubmitWaitsWhileThePoolHoldsItsMostFiles) {
  TempDir temp;
  g_holding = false;
  g_release = false;
  g_flushes = 0;
  zarvik::SetUpdateStepHook(&HoldingHook);
  std::atomic<int> submitted{0};
  {
    FlushPool pool(1, 2);
    std::thread writer([&] {
      for (int i = 0; i < 5; ++i) {
        const std::wstring path = temp.File(L"held" + std::to_wstring(i));
        pool.Submit(WrittenFile(path, "x"), path, path);
        ++submitted;
      }
    });
    // The first file is stuck in its flush and the second waits: the third is not taken.
    for (int i = 0; i < 5000 && (!g_holding || submitted < 2); ++i)
      Sleep(1);
    const bool holding = g_holding;
    const int early = submitted;
    Sleep(200);
    const int later = submitted;
    g_release = true;
    writer.join();
    EXPECT_TRUE(holding);
    EXPECT_EQ(early, 2);
    EXPECT_EQ(later, 2);
    EXPECT_EQ(pool.Finish(), 0u);
  }
  zarvik::SetUpdateStepHook(nullptr);
  EXPECT_EQ(submitted, 5);
  EXPECT_EQ(g_flushes, 5);
}

}  // namespace
