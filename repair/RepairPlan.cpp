#include "repair/RepairPlan.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <map>
#include <set>
#include <stdexcept>
#include <tuple>

#include "check/Conformance.h"
#include "check/HeaderJudgement.h"
#include "check/RecordScan.h"
#include "check/Rules.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFHeaderRecord.h"
#include "edf/uEDFSignalInfo.h"
#include "edf/uFileStream.h"
#include "repair/RepairFixes.h"
#include "util/udStr.h"

namespace {

// The header bytes of a file and its size: all a judgement of the headers
// and of the record layout reads.
struct TImage {
  std::string Head;
  int64_t Size = 0;
};

TImage ReadImage(const std::string& Path) {
  TImage Img;
  try {
    const TFileStream In(Path, TFileStreamMode::fmOpenRead);
    Img.Size = In.Size();
    std::string General(static_cast<size_t>(std::min<int64_t>(Img.Size, EDFGeneralHeaderBytes)), '\0');
    General.resize(static_cast<size_t>(In.ReadAt(0, General.data(), static_cast<int64_t>(General.size()))));
    int32_t Ns = 0;
    const bool Counted = Int32Field(ReadFieldFrom(General, EDFGeneralFieldOffset(gfNrSignals), 4), Ns) == ffNone && Ns > 0;
    const int64_t HeadBytes = std::min(Img.Size, Counted ? EDFHeaderBytes(Ns) : EDFGeneralHeaderBytes);
    Img.Head.resize(static_cast<size_t>(HeadBytes));
    Img.Head.resize(static_cast<size_t>(In.ReadAt(0, Img.Head.data(), HeadBytes)));
  } catch (const std::exception& e) {
    throw std::runtime_error(e.what());
  }
  return Img;
}

using TKey = std::tuple<TWhereKind, int, int>;  // place kind, signal, field

TKey KeyOf(const TWhere& W) { return {W.Kind, W.Signal, W.Field}; }

bool InData(const TFinding& F) {
  return F.Where.Kind == TWhereKind::DataRecord || F.Where.Kind == TWhereKind::Annotation;
}

struct TJudged {
  bool Failed = false;
  std::string Error;
  // The header judgement's findings, then the conformance check's: its
  // header layer, and its record layer when the records were read.
  TFindings Findings;
  TRepairContext Context;
  std::vector<std::string> Labels;
  int SignalCount = 0;  // signal headers read
  bool LayoutJudged = false;
};

bool HasFault(const TFindings& Findings, const TKey& Key) {
  return std::any_of(Findings.begin(), Findings.end(), [&](const TFinding& F) {
    return KeyOf(F.Where) == Key && F.Severity != TSeverity::Note;
  });
}

// The conformance check of F, its data records read from the file at
// RecordsPath (F's own, or the original's under a repaired header). A read
// that stops where the file ends is the record count's fault, which the
// header judgement names; a read error or a change of size is no judgement.
TFindings JudgeConformance(const TEDFFile& F, const std::string& RecordsPath) {
  if (RecordsPath.empty()) return CheckConformanceHeader(F).Findings;
  TConformanceCheck Check(F);
  TScanOutcome Outcome;
  if (Check.WantsRecords()) {
    const TFileStream Records(RecordsPath, TFileStreamMode::fmOpenRead);
    TRecordVisitor* Visitors[] = {&Check};
    Outcome = ScanRecords(Records, Check.Layout(), Visitors);
    if (Outcome.FileChanged())
      throw std::runtime_error("the file changed while it was read: " + std::to_string(Outcome.SizeAtStart) +
                               " bytes at the start, " + std::to_string(Outcome.SizeAtEnd) + " at the end");
    if (Outcome.ReadFailed && Outcome.FailedOffset < Outcome.SizeAtStart)
      throw std::runtime_error(std::string(ReadErrorText) + ": " + Outcome.Error);
  }
  TFindings Found = Check.Finish(TScanOutcome{Outcome.RecordsScanned, false, false, -1, -1, "",
                                              Outcome.SizeAtStart, Outcome.SizeAtStart})
                        .Findings;
  return Found;
}

// The header judgement of the file at Path, as the window makes it, with
// the conformance check's header layer (and its record layer, the records
// read from RecordsPath, when that is given), and what the fixes need to
// know of the file besides.
TJudged Judge(const std::string& Path, const std::string& RecordsPath = "") {
  TJudged J;
  TEDFFile F;
  THeaderJudgement H;
  try {
    F.SetFileName(Path);
    JudgeOpenFile(F, H);
    J.Findings = H.Findings;
    const TFindings Conformance = JudgeConformance(F, RecordsPath);
    J.Findings.insert(J.Findings.end(), Conformance.begin(), Conformance.end());
  } catch (const std::exception& e) {
    J.Failed = true;
    J.Error = e.what();
    return J;
  }
  J.LayoutJudged = H.DataBlockBytes.has_value();
  J.SignalCount = F.SignalCount();
  const TEDFRawFileHeader& Raw = F.FileInfo()->OriginalHeader();
  TRepairContext& C = J.Context;
  C.Format = EDFFormatOf(Raw[gfVersion]);
  C.FileSize = F.FileSize();
  int32_t Ns = 0;
  if (Int32Field(Raw[gfNrSignals], Ns) == ffNone && Ns > 0) C.NrSignals = Ns;
  C.HeaderBytesSound = !HasFault(J.Findings, KeyOf(TWhere{TWhereKind::GeneralHeader, -1, -1, gfHeaderBytes}));
  bool SamplesRead = C.NrSignals > 0 && F.SignalCount() == C.NrSignals;
  for (int i = 0; i < F.SignalCount(); ++i) {
    const TEDFRawSignalHeader& S = F.GetSignal(i)->RawHeader();
    J.Labels.push_back(Trim(S[sfSignalLabel]));
    C.AnnotationLabel = C.AnnotationLabel || AnnotationLikeLabel(S[sfSignalLabel]);
    int32_t N = 0;
    SamplesRead = SamplesRead && Int32Field(S[sfNrSamples], N) == ffNone && N > 0;
    C.NrSamples.push_back(N);
  }
  // The record size from the layout the scans use, which knows each format's sample width.
  if (SamplesRead) {
    const TRecordLayout Layout = RecordLayoutOf(F);
    C.RecordBytes = Layout.RecordBytes;
    C.SampleBytes = Layout.SampleBytes;
  }
  return J;
}

// An open descriptor, closed however the scope ends.
struct TFd {
  int Fd = -1;
  ~TFd() {
    if (Fd >= 0) ::close(Fd);
  }
};

// Judges the image as a file of its size. The file is anonymous and lives
// in memory; past the header it is a hole, which costs nothing even for a
// file of gigabytes, and the header judgement never reads it. With
// RecordsPath the data records are read from there instead.
TJudged JudgeImage(const TImage& Img, const std::string& RecordsPath = "") {
  TFd Mem{::memfd_create("vellicor-repair", MFD_CLOEXEC)};
  if (Mem.Fd < 0) throw std::runtime_error(std::string("cannot judge the repaired header: ") + std::strerror(errno));
  for (size_t Done = 0; Done < Img.Head.size();) {
    const ssize_t N = ::write(Mem.Fd, Img.Head.data() + Done, Img.Head.size() - Done);
    if (N < 0 && errno == EINTR) continue;
    if (N <= 0) throw std::runtime_error(std::string("cannot judge the repaired header: ") + std::strerror(errno));
    Done += static_cast<size_t>(N);
  }
  if (::ftruncate(Mem.Fd, Img.Size) != 0)
    throw std::runtime_error(std::string("cannot judge the repaired header: ") + std::strerror(errno));
  return Judge("/proc/self/fd/" + std::to_string(Mem.Fd), RecordsPath);
}

// The findings of one place, each header field's with its bytes in Img
// (a finding may point at one byte inside the field).
std::vector<TFaultGroup> GroupFindings(const TFindings& Findings, const std::set<TKey>& Decided, const TImage& Img,
                                       int SignalCount) {
  std::map<TKey, TFaultGroup> Groups;
  for (const TFinding& F : Findings) {
    if (!Actionable(F) || InData(F) || Decided.count(KeyOf(F.Where))) continue;
    TFaultGroup& G = Groups[KeyOf(F.Where)];
    if (G.Findings.empty()) {
      G.Where = F.Where;
      G.Where.Record = -1;
      const bool Signal = F.Where.Kind == TWhereKind::SignalHeader;
      const bool Header = Signal || F.Where.Kind == TWhereKind::GeneralHeader;
      if (Header && F.Where.Field >= 0 && F.Where.Field < EDFFieldCount) {
        const TEDFFieldDesc& D = (Signal ? EDFSignalFields : EDFGeneralFields)[static_cast<size_t>(F.Where.Field)];
        const int64_t At = Signal ? EDFSignalFieldOffset(F.Where.Field, F.Where.Signal, SignalCount)
                                  : EDFGeneralFieldOffset(F.Where.Field);
        if (At >= 0 && At + D.Width <= static_cast<int64_t>(Img.Head.size())) {
          G.Offset = At;
          G.Width = D.Width;
          G.Raw = Img.Head.substr(static_cast<size_t>(At), static_cast<size_t>(D.Width));
        }
      }
    }
    G.Findings.push_back(F);
  }
  std::vector<TFaultGroup> Out;
  for (auto& [Key, G] : Groups) Out.push_back(std::move(G));
  return Out;
}

// The changes made for one place, with what they replaced, so that a change
// the judgement does not accept can be taken back.
struct TApplied {
  TKey Key;
  std::vector<TRepairChange> Changes;
  std::string Shown;  // the field's new text, for the reason when taken back
  int64_t SizeBefore = 0;
  bool Live = true;
};

void Put(TImage& Img, int64_t Offset, const std::string& Bytes) {
  Img.Head.replace(static_cast<size_t>(Offset), Bytes.size(), Bytes);
}

std::string Joined(const TFindings& Findings) {
  std::string Out;
  for (const TFinding& F : Findings) Out += (Out.empty() ? "" : "; ") + F.Message;
  return Out;
}

}  // namespace

