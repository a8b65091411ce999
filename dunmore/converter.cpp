#include "dunmore/converter.h"

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

}  // namespace

ParseResult parseCastFile(const std::string& name, ReportSet& set, const ConvertOutput& output) {
  CastScanner scanner(output.out, output.err);
  if (!scanner.pushFile(name)) return notOpened(name, output);
  return parsePushed(scanner, set, output);
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
  for (const std::string& name : reportFiles) {
    if (parseCastFile(name, set, output) == ParseResult::kParsed)
      ++result.parsed;
    else
      ++result.failed;
  }
  if (!csvName.empty()) result.csvWritten = writeCsv(csvName, set);
  return result;
}

}  // namespace dunmore
