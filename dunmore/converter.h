// Conversion of cast files: parsing one file into the report set, and converting a list of files
// into one CSV file.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "dunmore/conversion_progress.h"
#include "dunmore/report_set.h"

namespace dunmore {

/// Where a conversion's messages go.
struct ConvertOutput {
  std::FILE* out = stdout;       ///< diagnostic lines and the bytes no scanner rule matches
  std::FILE* err = stderr;       ///< scanner and parser errors, with file name and line
  std::FILE* listing = nullptr;  ///< the listing lines; null discards them
  /// Told how convertReports goes; null tells nobody.
  ProgressListener* progress = nullptr;
};

enum class ParseResult {
  kParsed,     ///< a valid cast file, read to its end
  kNotOpened,  ///< the file could not be opened (or was already being read)
  kFailed,     ///< the file stopped at an error; the reports before it were kept
};

/// Parses one cast file, appending its reports to `set`.
ParseResult parseCastFile(const std::string& name, ReportSet& set,
                          const ConvertOutput& output = ConvertOutput());

/// As parseCastFile, for a stream opened by the caller (it is closed here); `name` is the name
/// messages give.
ParseResult parseCastStream(std::FILE* stream, const std::string& name, ReportSet& set,
                            const ConvertOutput& output = ConvertOutput());

/// Outcome of a conversion.
struct ConvertResult {
  int parsed = 0;           ///< files that parsed to their end
  int failed = 0;           ///< files that could not be opened or stopped at an error
  bool csvWritten = false;  ///< the CSV file was written completely
};

/// Empties `set`, parses every file in order and then, when `csvName` is not empty, writes the
/// whole report list to it as CSV. A file that fails is reported and the next one is parsed.
ConvertResult convertReports(ReportSet& set, const std::string& csvName,
                             const std::vector<std::string>& reportFiles,
                             const ConvertOutput& output = ConvertOutput());

}  // namespace dunmore
