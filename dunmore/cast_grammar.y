/* Grammar of cast report files over the tokens of the cast scanner. A file is a list of
   reports; each report is built as soon as its own rule is reduced. The lists are
   left-recursive, so the parser's stack stays shallow however many reports a file holds. */

%code requires {
#include <string_view>

namespace dunmore {
class CastScanner;
class ReportBuilder;
}  // namespace dunmore
}

%code provides {
namespace dunmore {
/// What the scanner returns when it fails the file: the parser stops without a message of its own.
inline constexpr int kScanFailedToken = CAST_CASTGRAMerror;
}  // namespace dunmore
}

%code {
#include <cstring>

#include "dunmore/cast_parser.h"
#include "dunmore/cast_scanner.h"
#include "dunmore/report_builder.h"

/* A fixed stack of states that never grows: a push past its depth fails the parse with "Parser
   stack overflow". The parser reports a full stack as soon as its last slot is taken, so it gets
   one slot more than the states it may hold. */
#define YYINITDEPTH (CAST_PARSER_STACK_DEPTH + 1)
#define YYMAXDEPTH (CAST_PARSER_STACK_DEPTH + 1)

static int castgramlex(std::string_view* value, dunmore::CastScanner& scanner) {
  return scanner.next(*value);
}

static void castgramerror(dunmore::CastScanner& scanner, dunmore::ReportBuilder&,
                          const char* message) {
  // The parser's only failures are a token it does not allow and a full stack.
  scanner.reportError(std::strcmp(message, "memory exhausted") == 0 ? "Parser stack overflow"
                                                                    : "Syntax error");
}
}

%define api.pure full
%define api.prefix {castgram}
%define api.token.prefix {CAST_}
%define api.value.type {std::string_view}
%param {dunmore::CastScanner& scanner}
%parse-param {dunmore::ReportBuilder& builder}

%token WORD STOP DTG ZONE ACTION_WORD ON_FIRST ON_SECOND AT_FIRST AT_SECOND COMMENT_WORD

%start file
%expect 0

%%

file
  : reports                       { builder.finishFile(); }
  ;

reports
  : report
  | reports report
  ;

report
  : dtg zone body comment         { builder.finishReport(); }
  | dtg body comment              { builder.finishReport(); }
  ;

dtg
  : DTG                           { builder.startReport($1); }
  ;

zone
  : ZONE
  | zone WORD                     { builder.appendWord(dunmore::kZoneField, $2); }
  ;

body
  : actions
  | actions phrases
  ;

actions
  : ACTION_WORD                   { builder.appendWord(dunmore::kActionField, $1); }
  | actions ACTION_WORD           { builder.appendWord(dunmore::kActionField, $2); }
  ;

phrases
  : phrase
  | phrases phrase
  ;

phrase
  : onFirst
  | onSecond
  | atFirst
  | atSecond
  ;

onFirst
  : ON_FIRST
  | onFirst WORD                  { builder.appendWord(dunmore::kOnFirstField, $2); }
  ;

onSecond
  : ON_SECOND
  | onSecond WORD                 { builder.appendWord(dunmore::kOnSecondField, $2); }
  ;

atFirst
  : AT_FIRST
  | atFirst WORD                  { builder.appendWord(dunmore::kAtFirstField, $2); }
  ;

atSecond
  : AT_SECOND
  | atSecond WORD                 { builder.appendWord(dunmore::kAtSecondField, $2); }
  ;

comment
  : STOP
  | comment COMMENT_WORD          { builder.appendCommentWord($2); }
  ;

%%

namespace dunmore {

int parseCast(CastScanner& scanner, ReportBuilder& builder) {
  return castgramparse(scanner, builder) == 0 ? 0 : 1;
}

}  // namespace dunmore
