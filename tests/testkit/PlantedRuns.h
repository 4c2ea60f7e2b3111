// Test helper: samples for EdfBytes in which every signal keeps moving (no
// two neighbours equal, far from the digital limits) except where a test
// plants a run of one value, so that the quality pass must find exactly the
// planted runs.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "testkit/EdfBytes.h"

namespace testkit {

// Signal Signal (0-based) holds Value for its samples [From, To), counted
// over the file: record * samples per record + index.
struct Planted {
  int Signal;
  int64_t From, To;
  int32_t Value;
};

// The Sample function of E with Runs planted; later runs win where runs overlap.
std::function<int32_t(int, int, int)> PlantedSamples(const EdfBytes& E, std::vector<Planted> Runs);

// An EDF+D (BDF+D) copy of E: an annotation signal of 30 samples appended,
// record r holding the time-keeping TAL "+" Starts[r] 0x14 0x14 0x00.
EdfBytes Discontinuous(EdfBytes E, std::vector<std::string> Starts);

}  // namespace testkit
