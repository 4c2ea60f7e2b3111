// The words of a batch copy: one record per file of the tree, printed as a
// text line (with the planner's lines under it) or as one JSON line, and the
// summary at the end.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

enum class TBatchOutcome {
  Written,    // the changed copy was written
  Copied,     // the file needed nothing and was copied as it is
  Unchanged,  // the file needed nothing; listed, not copied
  Refused,    // no copy can be made (exit 1)
  Exists,     // the output was there already and was left as it is
  DryRun,     // a copy would be written
  Error       // a path could not be read or written (exit 2)
};
inline constexpr size_t BatchOutcomeCount = 7;

struct TBatchRecord {
  std::string In;
  std::string Out;
  TBatchOutcome Outcome = TBatchOutcome::Error;
  bool Changed = false;  // a dry run's copy would hold changes, not only the original's bytes
  std::string Summary;   // the planner's words
  std::vector<std::string> Details;
  std::string JsonKeys;
  std::string Error;  // a sentence naming the path and the reason
};

// The exit status one record asks for: 2 for an error, 1 for a refusal.
int BatchStatus(TBatchOutcome Outcome);

// "archive/a.edf: written to mirror/a.edf: 2 changes" and the planner's
// lines under it; names as DisplayName shows them, so each is one line.
std::string FormatBatchText(const TBatchRecord& R);

// {"file":...,"output":...,"outcome":"written",...the planner's keys}: the
// file's audit record on one line. Names that are not UTF-8 are escaped
// with "fileEscaped" / "outputEscaped" true, as vellicor-check --json does.
std::string FormatBatchJson(const TBatchRecord& R);

class TBatchSummary {
public:
  void Add(TBatchOutcome Outcome) { ++FCounts[static_cast<size_t>(Outcome)]; }
  // "summary: 7 files: 3 written, 1 refused, 2 left (output exists), 1 error"
  std::string Text() const;
  // {"summary":{"files":7,"written":3,...}}, every outcome's count
  std::string Json() const;

private:
  std::array<int64_t, BatchOutcomeCount> FCounts{};
};
