// The privacy audit: where a file names or dates the person, as warnings of
// the privacy.* rules. It reads the patient and recording identification,
// the start date, the annotation texts of every record (EDF+ / BDF+ only:
// in a plain file those bytes are samples to its readers) and the file's
// name. A finding names its field or subfield (or the annotation's record
// and signal) and the absolute byte, and gives the length of what it found,
// never the text: reports are copied around and must not become the leak.
//
// The annotation texts are read in the one streaming pass over the records
// that the conformance check and the min/max fold share:
//
//   TConformanceCheck Check(F);
//   TPrivacyAudit Audit(F, Request);
//   std::vector<TRecordVisitor*> V;             // those that want records
//   if (Check.WantsRecords()) V.push_back(&Check);
//   if (Audit.WantsRecords()) V.push_back(&Audit);
//   // both lay the records out alike: Check.Layout() == Audit.Layout()
//   Outcome = ScanRecords(*F.Stream(), Audit.WantsRecords() ? Audit.Layout() : Check.Layout(), V, Progress);
//   TPrivacyReport Report = Audit.Finish(Outcome);
//
// or, for the audit alone, AuditPrivacy(F, Request, Progress).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "check/Conformance.h"
#include "check/Finding.h"
#include "check/PrivacyTokens.h"
#include "check/RecordScan.h"

class TCustomEDFFile;

// One token found in an annotation text.
struct TPrivacyHit {
  int64_t Record = 0;
  int Signal = 0;
  int64_t Offset = 0;  // absolute byte in the file
  int64_t Length = 0;
  TTokenKind Kind = TTokenKind::UserWord;
};

struct TPrivacyReport {
  // In file order (findings without a place, the file name's, last), at
  // most ConformanceListedPerRule of each rule.
  TFindings Findings;
  // Every rule that found something, with its total.
  std::vector<TRuleTotal> Totals;
  bool Plus = false;
  // The annotation texts were searched in every record (true as well when
  // there was nothing to search for or in). When false, a privacy.annotation
  // finding says why, unless the pass was cancelled.
  bool AnnotationsAudited = true;
  std::string NotAuditedWhy;  // why not, when not (a cancel aside)
  int64_t RecordsScanned = 0;
  bool Cancelled = false;
  // Every match in the annotation texts, in file order, when the request
  // asked for them (the de-identified copy overwrites them).
  std::vector<TPrivacyHit> Hits;

  int64_t TotalOf(std::string_view Rule) const;
};

struct TPrivacyRequest {
  // The user's words and phrases (--phi-words); a copy is audited with the
  // original's tokens here, since its own header no longer holds them.
  TPrivacyTokens Words;
  bool FileName = true;   // audit the file's name too
  bool KeepHits = false;  // list every annotation match in the report
};

class TPrivacyAudit : public TRecordVisitor {
public:
  // F open (headers read, whatever the classic verdict). Constructing it
  // audits the header and the file name.
  TPrivacyAudit(const TCustomEDFFile& F, TPrivacyRequest Request);
  ~TPrivacyAudit() override;
  TPrivacyAudit(const TPrivacyAudit&) = delete;
  TPrivacyAudit& operator=(const TPrivacyAudit&) = delete;

  // An EDF+ / BDF+ file with annotation signals, something to look for, and
  // records that can be laid out: run the pass with Layout().
  bool WantsRecords() const;
  const TRecordLayout& Layout() const;
  // The header's identifying tokens and the request's words.
  const TPrivacyTokens& Tokens() const;

  void OnRecord(int64_t Index, int64_t Position, const uint8_t* Bytes) override;

  // After the pass (a default outcome when none ran).
  TPrivacyReport Finish(const TScanOutcome& Outcome);

  class TState;

private:
  std::unique_ptr<TState> FState;
};

// The whole audit of an open file, with one pass over its records when the
// annotation texts need one.
TPrivacyReport AuditPrivacy(const TCustomEDFFile& F, TPrivacyRequest Request, const TScanProgress& Progress = {});

// The file name's findings alone: every token of Tokens in the last part of
// Path.
TFindings AuditFileName(const std::string& Path, const TPrivacyTokens& Tokens);
