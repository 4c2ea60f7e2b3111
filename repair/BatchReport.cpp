#include "repair/BatchReport.h"

#include "check/Finding.h"
#include "repair/RepairReport.h"

namespace {

const char* OutcomeName(TBatchOutcome Outcome) {
  switch (Outcome) {
    case TBatchOutcome::Written: return "written";
    case TBatchOutcome::Copied: return "copied";
    case TBatchOutcome::Unchanged: return "unchanged";
    case TBatchOutcome::Refused: return "refused";
    case TBatchOutcome::Exists: return "exists";
    case TBatchOutcome::DryRun: return "dry run";
    case TBatchOutcome::Error: return "error";
  }
  return "error";
}

std::string After(const std::string& Words) { return Words.empty() ? "" : ": " + Words; }

}  // namespace

int BatchStatus(TBatchOutcome Outcome) {
  return Outcome == TBatchOutcome::Error ? 2 : Outcome == TBatchOutcome::Refused ? 1 : 0;
}

std::string FormatBatchText(const TBatchRecord& R) {
  const std::string Out = DisplayName(R.Out);
  std::string Line = DisplayName(R.In) + ": ";
  switch (R.Outcome) {
    case TBatchOutcome::Written: Line += "written to " + Out + After(R.Summary); break;
    case TBatchOutcome::Copied: Line += "nothing to change; copied unchanged to " + Out; break;
    case TBatchOutcome::Unchanged: Line += "nothing to change; not copied"; break;
    case TBatchOutcome::Refused: Line += "refused" + After(R.Summary) + "; nothing written"; break;
    case TBatchOutcome::Exists: Line += Out + " exists; left as it is"; break;
    case TBatchOutcome::DryRun:
      Line += R.Changed ? "dry run: would write " + Out + After(R.Summary)
                        : "nothing to change; dry run: would copy unchanged to " + Out;
      break;
    case TBatchOutcome::Error: Line += "error: " + R.Error; break;
  }
  Line += "\n";
  for (const std::string& D : R.Details) Line += D + "\n";
  return Line;
}

std::string FormatBatchJson(const TBatchRecord& R) {
  std::string O(1, '{');
  O += JsonFileName("file", R.In);
  O += ',';
  O += JsonFileName("output", R.Out);
  O += ",\"outcome\":";
  O += JsonString(OutcomeName(R.Outcome));
  if (!R.Error.empty()) O += ",\"error\":" + JsonString(R.Error);
  return O + R.JsonKeys + "}\n";
}

std::string TBatchSummary::Text() const {
  static const char* const Words[BatchOutcomeCount] = {
      "written", "copied unchanged", "unchanged (not copied)", "refused", "left (output exists)",
      "planned (dry run)", "error"};
  int64_t Files = 0;
  std::string Parts;
  for (size_t i = 0; i < BatchOutcomeCount; ++i) {
    Files += FCounts[i];
    if (FCounts[i] == 0) continue;
    Parts += ", " + std::to_string(FCounts[i]) + " " + Words[i];
    if (static_cast<TBatchOutcome>(i) == TBatchOutcome::Error && FCounts[i] > 1) Parts += "s";
  }
  return "summary: " + std::to_string(Files) + (Files == 1 ? " file" : " files") +
         (Parts.empty() ? std::string() : ':' + Parts.substr(1)) + "\n";
}

std::string TBatchSummary::Json() const {
  static const char* const Keys[BatchOutcomeCount] = {"written", "copied", "unchanged", "refused",
                                                      "exists",  "dryRun", "error"};
  int64_t Files = 0;
  std::string Counts;
  for (size_t i = 0; i < BatchOutcomeCount; ++i) {
    Files += FCounts[i];
    Counts += ",\"" + std::string(Keys[i]) + "\":" + std::to_string(FCounts[i]);
  }
  return "{\"summary\":{\"files\":" + std::to_string(Files) + Counts + "}}\n";
}
