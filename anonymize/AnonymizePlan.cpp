#include "anonymize/AnonymizePlan.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>

#include "anonymize/AnonymizeHeader.h"
#include "check/PrivacyRules.h"
#include "edf/uEDFHeaderRecord.h"
#include "edf/uEDFLayout.h"
#include "edf/uFileStream.h"

namespace {

// The header bytes of the file: the general header and, when NrSignals can
// be read, every signal header.
std::string ReadHead(const std::string& Path) {
  const TFileStream In(Path, TFileStreamMode::fmOpenRead);
  std::string General(static_cast<size_t>(std::min<int64_t>(In.Size(), EDFGeneralHeaderBytes)), '\0');
  General.resize(static_cast<size_t>(In.ReadAt(0, General.data(), static_cast<int64_t>(General.size()))));
  int32_t Ns = 0;
  const bool Counted =
      Int32Field(ReadFieldFrom(General, EDFGeneralFieldOffset(gfNrSignals), 4), Ns) == ffNone && Ns > 0;
  const int64_t Bytes = std::min(In.Size(), Counted ? EDFHeaderBytes(Ns) : EDFGeneralHeaderBytes);
  std::string Head(static_cast<size_t>(Bytes), '\0');
  Head.resize(static_cast<size_t>(In.ReadAt(0, Head.data(), Bytes)));
  return Head;
}

std::string Bytes(int64_t N) { return std::to_string(N) + (N == 1 ? " byte" : " bytes"); }

bool Kept(const TAnonymizePlan& Plan, const std::string& Rule) {
  return std::find(Plan.KeptRules.begin(), Plan.KeptRules.end(), Rule) != Plan.KeptRules.end();
}

TPrivacyRequest RequestOf(const TAnonymizeOptions& Options) {
  TPrivacyRequest Request;
  for (const std::string& W : Options.PhiWords) Request.Words.Add(W, TTokenKind::UserWord);
  Request.KeepHits = true;
  return Request;
}

void Refuse(TAnonymizePlan& Plan, const std::string& Why) { Plan.Refusals.push_back(Why); }

void Unreadable(TAnonymizePlan& Plan, const std::string& Why) {
  Plan.UnreadableWhy = Why;
  Refuse(Plan, "the file cannot be read: " + Why);
}

// Whether the annotation texts were searched, and what follows if not.
void Searched(TAnonymizePlan& Plan) {
  const TPrivacyReport& A = Plan.Audit;
  if (A.Cancelled) return Refuse(Plan, "cancelled before every annotation text was searched");
  if (A.AnnotationsAudited) return;
  if (!Plan.Options.HeaderOnly)
    return Refuse(Plan, A.NotAuditedWhy + "; --header-only copies the file with its annotation texts as they are");
  Plan.Warnings.push_back("--header-only: " + A.NotAuditedWhy + "; they are copied as they are");
  Plan.KeptRules.push_back(RuleOf(TPrivacyRule::Annotation).Id);
}

void HeaderChanges(TAnonymizePlan& Plan, const THeaderRewrite& Rewrite) {
  for (const TFieldRewrite& R : Rewrite.Fields) {
    const TEDFFieldDesc& D = EDFGeneralFields[static_cast<size_t>(R.Field)];
    const int64_t Offset = EDFGeneralFieldOffset(R.Field);
    Plan.Patches.push_back({Offset, R.New});
    TAnonymizeChange C;
    C.Where = TWhere{TWhereKind::GeneralHeader, -1, -1, R.Field};
    C.Field = D.Caption;
    C.Offset = Offset;
    C.Length = D.Width;
    C.New = R.New.substr(0, R.New.find_last_not_of(' ') + 1);
    C.Reason = R.Reason;
    Plan.Changes.push_back(std::move(C));
  }
  Plan.Warnings.insert(Plan.Warnings.end(), Rewrite.Warnings.begin(), Rewrite.Warnings.end());
  Plan.Refusals.insert(Plan.Refusals.end(), Rewrite.Refusals.begin(), Rewrite.Refusals.end());
  Plan.KeptRules.insert(Plan.KeptRules.end(), Rewrite.KeptRules.begin(), Rewrite.KeptRules.end());
}

// Each match overwritten with as many X bytes as it has: TAL lengths, onsets
// and the record layout stay as they are, and the text stays UTF-8.
void AnnotationChanges(TAnonymizePlan& Plan) {
  for (const TPrivacyHit& H : Plan.Audit.Hits) {
    Plan.Patches.push_back({H.Offset, std::string(static_cast<size_t>(H.Length), 'X')});
    TAnonymizeChange C;
    C.Kind = TAnonymizeChangeKind::Annotation;
    C.Where = TWhere{TWhereKind::Annotation, H.Signal, H.Record, -1};
    C.Field = "annotation text";
    C.Offset = H.Offset;
    C.Length = H.Length;
    C.Reason = std::string(TokenKindText(H.Kind)) + ", " + Bytes(H.Length) + ", overwritten with X";
    Plan.Changes.push_back(std::move(C));
  }
  Plan.Audit.Hits.clear();  // the changes hold them now
}

}  // namespace

