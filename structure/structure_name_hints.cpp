// The closest structure names by edit distance, and the message that
// offers them.
#include "structure/structure_name_hints.hpp"

#include <algorithm>
#include <utility>

#include "runtime/printable.hpp"

namespace xrd {

namespace {

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

std::string Lowercase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// The number of single-character insertions, deletions and substitutions
// that turn `a` into `b`.
std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::vector<std::string> ClosestStructureNames(std::string_view name, const std::vector<std::string>& structures) {
  const std::string wanted = Lowercase(name.substr(0, 64));
  std::vector<std::pair<std::size_t, std::string>> ranked;
  for (const std::string& structure : structures) ranked.emplace_back(EditDistance(wanted, Lowercase(structure)), structure);
  std::stable_sort(ranked.begin(), ranked.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
  std::vector<std::string> closest;
  for (std::size_t i = 0; i < ranked.size() && i < 3; ++i) closest.push_back(ranked[i].second);
  return closest;
}

std::string MissingStructureMessage(const DataFiles& files, const std::string& name, const std::string& file_name) {
  std::string message = "structure " + Quote(name) + ": no structure file " + Printable(files.directory()) + "/" +
                        Printable(file_name);
  if (!name.empty() && (IsBlankOrTab(name.front()) || IsBlankOrTab(name.back()))) {
    message += " (the name has leading or trailing blanks or tabs, which belong to it)";
  }
  std::vector<std::string> structures;
  for (const std::string& stf : files.NamesEndingIn(".stf")) structures.push_back(stf.substr(0, stf.size() - 4));
  const std::vector<std::string> closest = ClosestStructureNames(name, structures);
  if (closest.empty()) return message + "; the data directory holds no structure files";
  message += "; closest structures:";
  for (std::size_t i = 0; i < closest.size(); ++i) message += (i ? ", " : " ") + closest[i];
  return message;
}

}  // namespace xrd
