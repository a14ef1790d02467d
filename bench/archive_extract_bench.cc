// Extraction speed of the archive layer on a package shaped like the
// product's: many small files and one large one, deflated. The layer is
// driven the way the install engine drives it (open by name, describe each
// entry, delete the target, extract to the target path).
//
//   bench_archive_extract                       make a package in a temporary
//                                               folder, extract it 3 times
//   bench_archive_extract --write PACKAGE       only make the package
//   bench_archive_extract --extract PACKAGE FOLDER [ROUNDS]
//                                               only extract (FOLDER is emptied
//                                               before every round)
//
// Each round prints "round N: small S s, large L s, total T s" for the small
// entries, the large entry and both, and the time the same loop takes when
// every entry goes to memory instead of a file (the layer's own work, without
// the file system's). bench/archive_extract_bench.sh runs the same package
// through Info-ZIP's unzip on the host for comparison.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "installer/zip_archive.h"
#include "tests/support/file_util.h"
#include "tests/support/scoped_temp_dir.h"
#include "tests/support/zip_builder.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSmallFiles = 2000;
constexpr size_t kLargeSize = 100u * 1024 * 1024;
constexpr char kLargeName[] = "bin/large.dat";

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Bytes that deflate to roughly half their size, like program files: runs
// of a few words from a small vocabulary mixed with pseudo-random bytes.
std::string ProgramLikeBytes(size_t size, uint32_t seed) {
  static const char* const kWords[] = {"Lumo", "compress", "video", "frame", "\x00\x00\x00\x00",
                                       "\xff\xff", "kernel32", "codec", "buffer", "\x48\x8b\x05"};
  std::string out;
  out.reserve(size + 16);
  while (out.size() < size) {
    seed = seed * 1664525u + 1013904223u;
    if ((seed >> 28) < 13) {
      out += kWords[(seed >> 8) % 10];
    } else {
      for (int i = 0; i < 12; ++i) {
        seed = seed * 1664525u + 1013904223u;
        out.push_back(static_cast<char>(seed >> 24));
      }
    }
  }
  out.resize(size);
  return out;
}

std::string MakePackage() {
  test::ZipBuilder builder;
  uint32_t seed = 7;
  for (int i = 0; i < kSmallFiles; ++i) {
    seed = seed * 1103515245u + 12345u;
    size_t size = 1024 + (seed >> 8) % (7 * 1024 + 1);
    char name[64];
    std::snprintf(name, sizeof(name), "res/dir%02d/file%04d.bin", i % 40, i);
    builder.AddFile(name, ProgramLikeBytes(size, seed));
  }
  builder.AddFile(kLargeName, ProgramLikeBytes(kLargeSize, 99));
  return builder.Build();
}

struct RoundTimes {
  double small = 0;
  double large = 0;
  bool ok = true;
};

// What the install engine does for every entry.
RoundTimes ExtractLikeTheEngine(const std::wstring& package, const std::wstring& folder) {
  RoundTimes times;
  Clock::time_point start = Clock::now();
  ArchiveHandle* archive = OpenArchive(package.c_str(), 0, kArchiveKindFileName, nullptr);
  if (!archive) {
    std::printf("cannot open the package (0x%x)\n", LastArchiveResult());
    times.ok = false;
    return times;
  }
  ArchiveEntry count;
  (void)GetEntry(archive, -1, &count);
  for (int32_t i = 0; i < count.index; ++i) {
    Clock::time_point entry_start = Clock::now();
    ArchiveEntry entry;
    if (GetEntry(archive, i, &entry) != kArchiveOk) {
      times.ok = false;
      continue;
    }
    std::wstring target = folder + entry.name;
    DeleteFileW(target.c_str());
    if (ExtractEntry(archive, i, &target[0], 0, kArchiveKindFileName) != kArchiveOk) times.ok = false;
    if (entry.uncompressed_size == kLargeSize) {
      times.large += SecondsSince(entry_start);
      // Count opening and everything else with the small files.
      times.small -= SecondsSince(entry_start);
    }
  }
  CloseArchive(archive);
  times.small += SecondsSince(start);
  return times;
}

// The same loop into a memory block: what the layer costs by itself.
RoundTimes ExtractToMemory(const std::wstring& package) {
  RoundTimes times;
  std::vector<char> buffer(kLargeSize);
  Clock::time_point start = Clock::now();
  ArchiveHandle* archive = OpenArchive(package.c_str(), 0, kArchiveKindFileName, nullptr);
  if (!archive) {
    times.ok = false;
    return times;
  }
  ArchiveEntry count;
  (void)GetEntry(archive, -1, &count);
  for (int32_t i = 0; i < count.index; ++i) {
    Clock::time_point entry_start = Clock::now();
    ArchiveEntry entry;
    if (GetEntry(archive, i, &entry) != kArchiveOk ||
        ExtractEntry(archive, i, buffer.data(), static_cast<uint32_t>(buffer.size()), kArchiveKindMemory) !=
            kArchiveOk) {
      times.ok = false;
    }
    if (entry.uncompressed_size == kLargeSize) {
      times.large += SecondsSince(entry_start);
      times.small -= SecondsSince(entry_start);
    }
  }
  CloseArchive(archive);
  times.small += SecondsSince(start);
  return times;
}

void EmptyFolder(const std::wstring& folder) {
  test::RemoveTree(folder);
  CreateDirectoryW(folder.substr(0, folder.size() - 1).c_str(), nullptr);
}

int RunRounds(const std::wstring& package, const std::wstring& folder, int rounds) {
  std::vector<double> totals;
  for (int round = 1; round <= rounds; ++round) {
    EmptyFolder(folder);
    RoundTimes times = ExtractLikeTheEngine(package, folder);
    if (!times.ok) {
      std::printf("round %d: extraction failed\n", round);
      return 1;
    }
    totals.push_back(times.small + times.large);
    RoundTimes memory = ExtractToMemory(package);
    std::printf("round %d: small %.3f s, large %.3f s, total %.3f s (to memory: small %.3f s, large %.3f s)\n",
                round, times.small, times.large, times.small + times.large, memory.small, memory.large);
    std::fflush(stdout);
  }
  std::sort(totals.begin(), totals.end());
  std::printf("median total %.3f s over %d rounds\n", totals[totals.size() / 2], rounds);
  // Check the result once, outside the timing.
  bool ok = false;
  std::string large = test::ReadFileBytes(folder + L"bin\\large.dat", &ok);
  if (!ok || large != ProgramLikeBytes(kLargeSize, 99)) {
    std::printf("the large file came out wrong\n");
    return 1;
  }
  return 0;
}

bool WritePackage(const std::wstring& path) {
  Clock::time_point start = Clock::now();
  std::string package = MakePackage();
  bool ok = test::WriteFileBytes(path, package);
  std::printf("package: %d small files and one of %zu MB, %.1f MB deflated, made in %.1f s\n", kSmallFiles,
              kLargeSize >> 20, package.size() / 1048576.0, SecondsSince(start));
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 3 && std::wstring(argv[1]) == L"--write") return WritePackage(argv[2]) ? 0 : 1;
  if (argc >= 4 && std::wstring(argv[1]) == L"--extract") {
    std::wstring folder = argv[3];
    if (folder.back() != L'\\') folder += L'\\';
    int rounds = argc >= 5 ? _wtoi(argv[4]) : 3;
    return RunRounds(argv[2], folder, std::max(rounds, 1));
  }
  test::ScopedTempDir temp;
  std::wstring package = temp.Child(L"package.zip");
  if (!WritePackage(package)) return 1;
  return RunRounds(package, temp.Child(L"out\\"), 3);
}
