// Checking one file end to end, as a batch or another program does it: open
// and judge the headers as the window does, and on request scan the data
// records. Everything found is gathered in one report that the command line
// prints as text or JSON; nothing here prints.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "check/Conformance.h"
#include "check/Finding.h"
#include "check/HeaderJudgement.h"
#include "check/PrivacyAudit.h"
#include "check/QualityCheck.h"
#include "check/RecordScan.h"

// What checking one file comes to, from best to worst: a batch's exit status.
// CannotRead: the file could not be opened, or the records its header and
// size promise could not be read, or it changed while it was read; the
// check is incomplete, whichever pass met it. Invalid: the verdict, or a
// pass asked to count, found an error, a file too short for its header
// among them (the records it lacks are the file's fault, not the reader's).
enum class TFileOutcome : uint8_t { Valid, Invalid, CannotRead };

// Everything checking one file found.
struct TFileReport {
  std::string Path;
  // The file could not be opened for reading (missing, not a regular file,
  // locked by another program, a folder): it was not judged at all.
  bool NotRead = false;
  std::string ReadError;  // the reason, without the path
  THeaderJudgement Judgement;        // as far as it got when the open failed
  std::vector<TSignalView> Signals;  // every signal under strict rules, when asked for
  std::vector<std::string> Labels;   // every signal's label as shown (right-trimmed)
  // The open or the judgement raised an error: the file counts as invalid.
  bool OpenFailed = false;
  std::string OpenError;  // the error's own message
  // The min/max scan ran (asked for and the verdict valid).
  bool MinMaxRun = false;
  std::vector<std::string> MinMaxLines;  // as BuildMinMaxReport gives them
  bool MinMaxFailed = false;             // a data record could not be read
  std::string MinMaxError;               // the error's own message
  // The file's size changed while its records were read.
  bool FileChanged = false;
  // A data record that the header and the file's size promised could not be
  // read, whichever pass read it: a read error, or a file cut since it was
  // judged valid; not the records that a file too short for its header lacks.
  bool ReadFault = false;
  // The EDF+ / BDF+ conformance check ran (asked for, the file open).
  bool ConformanceRun = false;
  TConformanceReport Conformance;
  // The signal-quality pass ran (asked for, the file open).
  bool QualityRun = false;
  TQualityReport Quality;
  // The privacy audit ran (asked for, the file open).
  bool PrivacyRun = false;
  TPrivacyReport Privacy;
  // The audit was asked for: the findings quote no identifying text, and a
  // face shows the identifying fields by their length alone.
  bool WithholdIdentifying = false;
  // The header findings, then those of a failed open, of the conformance
  // check, of the scan and of the privacy audit. Each field view's Severity
  // is the worst of these about its field.
  TFindings Findings;
  // What it all comes to under the request it was checked with.
  TFileOutcome Outcome = TFileOutcome::CannotRead;

  bool Valid() const { return !NotRead && !OpenFailed && Judgement.Verdict; }
};

struct TCheckRequest {
  bool MinMax = false;       // scan the samples of a file whose verdict is valid
  bool Conformance = false;  // the EDF+ / BDF+ conformance check, whatever the verdict
  // Judge by conformance alone: the classic rules' errors are shown as
  // warnings (a legal EDF+ file may break them: records of 0 s in an
  // annotation-only file, records above 61440 bytes).
  bool ConformanceOnly = false;
  // Samples outside their signal's digital range make the outcome Invalid.
  bool FailOnSamples = false;
  // The signal-quality pass, whatever the verdict, with its thresholds.
  bool Quality = false;
  TQualityOptions QualityOptions = {};
  // Any quality finding (all are warnings) makes the outcome Invalid.
  bool FailOnQuality = false;
  // The privacy audit, with the user's words (--phi-words). Reports are
  // copied around: asking for it also withholds every identifying text.
  bool Privacy = false;
  TPrivacyTokens PhiWords;
  // The audit's warnings are errors and make the outcome Invalid.
  bool RequireDeidentified = false;
  // Every signal's pane (texts, tool tips, marks), as the JSON report lists
  // them; a report of the findings alone does without.
  bool SignalViews = true;
};

// Called while the data records are scanned, with the percentage done.
using TCheckProgress = std::function<void(int Percent)>;

// The remark that a file changed size while it was checked (rule
// file.changed); none when it kept its size.
std::optional<TFinding> FileChangedFinding(int64_t SizeAtStart, int64_t SizeAtEnd);
// What a pass over the data records adds to the findings: a read that
// stopped (file.read, at its record and byte) and a change of size.
TFindings ScanFindings(const TScanOutcome& Outcome);

// Opens Path read-only, judges it and, as asked, checks its conformance and
// (the verdict being valid) its samples, in one pass over the data records.
// Never raises: errors are recorded in the report.
TFileReport CheckFile(const std::string& Path, const TCheckRequest& Request,
                      const TCheckProgress& Progress = {});