TRepairPlan PlanRepair(const std::string& Path) {
  TRepairPlan Plan;
  Plan.Path = Path;
  TImage Img = ReadImage(Path);
  Plan.InputSize = Plan.OutputSize = Img.Size;
  Plan.InputHead = Img.Head;

  // The first judgement is of the file itself; those after it of the header
  // as repaired so far, which can show faults the first hid (a wrong
  // HeaderBytes keeps the record count from being judged at all). These
  // judge the headers alone; the data records are read once, at the end.
  TJudged J = Judge(Path);
  if (J.Failed) {
    Plan.Refusals.push_back({RuleOf(TClassicRule::FileRead).Id, TWhere{}, -1,
                             std::string(ReadErrorText) + ": " + J.Error, "a file that cannot be judged cannot be repaired"});
    return Plan;
  }

  std::set<TKey> Decided;  // every place is fixed or refused once
  std::map<TKey, std::string> Reasons;
  std::vector<TApplied> Applied;
  std::vector<size_t> Pending;  // applied in the last round, not yet judged
  for (bool First = true;; First = false) {
    if (!First) {
      J = JudgeImage(Img);
      if (J.Failed) throw std::runtime_error("the repaired header cannot be judged: " + J.Error);
    }
    // A change whose field the judgement still faults is taken back.
    bool TakenBack = false;
    for (size_t i : Pending) {
      TApplied& A = Applied[i];
      TFindings Left;
      for (const TFinding& F : J.Findings)
        if (KeyOf(F.Where) == A.Key && Actionable(F)) Left.push_back(F);
      if (Left.empty()) continue;
      for (auto It = A.Changes.rbegin(); It != A.Changes.rend(); ++It)
        if (It->Kind == TRepairChangeKind::Field) Put(Img, It->Offset, It->Old);
      if (std::any_of(A.Changes.begin(), A.Changes.end(),
                      [](const TRepairChange& C) { return C.Kind == TRepairChangeKind::DropTail; }))
        Img.Size = A.SizeBefore;
      A.Live = false;
      Reasons[A.Key] = "mended to " + A.Shown + " it would still fail: " + Joined(Left);
      TakenBack = true;
    }
    Pending.clear();
    if (TakenBack) continue;

    for (const TFaultGroup& G : GroupFindings(J.Findings, Decided, Img, J.SignalCount)) {
      const TFieldFix Fix = FixField(G, J.Context);
      if (Fix.Outcome == TFixOutcome::Defer) continue;
      const TKey Key = KeyOf(G.Where);
      Decided.insert(Key);
      if (Fix.Outcome == TFixOutcome::Refuse) Reasons[Key] = Fix.Reason;
      if (Fix.Outcome != TFixOutcome::Change) continue;

      TApplied A;
      A.Key = Key;
      A.SizeBefore = Img.Size;
      A.Shown = QuoteIfNeeded(TrimRight(Fix.New));
      TRepairChange Base;
      for (const TFinding& F : G.Findings)
        if (Actionable(F)) Base.Rules.push_back(F.Rule);
      Base.Cleanup = std::all_of(G.Findings.begin(), G.Findings.end(),
                                 [](const TFinding& F) { return F.Severity == TSeverity::Note; });
      if (Fix.New != G.Raw) {
        TRepairChange C = Base;
        C.Where = G.Where;
        C.Field = (G.Where.Kind == TWhereKind::SignalHeader ? EDFSignalFields : EDFGeneralFields)
                      [static_cast<size_t>(G.Where.Field)].Caption;
        C.Offset = G.Offset;
        C.Length = G.Width;
        C.Old = G.Raw;
        C.New = Fix.New;
        C.Why = Fix.Why;
        Put(Img, C.Offset, C.New);
        A.Changes.push_back(std::move(C));
      }
      if (Fix.DropFrom >= 0) {
        TRepairChange C = Base;
        C.Kind = TRepairChangeKind::DropTail;
        C.Where = TWhere{};
        C.Offset = Fix.DropFrom;
        C.Length = Img.Size - Fix.DropFrom;
        C.Why = Fix.DropWhy;
        Img.Size = Fix.DropFrom;
        A.Changes.push_back(std::move(C));
      }
      Pending.push_back(Applied.size());
      Applied.push_back(std::move(A));
    }
    // Without a change the header stays as judged: nothing more to learn.
    if (Pending.empty()) break;
  }

  for (const TApplied& A : Applied)
    if (A.Live) Plan.Changes.insert(Plan.Changes.end(), A.Changes.begin(), A.Changes.end());
  std::sort(Plan.Changes.begin(), Plan.Changes.end(),
            [](const TRepairChange& A, const TRepairChange& B) { return A.Offset < B.Offset; });
  Plan.OutputSize = Img.Size;

  // The copy as it will be: the repaired header over the original's data
  // records, which are read in one pass for the conformance check's record
  // layer. What it is still faulted for is left as found.
  const TJudged Final = JudgeImage(Img, Path);
  if (Final.Failed) throw std::runtime_error(Final.Error);
  Plan.SignalLabels = Final.Labels;
  Plan.LayoutJudged = Final.LayoutJudged;
  for (const TFinding& F : Final.Findings) {
    if (F.Severity == TSeverity::Note) continue;
    const auto Reason = Reasons.find(KeyOf(F.Where));
    Plan.Refusals.push_back({F.Rule, F.Where, F.Offset, F.Message,
                             Reason != Reasons.end() ? Reason->second : RefusalReason(F)});
  }
  return Plan;
}

