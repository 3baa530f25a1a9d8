// The word a user most likely meant, for "did you mean" in quelm-sim's messages.
#pragma once

#include <stddef.h>

#include <string>
#include <string_view>
#include <vector>

namespace quelm::sim {

// Edits (insert, delete, replace one character) between two words, letters compared without regard
// to case.
size_t EditDistance(std::string_view left, std::string_view right);

// The candidate nearest to `typed`, if it is near enough to be a slip of the keyboard (at most a
// third of its letters off, and never more than three); empty otherwise.
std::string NearestWord(std::string_view typed, const std::vector<std::string>& candidates);

// " (did you mean X?)" for the nearest word, or "".
std::string DidYouMean(std::string_view typed, const std::vector<std::string>& candidates);

}  // namespace quelm::sim
