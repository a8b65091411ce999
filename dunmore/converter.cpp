#include "dunmore/converter.h"

#include <optional>

#include "dunmore/cast_parser.h"
#include "dunmore/cast_scanner.h"
#include "dunmore/csv_writer.h"
#include "dunmore/report_builder.h"

namespace dunmore {

namespace {

ParseResult parsePushed(CastScanner& scanner, ReportSet& set, const ConvertOutput& output) {
  ReportBuilder builder(set, output.listing);
  const int result = parseCast(scanner, builder);
  if (result == 0) return ParseResult::kParsed;
  std::fprintf(output.out, "Problem in parce.  yyparse returned %d\n", result);
  return ParseResult::kFailed;
}

ParseResult notOpened(const std::string& name, const ConvertOutput& output) {
  std::fprintf(output.out, "Problem in parce. Could not open %s\n", name.c_str());
  return ParseResult::kNotOpened;
}

/// parseCastFile, with the bytes read counted by `meter` when there is one.
ParseResult parseMetered(const std::string& name, ReportSet& set, const ConvertOutput& output,
                         ProgressMeter* meter) {
  CastScanner scanner(output.out, output.err);
  if (meter != nullptr) scanner.observeReads([meter](std::size_t bytes) { meter->read(bytes); });
  if (!scanner.pushFile(name)) return notOpened(name, output);
  return parsePushed(scanner, set, output);
}

}  // namespace

ParseResult parseCastFile(const std::string& name, ReportSet& set, const ConvertOutput& output) {
  return parseMetered(name, set, output, nullptr);
}

ParseResult parseCastStream(std::FILE* stream, const std::string& name, ReportSet& set,
                            const ConvertOutput& output) {
  CastScanner scanner(output.out, output.err);
  if (!scanner.pushStream(stream, name)) return notOpened(name, output);
  return parsePushed(scanner, set, output);
}

ConvertResult convertReports(ReportSet& set, const std::string& csvName,
                             const std::vector<std::string>& reportFiles,
                             const ConvertOutput& output) {
  set.clear();
  ConvertResult result;
  std::optional<ProgressMeter> meter;
  if (output.progress != nullptr) meter.emplace(reportFiles, *output.progress);
  for (const std::string& name : reportFiles) {
    if (parseMetered(name, set, output, meter ? &*meter : nullptr) == ParseResult::kParsed)
      ++result.parsed;
    else
      ++result.failed;
    if (meter) meter->fileDone();
  }
  if (!csvName.empty()) result.csvWritten = writeCsv(csvName, set);
  if (meter) meter->finish();
  return result;
}

}  // namespace dunmore