void ApplyFieldChanges(const TRepairPlan& Plan, int64_t Offset, char* Bytes, int64_t Count) {
  for (const TRepairChange& C : Plan.Changes) {
    if (C.Kind != TRepairChangeKind::Field) continue;
    const int64_t From = std::max(Offset, C.Offset);
    const int64_t To = std::min(Offset + Count, C.Offset + static_cast<int64_t>(C.New.size()));
    if (From < To)
      std::memcpy(Bytes + (From - Offset), C.New.data() + (From - C.Offset), static_cast<size_t>(To - From));
  }
}

void ApplyFieldChanges(const TRepairPlan& Plan, int64_t Offset, std::string& Bytes) {
  ApplyFieldChanges(Plan, Offset, Bytes.data(), static_cast<int64_t>(Bytes.size()));
}

std::string CheckCopy(const TRepairPlan& Plan, const std::string& CopyPath) {
  const TJudged J = Judge(CopyPath, CopyPath);
  if (J.Failed) return "the copy cannot be judged: " + J.Error;
  // Every fault, with its record for those inside the data records.
  using TPlace = std::tuple<std::string, TKey, int64_t>;
  std::multiset<TPlace> Expected;
  std::multiset<TPlace> Found;
  for (const TRepairRefusal& R : Plan.Refusals) Expected.insert({R.Rule, KeyOf(R.Where), R.Where.Record});
  for (const TFinding& F : J.Findings)
    if (F.Severity != TSeverity::Note) Found.insert({F.Rule, KeyOf(F.Where), F.Where.Record});
  if (Found == Expected) return "";
  std::string Unexpected;
  for (const auto& [Rule, Key, Record] : Found)
    if (!Expected.count({Rule, Key, Record})) Unexpected += (Unexpected.empty() ? "" : ", ") + Rule;
  return "the copy is not judged as planned" + (Unexpected.empty() ? std::string() : ": it has " + Unexpected);
}
