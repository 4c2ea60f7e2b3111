// The quality map's states: one letter per signal and epoch in the JSON, one
// colour and one label each. The archive page draws with this table, and the
// window's map is meant to include it too, so both look alike. Colours come
// from Okabe and Ito's palette for colour-blind readers and also differ in
// lightness, so no two states are told apart by red against green alone.
// Plain C++: no Qt.
#pragma once

#include <array>

struct TQualityState {
  char Letter;         // as in the JSON map string
  const char* Colour;  // #RRGGBB
  const char* Label;   // the legend's text
};

// Worst first, as the map picks one state per epoch.
inline constexpr std::array<TQualityState, 7> QualityStates = {{
    {'r', "#D55E00", "out of range"},  // vermillion
    {'c', "#E69F00", "clipped"},       // orange, lighter than out of range
    {'f', "#0072B2", "flat"},          // blue
    {'t', "#000000", "tail or dead"},  // no signal at all: black
    {'g', "#777777", "gap"},           // no record covers the epoch
    {'.', "#8FD1BC", "good"},          // pale bluish green, light beside every fault
    {'-', "#DDDDDD", "not judged"},
}};

// The state of a letter; nullptr for a letter the map does not use.
constexpr const TQualityState* FindQualityState(char Letter) {
  for (const TQualityState& S : QualityStates)
    if (S.Letter == Letter) return &S;
  return nullptr;
}
