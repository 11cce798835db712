// One whole run of the log report after its arguments are read: find and read the files of
// the period, judge them, and write the HTML page and the CSV file when asked.
#pragma once

#include "config/Result.h"
#include "logreport/Options.h"

#include <string>

namespace logreport {

struct RunOutcome {
  Result result;     // a failure when a folder or file could not be read or written (exit status 1)
  std::string text;  // the text report, for standard output
};

// now: the local time, so that a day not over yet ends at it.
[[nodiscard]] RunOutcome RunReport(const Options& options, const FolderChoice& defaultFolder, Seconds now);

}  // namespace logreport
