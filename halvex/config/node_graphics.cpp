#include "halvex/config/node_graphics.h"

#include <cctype>

#include "halvex/config/field_file.h"
#include "halvex/core/config_words.h"

namespace {

constexpr int kFieldsPerLine = 15;

NodeIconKind kindOf(const std::string& word) {
  switch (std::toupper(static_cast<unsigned char>(word.empty() ? '\0' : word[0]))) {
    case 'D':
      return NodeIconKind::Default;
    case 'T':
      return NodeIconKind::Target;
    case 'C':
      return NodeIconKind::Chase;
    case 'P':
      return NodeIconKind::Proximity;
    case 'I':
      return NodeIconKind::Individual;
    default:
      return NodeIconKind::Unused;
  }
}

/// The integer read from character `from` of word on; 0 when the word is shorter.
int numberFrom(const std::string& word, std::size_t from) {
  return from < word.size() ? config::leadingInt(word.c_str() + from) : 0;
}

double numberField(const FieldFile& file, int k) {
  double value = 0.0;
  file.fieldDouble(k, value);
  return value;
}

}  // namespace

bool NodeGraphics::read(const std::string& path) {
  path_ = path;
  definitions_.clear();
  individuals_.clear();
  FieldFile file(path, kFieldsPerLine);
  int proximityLines = 0;
  for (int i = 0; i < file.lineCount(); ++i) {
    file.selectLine(i);
    NodeIconDef def;
    file.fieldText(0, def.kindWord);
    def.kind = kindOf(def.kindWord);
    if (def.kind == NodeIconKind::Proximity) {
      def.number = numberFrom(def.kindWord, 4);
      ++proximityLines;
    } else if (def.kind == NodeIconKind::Individual) {
      def.number = numberFrom(def.kindWord, 2);
    }
    file.fieldText(1, def.imagePath);
    for (int s = 0; s < NodeIconDef::kStatusCount; ++s) {
      NodeIconLook& look = def.look[s];
      look.size = numberField(file, 2 + s);
      look.red = numberField(file, 5 + 3 * s);
      look.green = numberField(file, 6 + 3 * s);
      look.blue = numberField(file, 7 + 3 * s);
    }
    std::string label;
    def.numberLabel = file.fieldText(14, label) && config::sameWord(label, "on");
    definitions_.push_back(std::move(def));
  }

  roles_.assign(static_cast<std::size_t>(kFixedRolePlaces + proximityLines), -1);
  for (int i = 0; i < static_cast<int>(definitions_.size()); ++i) {
    const NodeIconDef& def = definitions_[static_cast<std::size_t>(i)];
    switch (def.kind) {
      case NodeIconKind::Default:
        roles_[0] = i;
        break;
      case NodeIconKind::Target:
        roles_[1] = i;
        break;
      case NodeIconKind::Chase:
        roles_[2] = i;
        break;
      case NodeIconKind::Proximity:
        // A rank outside 1..10 has no place; the definition stays in the default list only.
        if (def.number >= 1 && def.number <= kMaxProximityRank) {
          roles_[static_cast<std::size_t>(def.number + 2)] = i;
        }
        break;
      case NodeIconKind::Individual:
        individuals_.push_back(i);
        break;
      case NodeIconKind::Unused:
        break;
    }
  }
  return file.opened();
}

const NodeIconDef* NodeGraphics::role(int place) const {
  if (place < 0 || place >= roleCount()) return nullptr;
  const int index = roles_[static_cast<std::size_t>(place)];
  return index < 0 ? nullptr : &definitions_[static_cast<std::size_t>(index)];
}

std::vector<const NodeIconDef*> NodeGraphics::individuals() const {
  std::vector<const NodeIconDef*> list;
  list.reserve(individuals_.size());
  for (int index : individuals_) list.push_back(&definitions_[static_cast<std::size_t>(index)]);
  return list;
}

const NodeIconDef* NodeGraphics::individualFor(int id) const {
  for (auto it = individuals_.rbegin(); it != individuals_.rend(); ++it) {
    const NodeIconDef& def = definitions_[static_cast<std::size_t>(*it)];
    if (def.number == id) return &def;
  }
  return nullptr;
}
