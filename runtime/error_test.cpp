// Raise: the error it throws is also the pending one, and its description is
// the given text, else the number's own with a detail noted for that number.
#include "platform/error.h"

#include <gtest/gtest.h>

namespace {

TEST(Raise, MakesThePendingErrorWithItsDescription) {
  // clang-format off
  const struct {
    std::int32_t noted;
    const char* detail;
    std::int32_t number;
    const char* given;
    std::string description;
  } rows[] = {
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

}  // namespace
