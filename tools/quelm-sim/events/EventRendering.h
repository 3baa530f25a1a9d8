// quelm-sim's output: a run's events as text or JSON, in UTF-8.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "sim/SimCodePage.h"
#include "sim/SimEvents.h"

namespace quelm::tool {

// The run's events, one JSON object per line, or as a person would read them; the machine's texts are
// in `codePage`.
std::string RenderJson(const std::vector<sim::Event>& events, uint32_t codePage = 1252);
std::string RenderText(const std::vector<sim::Event>& events, uint32_t codePage = 1252);

// Texts are in the machine's code page; terminals and JSON want UTF-8.
using sim::ToUtf8;

// A message box's answer as the output names it: "OK" or "CANCEL".
const char* AnswerName(int32_t answer);

}  // namespace quelm::tool