TAnonymizePlan PlanAnonymize(const std::string& Path, const TAnonymizeOptions& Options,
                             const TScanProgress& Progress) {
  TAnonymizePlan Plan;
  Plan.Path = Path;
  Plan.Options = Options;
  struct stat St {};
  const bool Found = ::stat(Path.c_str(), &St) == 0;
  if (!Found || !S_ISREG(St.st_mode)) {
    // A folder, a pipe or a device is no recording to copy, and reading a
    // pipe would take its bytes from whoever writes them.
    Unreadable(Plan, !Found ? std::strerror(errno) : S_ISDIR(St.st_mode) ? "it is a folder" : "it is not a regular file");
    return Plan;
  }
  Plan.InputSize = Plan.OutputSize = static_cast<int64_t>(St.st_size);
  Plan.InputMTimeNs = static_cast<int64_t>(St.st_mtim.tv_sec) * 1000000000 + St.st_mtim.tv_nsec;
  try {
    Plan.InputHead = ReadHead(Path);
  } catch (const std::exception& e) {
    Unreadable(Plan, e.what());
    return Plan;
  }
  // The fields to rewrite lie in the general header; the format is told by
  // the first byte alone.
  if (Plan.InputHead.size() < static_cast<size_t>(EDFGeneralHeaderBytes)) {
    Refuse(Plan, "the file holds " + Bytes(static_cast<int64_t>(Plan.InputHead.size())) +
                     ", less than the 256-byte general header");
    return Plan;
  }
  if (Plan.InputHead[0] != '0' && static_cast<unsigned char>(Plan.InputHead[0]) != 0xFF) {
    Refuse(Plan, "the file is neither EDF nor BDF: its first byte is neither 0 nor 0xFF");
    return Plan;
  }
  Plan.Original = JudgeForAnonymize(Path, RequestOf(Options), Progress);
  if (Plan.Original.Failed) {
    Refuse(Plan, "the headers cannot be read: " + Plan.Original.Error);
    return Plan;
  }
  Plan.Audit = Plan.Original.Privacy;
  Searched(Plan);
  HeaderChanges(Plan, RewriteHeader(Plan.Original.Raw, Plan.Original.Plus, Options));
  AnnotationChanges(Plan);
  std::sort(Plan.Patches.begin(), Plan.Patches.end(),
            [](const TBytePatch& A, const TBytePatch& B) { return A.Offset < B.Offset; });
  std::stable_sort(Plan.Changes.begin(), Plan.Changes.end(),
                   [](const TAnonymizeChange& A, const TAnonymizeChange& B) { return A.Offset < B.Offset; });
  return Plan;
}

std::string CheckCopyName(const TAnonymizePlan& Plan, const std::string& OutPath) {
  const TFindings Found = AuditFileName(OutPath, Plan.Original.Tokens);
  return Found.empty() ? "" : Found.front().Message;
}

void RefuseCopyName(TAnonymizePlan& Plan, const std::string& OutPath) {
  // What the name holds is said, never quoted.
  if (const std::string Why = CheckCopyName(Plan, OutPath); !Why.empty())
    Refuse(Plan, "OUT's name would identify the person: " + Why + "; give the copy another name");
}

std::string CheckAnonymizedCopy(const TAnonymizePlan& Plan, const std::string& CopyPath,
                                const TScanProgress& Progress) {
  std::string Head = Plan.InputHead;
  for (const TBytePatch& P : Plan.Patches) {
    if (P.Offset >= static_cast<int64_t>(Head.size())) continue;
    const auto At = static_cast<size_t>(P.Offset);
    const size_t N = std::min(P.Bytes.size(), Head.size() - At);
    Head.replace(At, N, P.Bytes, 0, N);
  }
  try {
    if (TFileStream(CopyPath, TFileStreamMode::fmOpenRead).Size() != Plan.OutputSize)
      return "the copy does not have the planned size of " + Bytes(Plan.OutputSize);
    if (ReadHead(CopyPath) != Head) return "the copy's header is not the planned one";
  } catch (const std::exception& e) {
    return std::string("the copy cannot be read: ") + e.what();
  }
  // The copy's own header names nobody any more: its texts are searched for
  // the original's tokens. Its name is the writer's, not the user's.
  TPrivacyRequest Request;
  Request.Words = Plan.Original.Tokens;
  Request.FileName = false;
  const TAnonymizeJudgement Copy = JudgeForAnonymize(CopyPath, std::move(Request), Progress);
  if (Copy.Failed) return "the copy cannot be judged: " + Copy.Error;
  const std::string New = NewFindings(Plan.Original, Copy);
  if (!New.empty()) return "the copy has a finding " + New;
  for (const TFinding& F : Copy.Privacy.Findings)
    if (!Kept(Plan, F.Rule)) return "the copy still holds identifying data: [" + F.Rule + "] " + F.Message;
  if (Copy.Privacy.Cancelled) return "cancelled before the copy was judged";
  return "";
}
