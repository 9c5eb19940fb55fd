#include "updater/zip_reader.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "common/encoding.h"
#include "support/temp_dir.h"
#include "support/zip_builder.h"
#include "updater/flush_pool.h"
#include "updater/zip_names.h"

using zarvik_test::BuildZip;
using zarvik_test::ReadFileBytes;
using zarvik_test::TempDir;
using zarvik_test::UnixTimeExtra;
using zarvik_test::ZipMember;

namespace {

TEST(ZipNames, CleaningDropsDrivesLeadingSeparatorsAndClimbs) {
  struct Case {
    const wchar_t* stored;
    const wchar_t* cleaned;
  } cases[] = {
      {L"..\\..\\evil.dll", L"evil.dll"},
      {L"C:\\x\\y.dll", L"x\\y.dll"},
      {L"bin/../x.dll", L"x.dll"},
      {L"/etc/passwd", L"etc/passwd"},
      {L"\\\\server\\share\\f.txt", L"server\\share\\f.txt"},
      {L"C:/..\\D:\\a.txt", L"..\\D:\\a.txt"},  // no separator before the dots
      {L"a/b\\c.txt", L"a/b\\c.txt"},
      {L"../x.dll", L"../x.dll"},  // no separator before the dots: left for the extractor to refuse
      {L"", L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    EXPECT_EQ(zarvik::CleanZipMemberName(c.stored), c.cleaned);
  }
}

TEST(ZipNames, ClimbingComponentsAreRecognised) {
  struct Case {
    const wchar_t* name;
    bool leaves;
  } cases[] = {
      {L"../x.dll", true}, {L"a/..", true},   {L"a\\...\\b", true},
      {L".. /x", true},    {L"x.dll", false}, {L"./x.dll", false},
      {L"a/..b/c", false}, {L"..x/y", false}, {L"a/b.old", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(zarvik::ZipNameLeavesRoot(c.name), c.leaves);
  }
}

// Look-alike conversions of two code pages, as the system's best-fit tables give them.
char AnsiOf1252(wchar_t c) {
  switch (c) {
    case 0x2024:
      return '.';
    case 0x2215:
      return '/';
    case 0x00C0:
      return static_cast<char>(0xC0);
  }
  return 0;
}
char AnsiOf932(wchar_t c) {
  return c == 0x00A5 ? '\\' : 0;
}
// A code page where a private character becomes a separator: only the conversion can tell.
char AnsiOfOdd(wchar_t c) {
  return c == 0xE000 ? '\\' : 0;
}

TEST(ZipNames, HostileNamesAreRefused) {
  struct Case {
    const wchar_t* name;
    bool refused;
    char (*ansiOf)(wchar_t);
  } cases[] = {
      {L"zarvik.exe", false, nullptr},
      {L"bin/tool.dll", false, nullptr},
      {L"bin\\tool.dll", false, nullptr},
      {L"skin/", false, nullptr},
      {L"temperature.txt", false, nullptr},
      {L"Temp2/x.dll", false, nullptr},
      {L"CONFIG.SYS", false, nullptr},
      {L"COM10", false, nullptr},
      {L"\u00c0.txt", false, &AnsiOf1252},
      {L"\u4e2d\u6587.txt", false, &AnsiOf932},
      {L"zarvik.exe:stream", true, nullptr},
      {L"a:b/c.dll", true, nullptr},
      {L"CON", true, nullptr},
      {L"con.txt", true, nullptr},
      {L"bin/NUL.dll", true, nullptr},
      {L"Aux .x", true, nullptr},
      {L"COM1", true, nullptr},
      {L"lpt9.log", true, nullptr},
      {L"com\u00b9", true, nullptr},
      {L"zarvik.exe.", true, nullptr},
      {L"zarvik.exe ", true, nullptr},
      {L"bin./x.dll", true, nullptr},
      {L"\uff0e\uff0e\uff3c", true, nullptr},  // fullwidth "..\\"
      {L"\uff0e\uff0e\uff3cx.dll", true, nullptr},
      {L"a\u2216b", true, nullptr},
      {L"a\u2215b", true, nullptr},
      {L"..\u00a5x.dll", true, nullptr},  // the yen sign is the separator of code page 932
      {L"a\u2024b", true, &AnsiOf1252},
      {L"a\ue000b", false, nullptr},
      {L"a\ue000b", true, &AnsiOfOdd},
      {L"update.journal", true, nullptr},
      {L"Update.Journal", true, nullptr},
      {L"zarvik.zip", true, nullptr},
      {L"update.ini", true, nullptr},
      {L"Temp/zarvik.exe", true, nullptr},
      {L"TEMP/", true, nullptr},
      {L"bin/update.journal", false, nullptr},  // only the top-level names are the updater's
      {L"update.serial", true, nullptr},
      {L"update.serial.new", true, nullptr},
      {L"UPDATE.JOURNAL.NEW", true, nullptr},
      {L"update.journal.stuck", true, nullptr},
      // Names like the updater's backups, at any depth and in any case.
      {L"duilib.dll.old", true, nullptr},
      {L"skin/a.png.OLD", true, nullptr},
      {L"x.old.undone", true, nullptr},
      {L"backup.old/x.dll", true, nullptr},
      {L"fonts/title.oldstyle.ttf", false, nullptr},
      {L"readme.older.txt", false, nullptr},
      {L"old/x.dll", false, nullptr},
      // Short-name aliases.
      {L"UPDATE~1.JOU", true, nullptr},
      {L"bin/PROGRA~2/x.dll", true, nullptr},
      {L"a~b.txt", false, nullptr},
      {L"~1", true, nullptr},
      {L"tilde~", false, nullptr},
      {L"a<b", true, nullptr},
      {L"a?b", true, nullptr},
      {L"a|b", true, nullptr},
      {L"a\tb", true, nullptr},
      {L"", true, nullptr},
      {L"a//b", true, nullptr},
      {L"../x.dll", true, nullptr},
      {L"sub/.. /x.dll", true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(zarvik::WideToUtf8(c.name));
    const char* problem = zarvik::ZipNameProblem(c.name, c.ansiOf);
    EXPECT_EQ(problem != nullptr, c.refused) << (problem ? problem : "accepted");
  }
  // A name cut at an embedded NUL would name another file.
  EXPECT_NE(zarvik::ZipNameProblem(std::wstring(L"x.dll\0.txt", 11)), nullptr);
  EXPECT_EQ(zarvik::FoldZipName(L"Bin/Tool.DLL/"), L"BIN\\TOOL.DLL");
  // Case beyond ASCII, as the file system compares names.
  EXPECT_EQ(zarvik::FoldZipName(L"skin/\u00e9\u0450.png"),
            zarvik::FoldZipName(L"SKIN\\\u00c9\u0400.PNG"));
  EXPECT_NE(zarvik::FoldZipName(L"\u00e9"), zarvik::FoldZipName(L"e"));
}

TEST(ZipNames, AttributesFollowTheHostSystem) {
  struct Case {
    unsigned host;
    uint32_t external;
    uint32_t attributes;
  } cases[] = {
      {0, 0x21, 0x21},        // FAT: archive + read-only
      {11, 0x16, 0x16},       // NTFS: directory, hidden, system
      {14, 0x01, 0x01},       // VFAT read-only
      {7, 0x02, 0x02},        // Macintosh uses the DOS bits too
      {3, 0x41ED0010, 0x30},  // Unix directory rwxr-xr-x
      {3, 0x416D0000, 0x31},  // Unix directory r-x: bit 23 clear -> read-only
      {3, 0x81A40000, 0x20},  // Unix file rw-r--r--
      {3, 0x81240000, 0x21},  // Unix file r--r--r--
      {3, 0x00000001, 0x21},  // DOS bits mean nothing for Unix
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.host << " " << std::hex << c.external);
    EXPECT_EQ(zarvik::DeriveZipAttributes(c.host, c.external), c.attributes);
  }
}

TEST(ZipNames, UnixTimesAreReadOnlyInsideTheirBlock) {
  std::string other = std::string("XY\x02\x00", 4) + "ab";
  std::string all = other + UnixTimeExtra(7, {100, 200, 300});
  zarvik::ZipUnixTimes times;
  ASSERT_TRUE(zarvik::ParseZipUnixTimes(reinterpret_cast<const unsigned char*>(all.data()),
                                        all.size(), &times));
  EXPECT_TRUE(times.hasModification && times.hasAccess && times.hasCreation);
  EXPECT_EQ(times.modification, 100);
  EXPECT_EQ(times.access, 200);
  EXPECT_EQ(times.creation, 300);

  // The central record names three times in its flags but carries only the first.
  std::string central = UnixTimeExtra(7, {100});
  zarvik::ZipUnixTimes partial;
  ASSERT_TRUE(zarvik::ParseZipUnixTimes(reinterpret_cast<const unsigned char*>(central.data()),
                                        central.size(), &partial));
  EXPECT_TRUE(partial.hasModification);
  EXPECT_FALSE(partial.hasAccess);
  EXPECT_FALSE(partial.hasCreation);

  // A block that claims more than the buffer holds, and no block at all.
  std::string cut = UnixTimeExtra(1, {100}).substr(0, 7);
  zarvik::ZipUnixTimes none;
  zarvik::ParseZipUnixTimes(reinterpret_cast<const unsigned char*>(cut.data()), cut.size(), &none);
  EXPECT_FALSE(none.hasModification);
  EXPECT_FALSE(zarvik::ParseZipUnixTimes(reinterpret_cast<const unsigned char*>(other.data()),
                                         other.size(), &none));
  EXPECT_EQ(zarvik::UnixSecondsToFileTime(0), 116444736000000000ULL);
}

uint64_t ToUint64(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

std::vector<ZipEntry> ExtractAll(ZipReader* reader,
                                 std::vector<int>* codes,
                                 zarvik::FlushPool* flushes) {
  ZipEntry count;
  EXPECT_EQ(reader->ReadEntry(-1, &count), ZR_OK);
  std::vector<ZipEntry> entries;
  for (int i = 0; i < count.index; ++i) {
    ZipEntry entry;
    EXPECT_EQ(reader->ReadEntry(i, &entry), ZR_OK);
    codes->push_back(reader->ExtractEntry(i, entry.name, flushes));
    entries.push_back(entry);
  }
  return entries;
}

// Flushed one by one, or handed to a flush pool (as the installation does): the same files.
void ExpectMembersBelowTheRootWithAttributesAndTimes(zarvik::FlushPool* flushes) {
  TempDir temp;
  std::wstring package = temp.File(L"package.zip");
  std::wstring root = temp.File(L"root");
  CreateDirectoryW(root.c_str(), nullptr);
  std::string big(40000, 'z');
  for (size_t i = 0; i < big.size(); ++i)
    big[i] = static_cast<char>(i * 31 + (i >> 9));

  std::vector<ZipMember> members(10);
  members[0].name = "bin/";
  members[0].host = 3;
  members[0].externalAttributes = 0x41ED0010;
  members[1].name = "bin/tool.dll";
  members[1].data = big;  // more than two 16 KiB blocks
  members[1].host = 3;
  members[1].externalAttributes = 0x81A40000;
  members[2].name = "readme.txt";
  members[2].data = "read only";
  members[2].host = 0;
  members[2].externalAttributes = 0x21;
  members[3].name = "..\\..\\evil.dll";
  members[3].data = "evil";
  members[4].name = "C:\\x\\y.dll";
  members[4].data = "y";
  members[5].name = "bin/../x.dll";
  members[5].data = "x";
  members[6].name = "locked.txt";
  members[6].data = "r--";
  members[6].host = 3;
  members[6].externalAttributes = 0x81240000;
  members[7].name = "stamped.txt";
  members[7].data = "time";
  members[7].centralExtra = UnixTimeExtra(1, {1600000000});
  members[8].name = "../escape.dll";
  members[8].data = "must not be written";
  members[9].name = "sub/.. /escape2.dll";
  members[9].data = "must not be written";
  ASSERT_TRUE(BuildZip(package, members));

  std::unique_ptr<ZipReader> reader = ZipReader::Open(package, root + L"\\");
  ASSERT_TRUE(reader);
  EXPECT_EQ(ZipLastResult(), ZR_OK);
  EXPECT_EQ(reader->RootDirectory(), root + L"\\");
  std::vector<int> codes;
  std::vector<ZipEntry> entries = ExtractAll(reader.get(), &codes, flushes);
  ASSERT_EQ(entries.size(), members.size());
  reader.reset();
  if (flushes) {
    ASSERT_EQ(flushes->Finish(), 0u);
  }

  const std::wstring r = root + L"\\";
  EXPECT_EQ(entries[0].attributes, 0x30u);
  EXPECT_EQ(codes[0], ZR_OK);
  EXPECT_NE(GetFileAttributesW((r + L"bin").c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
  EXPECT_EQ(codes[1], ZR_OK);
  EXPECT_EQ(ReadFileBytes(r + L"bin\\tool.dll"), big);
  EXPECT_EQ(entries[1].uncompressedSize, static_cast<long>(big.size()));
  EXPECT_EQ(GetFileAttributesW((r + L"readme.txt").c_str()) & 0x21u, 0x21u);
  EXPECT_EQ(entries[3].name, L"evil.dll");
  EXPECT_EQ(ReadFileBytes(r + L"evil.dll"), "evil");
  EXPECT_EQ(entries[4].name, L"x\\y.dll");
  EXPECT_EQ(ReadFileBytes(r + L"x\\y.dll"), "y");
  EXPECT_EQ(entries[5].name, L"x.dll");
  EXPECT_EQ(ReadFileBytes(r + L"x.dll"), "x");
  EXPECT_NE(GetFileAttributesW((r + L"locked.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_EQ(GetFileAttributesW((r + L"bin\\tool.dll").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);

  // Names that still climb are refused, and nothing appears beside the root.
  EXPECT_EQ(entries[8].name, L"../escape.dll");
  EXPECT_EQ(codes[8], ZR_ARGS);
  EXPECT_EQ(codes[9], ZR_ARGS);
  EXPECT_EQ(GetFileAttributesW(temp.File(L"escape.dll").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW(temp.File(L"escape2.dll").c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetFileAttributesW((r + L"escape2.dll").c_str()), INVALID_FILE_ATTRIBUTES);

  // The DOS time is local time; the "UT" field overrides the modification time.
  FILETIME local, expected;
  DosDateTimeToFileTime(0x50A4, 0x6000, &local);
  LocalFileTimeToFileTime(&local, &expected);
  EXPECT_EQ(ToUint64(entries[2].modificationTime), ToUint64(expected));
  EXPECT_EQ(ToUint64(entries[2].creationTime), ToUint64(expected));
  EXPECT_EQ(ToUint64(entries[7].modificationTime), zarvik::UnixSecondsToFileTime(1600000000));
  EXPECT_EQ(ToUint64(entries[7].accessTime), ToUint64(expected));
  WIN32_FILE_ATTRIBUTE_DATA data;
  ASSERT_TRUE(GetFileAttributesExW((r + L"stamped.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(ToUint64(data.ftLastWriteTime), zarvik::UnixSecondsToFileTime(1600000000));
  ASSERT_TRUE(GetFileAttributesExW((r + L"readme.txt").c_str(), GetFileExInfoStandard, &data));
  EXPECT_EQ(ToUint64(data.ftLastWriteTime), ToUint64(expected));

  // Leave the read-only files deletable for the temporary folder's clean-up.
  SetFileAttributesW((r + L"readme.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
  SetFileAttributesW((r + L"locked.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ZipReaderExtract, MembersLandBelowTheRootWithAttributesAndTimes) {
  {
    SCOPED_TRACE("flushed one by one");
    ExpectMembersBelowTheRootWithAttributesAndTimes(nullptr);
  }
  SCOPED_TRACE("flushed on a pool");
  zarvik::FlushPool flushes;
  ExpectMembersBelowTheRootWithAttributesAndTimes(&flushes);
}

TEST(ZipReaderExtract, BadIndexPasswordAndDamageGiveTheirCodes) {
  TempDir temp;
  std::wstring package = temp.File(L"package.zip");
  std::vector<ZipMember> members(2);
  members[0].name = "secret.txt";
  members[0].data = "secret";
  members[0].password = "pw";
  members[1].name = "plain.txt";
  members[1].data = std::string(5000, 'p');
  for (size_t i = 0; i < members[1].data.size(); ++i)
    members[1].data[i] = static_cast<char>((i * 2654435761u) >> 13);
  ASSERT_TRUE(BuildZip(package, members));

  const std::wstring root = temp.File(L"");
  {
    std::unique_ptr<ZipReader> reader = ZipReader::Open(package, root);
    ASSERT_TRUE(reader);
    ZipEntry entry;
    EXPECT_EQ(reader->ReadEntry(2, &entry), ZR_ARGS);
    EXPECT_EQ(ZipLastResult(), ZR_ARGS);
    EXPECT_EQ(reader->ExtractEntry(2, L"x.txt"), ZR_ARGS);
    EXPECT_EQ(reader->ExtractEntry(-2, L"x.txt"), ZR_ARGS);
    EXPECT_EQ(reader->ExtractEntry(0, L"secret.txt"), ZR_PASSWORD);
    EXPECT_EQ(GetFileAttributesW(temp.File(L"secret.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(reader->ExtractEntry(1, L"plain.txt"), ZR_OK);
  }

  // Damage the compressed data of the second member: the inflate or the check fails, and no
  // half-written file is left.
  std::string bytes = ReadFileBytes(package);
  size_t at = bytes.find("plain.txt");
  ASSERT_NE(at, std::string::npos);
  for (size_t i = at + 40; i < at + 60; ++i)
    bytes[i] = static_cast<char>(~bytes[i]);
  std::wstring damaged = temp.File(L"damaged.zip");
  ASSERT_TRUE(zarvik_test::WriteFileBytes(damaged, bytes));
  std::unique_ptr<ZipReader> reader = ZipReader::Open(damaged, root);
  ASSERT_TRUE(reader);
  ZipEntry entry;
  ASSERT_EQ(reader->ReadEntry(1, &entry), ZR_OK);
  EXPECT_EQ(reader->ExtractEntry(1, L"broken.txt"), ZR_FLATE);
  EXPECT_EQ(GetFileAttributesW(temp.File(L"broken.txt").c_str()), INVALID_FILE_ATTRIBUTES);
  reader.reset();

  // An archive without members (behind a stub: minizip does not find a directory record at
  // the very first byte) opens and counts none.
  ASSERT_TRUE(zarvik_test::WriteFileBytes(
      temp.File(L"empty.zip"),
      std::string("stub") + std::string("PK\x05\x06", 4) + std::string(18, '\0')));
  std::unique_ptr<ZipReader> empty = ZipReader::Open(temp.File(L"empty.zip"), root);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->EntryCount(), 0);
  EXPECT_EQ(empty->ReadEntry(0, &entry), ZR_ARGS);
  empty.reset();

  // Not an archive at all, and no file at all.
  ASSERT_TRUE(zarvik_test::WriteFileBytes(temp.File(L"junk.zip"), std::string(300, 'j')));
  EXPECT_FALSE(ZipReader::Open(temp.File(L"junk.zip"), root));
  EXPECT_EQ(ZipLastResult(), ZR_NOFILE);
  EXPECT_FALSE(ZipReader::Open(temp.File(L"nothing.zip"), root));
  EXPECT_EQ(ZipLastResult(), ZR_NOFILE);
}

// Raw archives with stored members, for what minizip's writer cannot produce: a declared size
// that the data does not reach, and a zip64 entry count of any value.
struct RawMember {
  std::string name;
  std::string data;
  uint32_t declaredSize;
};

void Put16(std::string* out, uint32_t v) {
  out->push_back(static_cast<char>(v & 0xFF));
  out->push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string* out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put64(std::string* out, uint64_t v) {
  Put32(out, static_cast<uint32_t>(v));
  Put32(out, static_cast<uint32_t>(v >> 32));
}

// With `zip64Count`, the end records are zip64 ones that claim that many entries.
std::string RawZip(const std::vector<RawMember>& members, uint64_t zip64Count = 0) {
  std::string out, central;
  for (const RawMember& m : members) {
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(m.data.data()), static_cast<uInt>(m.data.size())));
    const uint32_t offset = static_cast<uint32_t>(out.size());
    Put32(&out, 0x04034b50);
    Put16(&out, 20);
    Put16(&out, 0);
    Put16(&out, 0);  // stored
    Put16(&out, 0x6000);
    Put16(&out, 0x50A4);
    Put32(&out, crc);
    Put32(&out, static_cast<uint32_t>(m.data.size()));
    Put32(&out, m.declaredSize);
    Put16(&out, static_cast<uint32_t>(m.name.size()));
    Put16(&out, 0);
    out += m.name + m.data;
    Put32(&central, 0x02014b50);
    Put16(&central, 20);
    Put16(&central, 20);
    Put16(&central, 0);
    Put16(&central, 0);
    Put16(&central, 0x6000);
    Put16(&central, 0x50A4);
    Put32(&central, crc);
    Put32(&central, static_cast<uint32_t>(m.data.size()));
    Put32(&central, m.declaredSize);
    Put16(&central, static_cast<uint32_t>(m.name.size()));
    Put16(&central, 0);
    Put16(&central, 0);
    Put16(&central, 0);
    Put16(&central, 0);
    Put32(&central, 0x20);
    Put32(&central, offset);
    central += m.name;
  }
  const uint64_t centralOffset = out.size();
  out += central;
  if (zip64Count) {
    const uint64_t recordOffset = out.size();
    Put32(&out, 0x06064b50);
    Put64(&out, 44);
    Put16(&out, 45);
    Put16(&out, 45);
    Put32(&out, 0);
    Put32(&out, 0);
    Put64(&out, zip64Count);
    Put64(&out, zip64Count);
    Put64(&out, central.size());
    Put64(&out, centralOffset);
    Put32(&out, 0x07064b50);
    Put32(&out, 0);
    Put64(&out, recordOffset);
    Put32(&out, 1);
  }
  Put32(&out, 0x06054b50);
  Put16(&out, 0);
  Put16(&out, 0);
  Put16(&out, zip64Count ? 0xFFFF : static_cast<uint32_t>(members.size()));
  Put16(&out, zip64Count ? 0xFFFF : static_cast<uint32_t>(members.size()));
  Put32(&out, zip64Count ? 0xFFFFFFFF : static_cast<uint32_t>(central.size()));
  Put32(&out, zip64Count ? 0xFFFFFFFF : static_cast<uint32_t>(centralOffset));
  Put16(&out, 0);
  return out;
}

TEST(ZipReaderCrafted, EntryCountsBeyondTheBoundAreRefused) {
  TempDir temp;
  const std::wstring root = temp.File(L"root\\");
  CreateDirectoryW(root.c_str(), nullptr);
  const std::vector<RawMember> one = {{"a.txt", "hello", 5}};
  struct Case {
    uint64_t count;
    bool opens;
  } cases[] = {
      {1, true},  // the crafted zip64 records themselves are sound
      {kMaxZipEntries, true},
      {kMaxZipEntries + 1, false},
      {0x7FFFFFFFull, false},
      {0x80000000ull, false},   // negative as an int
      {0x100000001ull, false},  // 1 after a cut to 32 bits
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.count);
    const std::wstring path = temp.File(L"count.zip");
    ASSERT_TRUE(zarvik_test::WriteFileBytes(path, RawZip(one, c.count)));
    std::unique_ptr<ZipReader> reader = ZipReader::Open(path, root);
    EXPECT_EQ(static_cast<bool>(reader), c.opens);
    EXPECT_EQ(ZipLastResult(), c.opens ? ZR_OK : ZR_CORRUPT);
    if (reader) {
      EXPECT_EQ(static_cast<uint64_t>(reader->EntryCount()), c.count);
    }
  }
  // The member of the sound one reads and unpacks.
  ASSERT_TRUE(zarvik_test::WriteFileBytes(temp.File(L"one.zip"), RawZip(one, 1)));
  std::unique_ptr<ZipReader> reader = ZipReader::Open(temp.File(L"one.zip"), root);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->ExtractEntry(0, L"a.txt"), ZR_OK);
  EXPECT_EQ(ReadFileBytes(root + L"a.txt"), "hello");
}

TEST(ZipReaderCrafted, MemberShorterOrLongerThanDeclaredIsNotKept) {
  TempDir temp;
  const std::wstring root = temp.File(L"");
  struct Case {
    RawMember member;
    int code;
  } cases[] = {
      {{"exact.dll", "12345", 5}, ZR_OK},
      {{"short.dll", "12345", 1000}, ZR_SIZE},  // the data ends early: no CRC check happens
      {{"empty.dll", "", 7}, ZR_SIZE},
  };
  for (bool pooled : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.member.name << (pooled ? ", pooled" : ""));
      const std::wstring path = temp.File(L"sizes.zip");
      ASSERT_TRUE(zarvik_test::WriteFileBytes(path, RawZip({c.member})));
      std::unique_ptr<ZipReader> reader = ZipReader::Open(path, root);
      ASSERT_TRUE(reader);
      ZipEntry entry;
      ASSERT_EQ(reader->ReadEntry(0, &entry), ZR_OK);
      EXPECT_EQ(entry.declaredSize, c.member.declaredSize);
      zarvik::FlushPool flushes;
      EXPECT_EQ(reader->ExtractEntry(0, entry.name, pooled ? &flushes : nullptr), c.code);
      EXPECT_EQ(flushes.Finish(), 0u);
      const std::wstring out = root + zarvik::Utf8ToWide(c.member.name);
      EXPECT_EQ(GetFileAttributesW(out.c_str()) != INVALID_FILE_ATTRIBUTES, c.code == ZR_OK);
      DeleteFileW(out.c_str());
    }
  }
}

}  // namespace
