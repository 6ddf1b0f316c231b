// A failure's report: one line on standard error, whatever the server put
// into the names and reasons it carries.
#include <gtest/gtest.h>

#include <cerrno>

#include "portable/result/result.hpp"
#include "tests/support/stderr_capture.hpp"

namespace qor {
namespace {

TEST(ReportFailure, OneLineNamingWhatFailedAndWhy) {
  const test::StderrCapture errors;
  report_failure("transfer of a.dll", failure_from_errno("write /opt/app/a.dll", ENOSPC));
  EXPECT_EQ(errors.text(), "QOR_sync_PRO: transfer of a.dll: write /opt/app/a.dll: No space left on device\n");
}

// A file name or account from the server may hold line breaks; they must
// not split a report, nor pass for a report of their own.
TEST(ReportFailure, LineBreaksAndControlCharactersInTheTextAreWrittenEscaped) {
  const test::StderrCapture errors;
  report_failure("transfer of a\r\nQOR_sync_PRO: all fine", Failure{"log in as qor\nx\t\x1b[2J\x7f"});
  EXPECT_EQ(errors.text(),
            "QOR_sync_PRO: transfer of a\\r\\nQOR_sync_PRO: all fine: log in as qor\\nx\\t\\x1b[2J\\x7f\n");
  EXPECT_EQ(errors.lines().size(), 1u);
}

TEST(ReportFailure, TextThatIsNoControlCharacterStaysAsItIs) {
  const test::StderrCapture errors;
  report_failure(
      "transfer of \xC3\x9C"
      "bersicht.pdf",
      Failure{"a \\ b \"c\""});
  EXPECT_EQ(errors.text(),
            "QOR_sync_PRO: transfer of \xC3\x9C"
            "bersicht.pdf: a \\ b \"c\"\n");
}

}  // namespace
}  // namespace qor
