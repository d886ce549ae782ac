// The runtime's text-file output: path mapping onto drive C, creating,
// printing, closing, and the error numbers of each refusal; the errors raised,
// and the checked arithmetic that raises overflow.
#include "runtime/text_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "platform/checked.h"
#include "platform/error.h"
#ifndef _WIN32
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/harness/file_size_limit.h"
#endif

namespace fs = std::filesystem;

namespace {

class TextFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path dir =
        fs::temp_directory_path() / ("quillon-text-" + std::to_string(std::random_device()()));
    ASSERT_TRUE(fs::create_directory(dir));
    root = dir.string();
  }
  void TearDown() override { fs::remove_all(root); }
  std::string Read(const std::string& name) const {
    std::ifstream in(fs::path(root) / name, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
  }
  std::string root;
};

// Each row: a path as the program writes it, and where it goes below drive
// C's root, or the error that refuses it (leaving the host path empty).
TEST(TextFilePaths, MapBelowDriveCOrAreRefused) {
  // clang-format off
  const struct {
    const char* path;
    const char* mapped;
    std::int32_t error;
  } rows[] = {
      {"C:\\FPS.TXT", "/r/FPS.TXT", 0},
      {"c:\\logs\\run.txt", "/r/logs/run.txt", 0},
      {"C:/a//b/./c.txt", "/r/a/b/c.txt", 0},
      {"\\FPS.TXT", "/r/FPS.TXT", 0},
      {"FPS.TXT", "/r/FPS.TXT", 0},
      {"C:FPS.TXT", "/r/FPS.TXT", 0},
      {"D:\\FPS.TXT", "", ErrPathNotFound},
      {"\\\\host\\share\\f", "", ErrPathNotFound},
      {"C:\\..\\etc\\passwd", "", ErrPathFileAccess},
      {"C:\\logs\\..\\FPS.TXT", "", ErrPathFileAccess},
      {"..", "", ErrPathFileAccess},
      {"C:\\", "", ErrPathFileAccess},
      {"C:", "", ErrPathFileAccess},
      {"C:\\logs\\", "", ErrPathFileAccess},
      {"", "", ErrBadFileName},
      {"C:\\a?.txt", "", ErrBadFileName},
      {"C:\\a:b", "", ErrBadFileName},
      {"C:\\a\nb", "", ErrBadFileName},
  };
  // clang-format on
  for (const auto& r : rows) {
    std::string host;
    EXPECT_EQ(TextFiles::MapPath(r.path, "/r", host), r.error) << r.path;
    std::replace(host.begin(), host.end(), '\\', '/');  // Windows' separator
    EXPECT_EQ(host, r.mapped) << r.path;
  }
}

// Open creates or empties, each line is on disk at once, numbers are the
// lowest free, a path open twice is refused, and CloseAll keeps the lines.
TEST_F(TextFilesTest, OpenPrintAndCloseWithTheLowestFreeNumbers) {
  { std::ofstream(fs::path(root) / "FPS.TXT") << "old content"; }
  TextFiles files(root);
  std::int32_t a = 0, b = 0, c = 0, again = -1;
  ASSERT_EQ(files.OpenForOutput("C:\\FPS.TXT", a), 0);
  EXPECT_EQ(Read("FPS.TXT"), "");
  ASSERT_EQ(files.PrintLine(a, "60"), 0);
  ASSERT_EQ(files.PrintLine(a, ""), 0);
  EXPECT_EQ(Read("FPS.TXT"), "60\r\n\r\n");  // flushed, before any close
  ASSERT_EQ(files.OpenForOutput("C:\\B.TXT", b), 0);
  EXPECT_EQ(files.OpenForOutput("c:/FPS.TXT", again), ErrFileAlreadyOpen);
  EXPECT_EQ(again, -1);
  EXPECT_EQ(a * 10 + b, 12);
  ASSERT_EQ(files.Close(a), 0);
  EXPECT_FALSE(files.IsOpen(a));
  EXPECT_EQ(files.PrintLine(a, "late"), ErrBadFileNameOrNumber);
  EXPECT_EQ(files.Close(a), 0);  // closing what is not open does nothing
  ASSERT_EQ(files.OpenForOutput("C:\\C.TXT", c), 0);
  EXPECT_EQ(c, 1);
  ASSERT_EQ(files.PrintLine(b, "two"), 0);
  files.CloseAll();
  EXPECT_FALSE(files.IsOpen(b) || files.IsOpen(c));
  EXPECT_EQ(Read("B.TXT"), "two\r\n");
}

TEST_F(TextFilesTest, AtMost511FilesAreOpenAtOnceAndClosedHoldNoDescriptor) {
  const auto descriptors = [] {
#ifdef _WIN32
    return 0;
#else
    return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator{});
#endif
  };
  const auto before = descriptors();
  TextFiles files(root);
  std::int32_t n = 0;
  for (int i = 1; i <= 511; ++i) {
    ASSERT_EQ(files.OpenForOutput("C:\\F" + std::to_string(i), n), 0);
    ASSERT_EQ(n, i);
  }
  EXPECT_EQ(files.OpenForOutput("C:\\ONE.MORE", n), ErrTooManyFiles);
  EXPECT_FALSE(fs::exists(fs::path(root) / "ONE.MORE"));
  files.CloseAll();
  EXPECT_EQ(descriptors(), before);  // (each open also opens, and must close, the folder)
}

