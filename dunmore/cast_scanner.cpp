#include "dunmore/cast_scanner.h"

#include <algorithm>
#include <cstdarg>

#include "cast_grammar.tab.h"
#include "cast_scanner.lex.h"

namespace dunmore {

namespace {

/// Bytes read from a file at a time.
constexpr int kReadSize = 64 * 1024;

/// Length of a partly matched token past which it cannot end short of the token buffer size:
/// no rule reads more than four characters beyond its longest match. Reading stops there, since
/// growing a token without end costs time in the square of its length.
constexpr std::size_t kRunawayToken = 2 * CastScanner::kTokenBufferSize;

}  // namespace

CastScanner::CastScanner(std::FILE* out, std::FILE* err) : out_(out), err_(err) {
  yyscan_t flex = nullptr;
  if (castscanlex_init_extra(this, &flex) != 0) {
    std::fprintf(err_, "%d: No space for scanner!\n", line_);
    return;
  }
  castscanset_out(out_, flex);
  flex_ = flex;
}

CastScanner::~CastScanner() {
  // The matching state holds buffers over the files' streams: it goes first.
  if (flex_) castscanlex_destroy(static_cast<yyscan_t>(flex_));
}

bool CastScanner::pushFile(const std::string& name) {
  if (refuseRecursion(name)) return false;
  std::FILE* stream = std::fopen(name.c_str(), "rb");
  if (!stream) {
    reportError("Unable to open file ||%s||\n", name.c_str());
    return false;
  }
  return pushStream(stream, name);
}

bool CastScanner::refuseRecursion(const std::string& name) {
  const long found = files_.find(name);
  if (found < 0) return false;
  reportError("Can not recursively include cast files\n");
  reportError("\tFile:\t%s ", files_.at(static_cast<std::size_t>(found)).name.c_str());
  for (std::size_t i = static_cast<std::size_t>(found) + 1; i < files_.size(); ++i)
    reportError("calls %s ", files_.at(i).name.c_str());
  reportError("calls %s again!\n\n", name.c_str());
  reportError("File: %s skipped\n\n", name.c_str());
  return true;
}

bool CastScanner::pushStream(std::FILE* stream, const std::string& name) {
  if (refuseRecursion(name)) {
    if (stream) std::fclose(stream);
    return false;
  }
  if (!stream) {
    reportError("Unable to open file ||%s||\n", name.c_str());
    return false;
  }
  if (!flex_) {
    std::fclose(stream);
    return false;
  }
  if (!files_.empty()) files_.top().resumeLine = line_ + 1;
  line_ = 0;
  pendingLines_ = 0;
  files_.push(stream, name);
  const auto flex = static_cast<yyscan_t>(flex_);
  castscanpush_buffer_state(castscan_create_buffer(stream, kReadSize, flex), flex);
  return true;
}

bool CastScanner::popFile() {
  if (files_.size() <= 1) return false;
  castscanpop_buffer_state(static_cast<yyscan_t>(flex_));
  files_.pop();
  line_ = files_.top().resumeLine;
  pendingLines_ = 0;
  std::fprintf(out_, "\n#\tReturn to file %s line %d\n", files_.top().name.c_str(), line_);
  return true;
}

int CastScanner::next(std::string_view& value) {
  if (!flex_ || files_.empty()) return 0;
  const int token = castscanlex(static_cast<yyscan_t>(flex_));
  value = token > 0 ? value_ : std::string_view();
  return token;
}

void CastScanner::reportError(const char* format, ...) {
  if (line_ != 0)
    std::fprintf(err_, "%s: %d: ", files_.empty() ? "" : files_.top().name.c_str(), line_);
  va_list args;
  va_start(args, format);
  std::vfprintf(err_, format, args);
  va_end(args);
  std::fputc('\n', err_);
}

bool CastScanner::beginToken(const char* text, int length) {
  line_ += pendingLines_;
  pendingLines_ = static_cast<int>(std::count(text, text + length, '\n'));
  if (length >= kTokenBufferSize) {
    reportError("Token buffer overflow");
    return false;
  }
  return true;
}

int CastScanner::setValue(int token, const char* text, std::size_t length) {
  std::string& slot = values_[nextValue_];
  nextValue_ = (nextValue_ + 1) % values_.size();
  slot.assign(text, std::min(length, kMaxTokenText));
  value_ = slot;
  return token;
}

int CastScanner::dateTimeGroup(const char* text, int length) {
  phase_ = kAfterDtg;
  onCount_ = 0;
  atCount_ = 0;
  return setValue(CAST_DTG, text, static_cast<std::size_t>(length));
}

int CastScanner::zone(const char* text, int length) {
  phase_ = kAfterZone;
  return setValue(CAST_ZONE, text, static_cast<std::size_t>(length));
}

int CastScanner::word(const char* text, int length) {
  const auto size = static_cast<std::size_t>(length);
  switch (phase_) {
    case kBeforeFirstReport:
      std::fputs("String ImNONE error\n", out_);
      return kIgnored;
    case kAfterDtg:
    case kAfterZoneWord:
      phase_ = kActionWords;
      return setValue(CAST_ACTION_WORD, text, size);
    case kAfterZone:
      phase_ = kAfterZoneWord;
      return setValue(CAST_WORD, text, size);
    case kActionWords:
      return setValue(CAST_ACTION_WORD, text, size);
    case kAfterOnFirst:
    case kAfterOnSecond:
    case kAfterAtFirst:
    case kAfterAtSecond:
      return setValue(CAST_WORD, text, size);
    case kComment:
      return setValue(CAST_COMMENT_WORD, text, size);
    default:
      std::fputs("String default error\n", out_);
      return kIgnored;
  }
}

int CastScanner::keyword(int& count, int firstPhase, int firstToken, int secondToken) {
  const int seen = count++;
  if (seen == 0) {
    phase_ = firstPhase;
    return firstToken;
  }
  phase_ = firstPhase + 1;
  return seen == 1 ? secondToken : kIgnored;
}

CastScanner::Part CastScanner::part() const {
  if (phase_ >= kBeforeFirstReport && phase_ < kActionWords) return Part::kHead;
  if (phase_ >= kActionWords && phase_ < kComment) return Part::kBody;
  return phase_ == kComment ? Part::kComment : Part::kInvalid;
}

int CastScanner::onKeyword(const char* text, int length) {
  switch (part()) {
    case Part::kHead:
      return kIgnored;
    case Part::kBody: {
      const int token = keyword(onCount_, kAfterOnFirst, CAST_ON_FIRST, CAST_ON_SECOND);
      return token == kIgnored ? token : setValue(token, text, static_cast<std::size_t>(length));
    }
    case Part::kComment:
      return setValue(CAST_COMMENT_WORD, "on", 2);
    case Part::kInvalid:
      break;
  }
  std::fputs("'on' default error\n", out_);
  return kIgnored;
}

int CastScanner::atKeyword(const char* text, int length) {
  const auto size = static_cast<std::size_t>(length);
  switch (part()) {
    case Part::kHead:
      return kIgnored;
    case Part::kBody: {
      const int token = keyword(atCount_, kAfterAtFirst, CAST_AT_FIRST, CAST_AT_SECOND);
      return token == kIgnored ? token : setValue(token, text, size);
    }
    case Part::kComment:
      // The keyword stays in the comment as written, blanks included.
      return setValue(CAST_COMMENT_WORD, text, size);
    case Part::kInvalid:
      break;
  }
  std::fputs("'at' default error\n", out_);
  return kIgnored;
}

int CastScanner::stopMark(const char* text, int length) {
  switch (part()) {
    case Part::kHead:
      return kIgnored;
    case Part::kBody:
      phase_ = kComment;
      return setValue(CAST_STOP, text, static_cast<std::size_t>(length));
    case Part::kComment:
      // Periods and commas are kept in the comment; other marks and line ends are not.
      if (text[0] == '.' || text[0] == ',')
        return setValue(CAST_COMMENT_WORD, text, static_cast<std::size_t>(length));
      return kIgnored;
    case Part::kInvalid:
      break;
  }
  std::fputs("'.' default error\n", out_);
  return kIgnored;
}

void CastScanner::unmatched(char byte) {
  std::fputc(static_cast<unsigned char>(byte), out_);
}

int CastScanner::endOfInput() {
  line_ += pendingLines_;
  pendingLines_ = 0;
  if (readError_) {
    reportError("Unable to read file ||%s||", files_.top().name.c_str());
    readError_ = false;
    return kScanFailedToken;
  }
  if (runaway_) {
    // Not reached: the token cut short is too long and fails first. Kept so that a file whose
    // reading stopped early can never pass for a complete one.
    reportError("Token buffer overflow");
    return kScanFailedToken;
  }
  return popFile() ? kIgnored : 0;
}

std::size_t CastScanner::readInput(std::FILE* stream, char* buffer, std::size_t size,
                                   std::size_t pending) {
  if (pending >= kRunawayToken) {
    runaway_ = true;
    return 0;
  }
  const std::size_t got = std::fread(buffer, 1, size, stream);
  if (got == 0 && std::ferror(stream)) readError_ = true;
  if (got > 0 && readObserver_) readObserver_(got);
  return got;
}

}  // namespace dunmore
