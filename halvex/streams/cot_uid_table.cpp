#include "halvex/streams/cot_uid_table.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "common/platform/atomic_file.h"
#include "halvex/tracking/node_table.h"

namespace {

bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

/// The line without its leading and trailing blanks.
std::string trimmed(const std::string& line) {
  size_t first = 0;
  size_t last = line.size();
  while (first < last && blank(line[first])) ++first;
  while (last > first && blank(line[last - 1])) --last;
  return line.substr(first, last - first);
}

/// Reads "ID UID" (already trimmed) into `id` and `uid`.
bool readPair(const std::string& line, int* id, std::string* uid) {
  size_t at = 0;
  long number = 0;
  while (at < line.size() && line[at] >= '0' && line[at] <= '9') {
    number = number * 10 + (line[at] - '0');
    if (number > NodeTable::kMaxId) return false;
    ++at;
  }
  if (at == 0 || at == line.size() || !blank(line[at])) return false;
  while (at < line.size() && blank(line[at])) ++at;
  *uid = line.substr(at);
  *id = static_cast<int>(number);
  return CotUidTable::writable(*uid);
}

}  // namespace

bool CotUidTable::writable(const std::string& uid) {
  if (uid.empty() || uid.size() > kMaxUidBytes) return false;
  for (const char c : uid) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7f) return false;
  }
  return true;
}

bool CotUidTable::load(const std::string& path, std::string* error) {
  path_ = path;
  text_.clear();
  ids_.clear();
  taken_.assign(NodeTable::kMaxId + 1, false);
  auto_ = false;
  pending_ = false;
  failureSaid_ = false;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    if (error != nullptr) *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  // Read whole but bounded, so no line of a stray large file costs more than the limit.
  std::string content(kMaxFileBytes + 1, '\0');
  in.read(&content[0], static_cast<std::streamsize>(content.size()));
  content.resize(static_cast<size_t>(in.gcount()));
  if (content.size() > kMaxFileBytes) {
    if (error != nullptr) *error = path + " is too large";
    return false;
  }
  int number = 0;
  for (size_t start = 0; start < content.size();) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    const std::string line = content.substr(start, end - start);
    start = end + 1;
    ++number;
    text_ += line;
    text_ += '\n';
    const std::string words = trimmed(line);
    if (words.empty() || words[0] == '#') continue;
    if (words == "auto") {
      auto_ = true;
      continue;
    }
    int id = -1;
    std::string uid;
    const char* problem = nullptr;
    if (!readPair(words, &id, &uid)) {
      problem = "is not ID UID";
    } else if (taken_[static_cast<size_t>(id)]) {
      problem = "gives an id a second uid";
    } else if (ids_.count(uid) != 0) {
      problem = "gives a uid a second id";
    }
    if (problem != nullptr) {
      std::fprintf(stderr, "halvex: CoT nodes %s: line %d %s; skipped\n", path.c_str(), number,
                   problem);
      continue;
    }
    ids_.emplace(uid, id);
    taken_[static_cast<size_t>(id)] = true;
  }
  return true;
}

int CotUidTable::assign(const std::string& uid, const NodeTable& table) {
  const auto found = ids_.find(uid);
  if (found != ids_.end()) return found->second;
  if (!auto_ || !writable(uid)) return -1;
  int lowest = -1;
  for (const NodeRecord* node = table.chainHead(); node != nullptr; node = node->next) {
    if (node->id < 0 || node->id >= static_cast<int>(taken_.size())) continue;
    if (taken_[static_cast<size_t>(node->id)]) continue;
    if (lowest < 0 || node->id < lowest) lowest = node->id;
  }
  if (lowest < 0) return -1;
  ids_.emplace(uid, lowest);
  taken_[static_cast<size_t>(lowest)] = true;
  text_ += std::to_string(lowest) + " " + uid + "\n";
  pending_ = true;
  return lowest;
}

bool CotUidTable::writeBack() {
  if (!pending_) return true;
  pending_ = false;
  if (replaceFileAtomically(path_, text_.data(), text_.size(), Durability::kKeep)) return true;
  if (!failureSaid_) {
    failureSaid_ = true;
    std::fprintf(stderr,
                 "halvex: CoT nodes: cannot write %s (%s); new uids are kept until the "
                 "tracker stops\n",
                 path_.c_str(), std::strerror(errno));
  }
  return false;
}

int CotUidTable::idOf(const std::string& uid, const NodeTable& table) {
  const int id = assign(uid, table);
  writeBack();
  return id;
}