#ifndef _WIN32
// Host failures become the runtime's error numbers; what drive C holds under
// the log's name must never lead a write elsewhere or block the program.
// (Wine cannot plant links or FIFOs: tests/windows/hostile_log.sh does.)
TEST_F(TextFilesTest, RefusesMissingFoldersLinksAndFifos) {
  const fs::path outside = fs::path(root) / "outside";
  const fs::path drive = fs::path(root) / "c";
  fs::create_directories(drive / "real");
  { std::ofstream(outside) << "keep"; }
  fs::create_symlink(outside, drive / "LINK.TXT");
  fs::create_symlink(fs::path(root) / "nowhere", drive / "DANGLING.TXT");
  fs::create_directory_symlink(fs::path(root), drive / "up");
  fs::create_hard_link(outside, drive / "HARD.TXT");
  ASSERT_EQ(::mkfifo((drive / "PIPE.TXT").c_str(), 0600), 0);
  TextFiles files(drive.string());
  // clang-format off
  const std::string link = "it is a symbolic link, which is never followed";
  const std::string hard = "it has other names (hard links), which emptying it would empty too";
  const struct { const char* path; std::int32_t error; std::string problem; } rows[] = {
      {"C:\\missing\\FPS.TXT", ErrPathNotFound, ""}, {"C:\\real", ErrPathFileAccess, ""},
      {"C:\\LINK.TXT", ErrPathFileAccess, link}, {"C:\\DANGLING.TXT", ErrPathFileAccess, link},
      {"C:\\up\\outside", ErrPathFileAccess, ""}, {"C:\\PIPE.TXT", ErrPathFileAccess, ""},
      {"C:\\HARD.TXT", ErrPathFileAccess, hard}};
  // clang-format on
  for (const auto& r : rows) {
    std::int32_t n = -1;
    EXPECT_EQ(files.OpenForOutput(r.path, n), r.error) << r.path;
    EXPECT_FALSE(files.Problem().empty()) << r.path;
    if (!r.problem.empty()) {
      EXPECT_EQ(files.Problem(), r.problem) << r.path;
    }
    EXPECT_EQ(n, -1);
  }
  EXPECT_EQ(Read("outside"), "keep");
  EXPECT_FALSE(fs::exists(fs::path(root) / "nowhere"));
  if (::geteuid() != 0) {  // permissions do not bind the superuser
    fs::permissions(drive / "real", fs::perms::owner_read | fs::perms::owner_exec);
    std::int32_t m = -1;
    EXPECT_EQ(files.OpenForOutput("C:\\real\\other.txt", m), ErrPathFileAccess);
    fs::permissions(drive / "real", fs::perms::owner_all);
  }
}
#endif

// A second writer is refused, in plain words, and the first one's lines stay
// whole; once the first has closed the file, the second may have it.
TEST_F(TextFilesTest, ASecondWriterIsRefusedAndTheFirstOnesLinesStay) {
  TextFiles files(root), other(root);
  std::int32_t first = 0, second = -1;
  ASSERT_EQ(files.OpenForOutput("C:\\FPS.TXT", first), 0);
  ASSERT_EQ(files.PrintLine(first, "60"), 0);
  EXPECT_EQ(other.OpenForOutput("C:\\FPS.TXT", second), ErrPermissionDenied);
  EXPECT_EQ(other.Problem(), "another program is writing it");
  EXPECT_EQ(Read("FPS.TXT"), "60\r\n");
  ASSERT_EQ(files.Close(first), 0);
  EXPECT_EQ(other.OpenForOutput("C:\\FPS.TXT", second), 0);
}
#ifndef _WIN32

TEST_F(TextFilesTest, ALineIsWrittenWholeOrNotAtAllWhenTheDiskFills) {
  // Room for 10 bytes: the first line (6) fits, the second would end at 12
  // and is refused although the system would take 4 of its bytes; a shorter
  // one after it still fits.
  const std::string results = test_helpers::UnderFileSizeLimit(10, [&] {
    TextFiles files(root);
    std::int32_t n = 0;
    std::string r = std::to_string(files.OpenForOutput("C:\\FPS.TXT", n));
    for (const char* line : {"1234", "5678", "9"})
      r += " " + std::to_string(files.PrintLine(n, line));
    return r;
  });
  EXPECT_EQ(results, "0 0 " + std::to_string(ErrDiskFull) + " 0");
  EXPECT_EQ(Read("FPS.TXT"), "1234\r\n9\r\n");
}

