// The cast grammar's parser: reads one file's tokens and drives a ReportBuilder.
#pragma once

namespace dunmore {

class CastScanner;
class ReportBuilder;

/// States the parser's stack can hold.
#ifndef CAST_PARSER_STACK_DEPTH
#define CAST_PARSER_STACK_DEPTH 150
#endif
constexpr int kParserStackDepth = CAST_PARSER_STACK_DEPTH;

/// Parses the scanner's input to its end. Returns 0 when it is a valid cast file (the summary
/// has then been listed) and 1 after a syntax error, a stack overflow or a scanner failure, each
/// reported through the scanner. Reports completed before a failure stay in the set; there is no
/// recovery, the rest of the file is not read.
int parseCast(CastScanner& scanner, ReportBuilder& builder);

}  // namespace dunmore
