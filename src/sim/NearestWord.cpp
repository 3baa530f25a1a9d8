// Nearest words by edit distance.
#include "sim/NearestWord.h"

#include <algorithm>

#include "config/Text.h"

namespace quelm::sim {

size_t EditDistance(std::string_view left, std::string_view right) {
  std::vector<size_t> row(right.size() + 1);
  for (size_t j = 0; j <= right.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= left.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= right.size(); ++j) {
      const size_t above = row[j];
      const bool same = LowerAscii(left[i - 1]) == LowerAscii(right[j - 1]);
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[right.size()];
}

std::string NearestWord(std::string_view typed, const std::vector<std::string>& candidates) {
  std::string best;
  size_t bestDistance = SIZE_MAX;
  for (const std::string& candidate : candidates) {
    const size_t distance = EditDistance(typed, candidate);
    if (distance < bestDistance) {
      bestDistance = distance;
      best = candidate;
    }
  }
  const size_t allowed = std::min<size_t>(3, std::max<size_t>(1, typed.size() / 3));
  return bestDistance <= allowed ? best : std::string();
}

std::string DidYouMean(std::string_view typed, const std::vector<std::string>& candidates) {
  const std::string nearest = NearestWord(typed, candidates);
  return nearest.empty() ? std::string() : " (did you mean " + nearest + "?)";
}

}  // namespace quelm::sim
