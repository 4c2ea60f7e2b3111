#include "check/PrivacyAudit.h"

#include <algorithm>
#include <array>

#include "check/PrivacyFields.h"
#include "check/PrivacyRules.h"
#include "check/Rules.h"
#include "check/Tal.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"
#include "edf/uFileStream.h"

namespace {

using R = TPrivacyRule;

constexpr uint8_t Nul = 0x00;
constexpr uint8_t EndMark = 0x14;

std::string Bytes(int64_t N) { return std::to_string(N) + (N == 1 ? " byte" : " bytes"); }

TWhere General(int Field) { return TWhere{TWhereKind::GeneralHeader, -1, -1, Field}; }

// A word of a field's text and where it starts.
struct TWord {
  size_t Begin = 0;
  std::string_view Text;
};

std::vector<TWord> Words(std::string_view Text) {
  std::vector<TWord> Out;
  for (size_t i = 0; i < Text.size();) {
    const size_t Begin = Text.find_first_not_of(' ', i);
    if (Begin == std::string_view::npos) break;
    const size_t End = std::min(Text.find(' ', Begin), Text.size());
    Out.push_back({Begin, Text.substr(Begin, End - Begin)});
    i = End;
  }
  return Out;
}

// dd-MMM-yyyy in shape (any letter case): a date, whether or not a valid one.
bool DateShaped(std::string_view W) {
  constexpr std::string_view Shape = "99-AAA-9999";
  if (W.size() != Shape.size()) return false;
  for (size_t i = 0; i < W.size(); ++i) {
    const char C = W[i];
    const bool Ok = Shape[i] == '9'   ? (C >= '0' && C <= '9')
                    : Shape[i] == 'A' ? ((C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z'))
                                      : C == Shape[i];
    if (!Ok) return false;
  }
  return true;
}

bool AnonymousPlusDate(std::string_view W) { return Unknown(W) || W == "01-JAN-1985"; }

}  // namespace

int64_t TPrivacyReport::TotalOf(std::string_view Rule) const {
  for (const TRuleTotal& T : Totals)
    if (T.Rule == Rule) return T.Total;
  return 0;
}

TFindings AuditFileName(const std::string& Path, const TPrivacyTokens& Tokens) {
  const size_t Slash = Path.find_last_of('/');
  const std::string_view Name = std::string_view(Path).substr(Slash == std::string::npos ? 0 : Slash + 1);
  std::vector<TTokenMatch> Matches;
  Tokens.Find(Name, Matches);
  TFindings Out;
  for (const TTokenMatch& M : Matches)
    Out.push_back(MakeFinding(RuleOf(R::FileName), TWhere{}, -1, static_cast<int64_t>(M.Length), "",
                              std::string("the file name holds ") + TokenKindText(M.Kind) + ", " +
                                  Bytes(static_cast<int64_t>(M.Length)) + " from byte " + std::to_string(M.At) +
                                  " of the name"));
  return Out;
}

class TPrivacyAudit::TState : public TTalHandler {
public:
  TState(const TCustomEDFFile& F, TPrivacyRequest Request) : Req(std::move(Request)) {
    if (F.FileInfo() == nullptr) return;  // never opened: nothing to audit
    const TEDFRawFileHeader& Raw = F.FileInfo()->OriginalHeader();
    Plus = PlusFile(F);
    Patient(Raw[gfPatient]);
    Recording(Raw[gfRecording]);
    StartDate(Raw[gfStartDate]);
    Tokens.AddAll(Req.Words);
    if (Req.FileName)
      for (TFinding& Found : AuditFileName(F.FileName(), Tokens)) Add(R::FileName, std::move(Found));
    if (Plus) Annotations = AnnotationSignals(F);
    if (Annotations.empty() || Tokens.Empty()) return;
    TRecordLayout L;
    std::string Why;
    bool Usable = ConformanceLayout(F, L, Why);
    for (const int s : Annotations) {
      const auto S = static_cast<size_t>(s);
      if (Usable && (S >= L.Signals.size() ||
                     L.Signals[S].Offset + L.Signals[S].Samples * L.SampleBytes > L.RecordBytes ||
                     L.Signals[S].Samples * L.SampleBytes > int64_t{UINT32_MAX})) {
        Usable = false;
        Why = "the layout does not hold annotation signal " + std::to_string(s + 1);
      }
    }
    if (Usable) {
      Layout = std::move(L);
      Wants = true;
    } else {
      NotAudited("the annotation texts were not searched: " + Why);
    }
  }

  void Record(int64_t Index, int64_t Position, const uint8_t* Bytes) {
    FRecord = Index;
    for (const int s : Annotations) {
      const TSignalSpan& Span = Layout.Signals[static_cast<size_t>(s)];
      FSignal = s;
      FBase = Position + Span.Offset;
      FBlock = Bytes + Span.Offset;
      FSize = static_cast<uint32_t>(Span.Samples * Layout.SampleBytes);
      ScanTals(FBlock, FSize, *this);
    }
  }

  // The texts of a TAL run from the byte after the 0x14 that closes its
  // onset to the 0x00 that ends it, separated by 0x14; the time-keeping
  // TAL's empty text included, so a text after it is searched too.
  void OnTal(const TTal& T) override {
    if (T.AfterOnset <= T.Begin) return;  // the TAL ended inside its onset
    const uint8_t* End = std::find(FBlock + T.AfterOnset, FBlock + FSize, Nul);
    for (const uint8_t* P = FBlock + T.AfterOnset; P < End;) {
      const uint8_t* Stop = std::find(P, End, EndMark);
      Search(static_cast<uint32_t>(P - FBlock), static_cast<uint32_t>(Stop - P));
      P = Stop + 1;
    }
  }
  void OnFault(TTalFault, TNumberFault, uint32_t, TTalSpan) override {}  // the conformance check's business

  TPrivacyReport Finish(const TScanOutcome& Outcome) {
    TPrivacyReport Report;
    Report.Plus = Plus;
    // Records read for another pass were not searched unless this one asked.
    Report.RecordsScanned = Wants ? Outcome.RecordsScanned : 0;
    if (Wants && Outcome.Cancelled) {
      Report.Cancelled = true;
      Audited = false;
    } else if (Wants && Outcome.ReadFailed) {
      NotAudited("the annotation texts from data record " + std::to_string(Outcome.FailedRecord + 1) +
                     " on were not searched: " + Outcome.Error,
                 Outcome.FailedRecord, Outcome.FailedOffset);
    }
    Report.AnnotationsAudited = Audited;
    Report.NotAuditedWhy = NotAuditedWhy;
    Report.Hits = std::move(Hits);
    Report.Findings = std::move(Listed);
    std::stable_sort(Report.Findings.begin(), Report.Findings.end(), [](const TFinding& A, const TFinding& B) {
      const auto Key = [](const TFinding& F) { return F.Offset < 0 ? INT64_MAX : F.Offset; };
      return Key(A) < Key(B);
    });
    for (size_t i = 0; i < PrivacyRuleCount; ++i)
      if (Counts[i] > 0)
        Report.Totals.push_back(
            {RuleOf(static_cast<R>(i)).Id, Counts[i], std::min(Counts[i], ConformanceListedPerRule)});
    return Report;
  }

  TPrivacyRequest Req;
  TPrivacyTokens Tokens;
  TRecordLayout Layout;
  bool Wants = false;

private:
  void Add(R Rule, TFinding Found) {
    if (++Counts[static_cast<size_t>(Rule)] <= ConformanceListedPerRule) Listed.push_back(std::move(Found));
  }
  void Add(R Rule, const TWhere& Where, int64_t Offset, int64_t Length, const std::string& Message) {
    Add(Rule, MakeFinding(RuleOf(Rule), Where, Offset, Length, "", Message));
  }
  // A subfield of a header field that must read X.
  void Given(R Rule, int Field, const TIdSubfield& S, const char* Name) {
    const auto Length = static_cast<int64_t>(S.Text.size());
    Add(Rule, General(Field), EDFGeneralFieldOffset(Field) + static_cast<int64_t>(S.Begin), Length,
        std::string(Name) + ", " + Bytes(Length) + ", is not X");
  }
  // The text of a field from byte Begin on; What names it and says why.
  void Text(R Rule, int Field, std::string_view Text, size_t Begin, const std::string& What) {
    const auto Length = static_cast<int64_t>(Text.size() - Begin);
    Add(Rule, General(Field), EDFGeneralFieldOffset(Field) + static_cast<int64_t>(Begin), Length,
        What + ", " + Bytes(Length));
  }

  void Patient(const std::string& Raw) {
    const TIdFields P = PatientFields(Raw);
    if (!Plus || !P.Structured) {
      for (const TWord& W : Words(P.Text)) {
        if (Unknown(W.Text)) continue;
        Text(R::PatientText, gfPatient, P.Text, W.Begin, "patient text that is not only X words");
        break;
      }
      return;
    }
    if (!Unknown(P.Sub[0].Text)) Given(R::PatientCode, gfPatient, P.Sub[0], "patient code");
    if (!Unknown(P.Sub[1].Text)) Given(R::PatientSex, gfPatient, P.Sub[1], "patient sex");
    if (!Unknown(P.Sub[2].Text)) Given(R::PatientBirthdate, gfPatient, P.Sub[2], "patient birthdate");
    if (!UnknownName(P.Sub[3].Text)) Given(R::PatientName, gfPatient, P.Sub[3], "patient name");
    if (P.Sub.size() > PatientSubfields)
      Text(R::PatientExtra, gfPatient, P.Text, P.Sub[PatientSubfields].Begin,
           "additional patient subfields after the name");
    if (!Unknown(P.Sub[0].Text)) Tokens.AddCode(P.Sub[0].Text, TTokenKind::PatientCode);
    Tokens.AddNameParts(P.Sub[3].Text);
  }

  void RecordingDate(const TIdSubfield& D) {
    if (AnonymousPlusDate(D.Text)) return;
    const auto Length = static_cast<int64_t>(D.Text.size());
    Add(R::StartDate, General(gfRecording), EDFGeneralFieldOffset(gfRecording) + static_cast<int64_t>(D.Begin), Length,
        "recording start date, " + Bytes(Length) + ", is a real day, neither X nor 01-JAN-1985");
  }

  // Plain files too are read by their subfields when they follow them: the
  // equipment is then known and not reported.
  void Recording(const std::string& Raw) {
    const TIdFields Rec = RecordingFields(Raw);
    if (Rec.Structured) {
      RecordingDate(Rec.Sub[1]);
      if (!Unknown(Rec.Sub[2].Text)) Given(R::RecordingAdminCode, gfRecording, Rec.Sub[2], "administration code");
      if (!UnknownName(Rec.Sub[3].Text)) Given(R::RecordingTechnician, gfRecording, Rec.Sub[3], "technician");
      if (Rec.Sub.size() > RecordingSubfields)
        Text(R::RecordingExtra, gfRecording, Rec.Text, Rec.Sub[RecordingSubfields].Begin,
             "additional recording subfields after the equipment");
      if (Plus && !Unknown(Rec.Sub[2].Text)) Tokens.AddCode(Rec.Sub[2].Text, TTokenKind::AdminCode);
      return;
    }
    const std::vector<TWord> W = Words(Rec.Text);
    size_t i = 0;
    if (i < W.size() && W[i].Text == "Startdate") ++i;
    if (i == 1 && i < W.size() && DateShaped(W[i].Text)) RecordingDate({W[i].Begin, W[i++].Text});
    for (; i < W.size(); ++i) {
      if (Unknown(W[i].Text)) continue;
      Text(R::RecordingExtra, gfRecording, Rec.Text, W[i].Begin, "recording text that is not only X words");
      break;
    }
  }

  void StartDate(const std::string& Raw) {
    const std::string_view D(Raw);
    if (D.find_first_not_of(' ') == std::string_view::npos || D.substr(0, 8) == "01.01.85") return;
    Add(R::StartDate, General(gfStartDate), EDFGeneralFieldOffset(gfStartDate), 8,
        "StartDate, 8 bytes, is a real day, not 01.01.85");
  }

  void NotAudited(const std::string& Message, int64_t Record = -1, int64_t Offset = -1) {
    Audited = false;
    NotAuditedWhy = Message;
    Add(R::Annotation, TWhere{TWhereKind::Annotation, -1, Record, -1}, Offset, 0, Message);
  }

  void Search(uint32_t Begin, uint32_t Size) {
    Matches.clear();
    Tokens.Find(std::string_view(reinterpret_cast<const char*>(FBlock) + Begin, Size), Matches);
    for (const TTokenMatch& M : Matches) {
      const int64_t At = FBase + Begin + static_cast<int64_t>(M.At);
      const auto Length = static_cast<int64_t>(M.Length);
      if (Req.KeepHits) Hits.push_back({FRecord, FSignal, At, Length, M.Kind});
      if (Counts[static_cast<size_t>(R::Annotation)] >= ConformanceListedPerRule) {
        ++Counts[static_cast<size_t>(R::Annotation)];
        continue;
      }
      Add(R::Annotation, TWhere{TWhereKind::Annotation, FSignal, FRecord, -1}, At, Length,
          std::string("annotation text holds ") + TokenKindText(M.Kind) + ", " + Bytes(Length));
    }
  }

  bool Plus = false;
  bool Audited = true;
  std::string NotAuditedWhy;
  std::vector<int> Annotations;
  std::array<int64_t, PrivacyRuleCount> Counts{};
  TFindings Listed;
  std::vector<TPrivacyHit> Hits;
  std::vector<TTokenMatch> Matches;
  int64_t FRecord = -1;
  int FSignal = -1;
  int64_t FBase = 0;
  const uint8_t* FBlock = nullptr;
  uint32_t FSize = 0;
};

TPrivacyAudit::TPrivacyAudit(const TCustomEDFFile& F, TPrivacyRequest Request)
    : FState(std::make_unique<TState>(F, std::move(Request))) {}
TPrivacyAudit::~TPrivacyAudit() = default;

bool TPrivacyAudit::WantsRecords() const { return FState->Wants; }
const TRecordLayout& TPrivacyAudit::Layout() const { return FState->Layout; }
const TPrivacyTokens& TPrivacyAudit::Tokens() const { return FState->Tokens; }

void TPrivacyAudit::OnRecord(int64_t Index, int64_t Position, const uint8_t* Bytes) {
  if (FState->Wants) FState->Record(Index, Position, Bytes);
}

TPrivacyReport TPrivacyAudit::Finish(const TScanOutcome& Outcome) { return FState->Finish(Outcome); }

TPrivacyReport AuditPrivacy(const TCustomEDFFile& F, TPrivacyRequest Request, const TScanProgress& Progress) {
  TPrivacyAudit Audit(F, std::move(Request));
  TScanOutcome Outcome;
  if (Audit.WantsRecords()) {
    TRecordVisitor* V[] = {&Audit};
    Outcome = ScanRecords(*F.Stream(), Audit.Layout(), V, Progress);
  }
  return Audit.Finish(Outcome);
}
