#include "testkit/PlantedRuns.h"

#include <string>

#include "testkit/PlusBytes.h"

namespace testkit {

std::function<int32_t(int, int, int)> PlantedSamples(const EdfBytes& E, std::vector<Planted> Runs) {
  std::vector<int> PerRecord;
  for (int s = 0; s < static_cast<int>(E.Signals.size()); ++s) PerRecord.push_back(E.SamplesOf(s));
  return [PerRecord, Runs = std::move(Runs)](int R, int S, int I) -> int32_t {
    const int64_t At = int64_t{R} * PerRecord[static_cast<size_t>(S)] + I;
    for (auto It = Runs.rbegin(); It != Runs.rend(); ++It)
      if (It->Signal == S && At >= It->From && At < It->To) return It->Value;
    // Steps of 7 around zero: never twice the same value in a row.
    return static_cast<int32_t>((At * 7 + S * 13) % 1000) - 500;
  };
}

EdfBytes Discontinuous(EdfBytes E, std::vector<std::string> Starts) {
  E.General[6] = E.Bdf ? "BDF+D" : "EDF+D";
  E.General[1] = "X X X X";
  E.General[2] = "Startdate 02-JAN-2003 X X X";
  const int Ns = static_cast<int>(E.Signals.size()) + 1;
  E.General[5] = std::to_string(256 * (Ns + 1));
  E.General[9] = std::to_string(Ns);
  const std::string Max = E.Bdf ? "8388607" : "32767";
  const std::string Min = E.Bdf ? "-8388608" : "-32768";
  E.Signals.push_back({E.Bdf ? "BDF Annotations" : "EDF Annotations", "", "", "-1", "1", Min, Max, "", "30", ""});
  const int A = Ns - 1;
  E.Text = [A, Starts = std::move(Starts)](int R, int S) -> std::string {
    if (S != A || R >= static_cast<int>(Starts.size())) return "";
    return TimeKeeping("+" + Starts[static_cast<size_t>(R)]);
  };
  return E;
}

}  // namespace testkit
