#include "shell/sequence_guess.h"

#include <set>

namespace v3d::shell {
namespace {

// A file name cut around its frame field.
struct Parts {
  std::string stem, field, rest;
};

std::optional<Parts> split(const std::string& name) {
  std::size_t dot = name.find('.');
  if (dot == std::string::npos) dot = name.size();
  std::size_t start = dot;
  while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9') --start;
  if (start == dot || dot - start > 9) return std::nullopt;
  return Parts{name.substr(0, start), name.substr(start, dot - start), name.substr(dot)};
}

bool zeroPadded(const std::string& field) {
  return field.size() > 1 && field[0] == '0';
}

}  // namespace

std::optional<SequenceGuess> guessSequence(const std::string& clicked,
                                           const std::vector<std::string>& folder) {
  const auto own = split(clicked);
  if (!own) return std::nullopt;
  const bool padded = zeroPadded(own->field);
  std::set<int> frames;
  for (const std::string& name : folder) {
    const auto p = split(name);
    if (!p || p->stem != own->stem || p->rest != own->rest) continue;
    // One way of writing the numbers: a padded sequence has one width, a plain one none of
    // its numbers padded.
    if (padded ? p->field.size() != own->field.size() : zeroPadded(p->field)) continue;
    frames.insert(std::stoi(p->field));
  }
  const int frame = std::stoi(own->field);
  frames.insert(frame);
  SequenceGuess g{frame, frame, padded ? static_cast<int>(own->field.size()) : 0};
  while (g.lower > 0 && frames.count(g.lower - 1) != 0) --g.lower;
  while (frames.count(g.upper + 1) != 0) ++g.upper;
  return g;
}

}  // namespace v3d::shell