// Without QUILLON_DRIVE_C, drive C is the per-user data folder (made on the
// first open: tests/e2e/readme_examples.sh): XDG_DATA_HOME's when absolute,
// else HOME's, else the password database's home, never "./".
TEST_F(TextFilesTest, DefaultDriveCIsThePerUserDataFolder) {
  const char* oldData = std::getenv("XDG_DATA_HOME");
  const char* oldHome = std::getenv("HOME");
  const std::string saved = oldData ? oldData : "", home = oldHome ? oldHome : "";
  const passwd* user = ::getpwuid(::getuid());
  const std::string local = "/.local/share/quillon/drive_c";
  // clang-format off
  const struct { const char *data, *home; std::string drive; } rows[] = {
      {root.c_str(), "/home/someone", root + "/quillon/drive_c"},
      {"relative/ignored", "/home/someone", "/home/someone" + local},
      {nullptr, nullptr, user ? user->pw_dir + local : ""},
  };
  // clang-format on
  const auto set = [](const char* name, const char* value) {
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  };
  ::unsetenv("QUILLON_DRIVE_C");
  for (const auto& r : rows) {
    set("XDG_DATA_HOME", r.data);
    set("HOME", r.home);
    EXPECT_EQ(TextFiles::DefaultDriveC(), r.drive) << (r.data ? r.data : "");
    EXPECT_EQ(TextFiles().DescribeDriveC(),
              r.drive + ", the default when QUILLON_DRIVE_C is unset");
  }
  set("HOME", home.c_str());
  set("XDG_DATA_HOME", oldData ? saved.c_str() : nullptr);
}

#endif

// Raise: the error it throws is also the pending one, and its description is
// the given text, else the number's own with a detail noted for that number
// (the drive C file a refusal was about).
TEST(Raise, MakesThePendingErrorWithItsDescription) {
  // clang-format off
  const struct { std::int32_t noted; const char* detail; std::int32_t number; const char* given;
                 std::string description; } rows[] = {
      {0, "", ErrDiskFull, "", "Disk full"},
      {ErrDiskFull, "/drive_c/FPS.TXT", ErrDiskFull, "", "Disk full: /drive_c/FPS.TXT"},
      {ErrPathNotFound, "/drive_c/x", ErrDiskFull, "", "Disk full"},  // another number's
      {ErrDiskFull, "", ErrDiskFull, "", "Disk full"},
      {ErrDiskFull, "/drive_c/FPS.TXT", ErrDiskFull, "given", "given"},
  };
  // clang-format on
  for (const auto& r : rows) {
    SCOPED_TRACE(r.description);
    NoteErrorDetail(r.noted, r.detail);
    try {
      Raise(r.number, "Source", r.given);
      FAIL() << "nothing raised";
    } catch (const RuntimeError& e) {
      EXPECT_EQ(e.Number, r.number);
      EXPECT_EQ(e.Description, r.description);
    }
    EXPECT_EQ(Err().Number, r.number);
    EXPECT_EQ(Err().Source, "Source");
    EXPECT_EQ(Err().Description, r.description);
  }
}

// Each row: an operation at or just past a bound, and its result, or NaN for
// the overflow error. Integer conversions round halves to even.
TEST(CheckedArithmetic, OverflowJustPastEachBound) {
  constexpr double kOverflow = NAN;
  constexpr std::int32_t kMax = INT32_MAX, kMin = INT32_MIN;
  // clang-format off
  const struct { const char* what; std::function<double()> op; double want; } rows[] = {
      {"add", [] { return AddChecked(kMax - 1, 1); }, kMax}, {"add", [] { return AddChecked(kMax, 1); }, kOverflow},
      {"sub", [] { return SubChecked(kMin + 1, 1); }, kMin}, {"sub", [] { return SubChecked(kMin, 1); }, kOverflow},
      {"mul", [] { return MulChecked(-65536, 32768); }, kMin}, {"mul", [] { return MulChecked(65536, 32768); }, kOverflow},
      {"single", [] { return ToSingleChecked(0x1.fffffep127); }, 0x1.fffffep127}, {"single", [] { return ToSingleChecked(1e39); }, kOverflow},
      {"single", [] { return ToSingleChecked(NAN); }, kOverflow},
      {"int", [] { return CIntChecked(2.5); }, 2}, {"int", [] { return CIntChecked(-3.5); }, -4},
      {"int", [] { return CIntChecked(32767.49); }, 32767}, {"int", [] { return CIntChecked(32767.5); }, kOverflow},
      {"int", [] { return CIntChecked(-32768.5); }, -32768}, {"int", [] { return CIntChecked(-32768.51); }, kOverflow},
      {"int", [] { return CIntChecked(NAN); }, kOverflow},
      {"long", [] { return CLngChecked(2147483647.49); }, kMax}, {"long", [] { return CLngChecked(2147483647.5); }, kOverflow},
      {"long", [] { return CLngChecked(-2147483648.5); }, kMin}, {"long", [] { return CLngChecked(-2147483648.51); }, kOverflow},
  };
  // clang-format on
  for (const auto& r : rows) {
    try {
      const double got = r.op();
      EXPECT_EQ(got, r.want) << r.what;  // NaN: none raised
    } catch (const RuntimeError& e) {
      EXPECT_TRUE(e.Number == ErrOverflow && std::isnan(r.want)) << r.what << " " << r.want;
    }
  }
}

}  // namespace
