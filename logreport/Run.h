// One whole run of the log report after its arguments are read: find and read the files of
// the period, judge them, and write the HTML page and the CSV file when asked.
#pragma once

#include "logreport/Options.h"

#include <string>

namespace logreport {

struct RunOutcome {
  // 0; 1 when no report could be made or one of its files could not be written; 3 when the
  // report is written but a day's file in the period could not be read (named in it).
  int status = 0;
  std::string text;   // the text report, for standard output
  std::string error;  // why not, for standard error
};

// now: the local time, so that a day not over yet ends at it.
[[nodiscard]] RunOutcome RunReport(const Options& options, const FolderChoice& defaultFolder, Seconds now);

}  // namespace logreport
