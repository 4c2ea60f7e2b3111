#include "check/HeaderJudgement.h"

#include <algorithm>
#include <cstddef>

#include "check/HeaderFindings.h"
#include "check/Rules.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFSignalInfo.h"
#include "util/udStr.h"

namespace {

bool IsField(const TFinding& F, TWhereKind Kind, int Signal, size_t Field) {
  return F.Where.Kind == Kind && F.Where.Signal == Signal && F.Where.Field == static_cast<int>(Field);
}

bool HasRule(const TFindings& Findings, TClassicRule Rule) {
  const std::string& Id = RuleOf(Rule).Id;
  return std::any_of(Findings.begin(), Findings.end(), [&](const TFinding& F) { return F.Rule == Id; });
}

// A field's box: its text, and the tool tip and mark its findings give.
TFieldView FieldView(const char* Caption, const std::string& Raw, const TFindings& Findings,
                     TWhereKind Kind, int Signal, size_t Field) {
  TFieldView V;
  V.Caption = Caption;
  V.Raw = Raw;
  V.Shown = TrimRight(Raw);
  TTipReasons Tips = trNone;
  for (const TFinding& F : Findings) {
    if (!IsField(F, Kind, Signal, Field)) continue;
    Tips = static_cast<TTipReasons>(Tips | F.Tips);
    if (F.Severity == TSeverity::Error) V.Mark = TFieldMark::Error;
    if (F.Severity == TSeverity::Warning && V.Mark == TFieldMark::None) V.Mark = TFieldMark::Warning;
    if (!V.Severity || F.Severity < *V.Severity) V.Severity = F.Severity;
  }
  V.Reason = TipText(Tips);
  return V;
}

void DeriveGeneralView(THeaderJudgement& Out, const TEDFRawFileHeader& Raw) {
  for (size_t k = 0; k < Out.General.size(); ++k)
    Out.General[k] = FieldView(EDFGeneralFields[k].Caption, Raw[k], Out.Findings,
                               TWhereKind::GeneralHeader, -1, k);
}

// The signal pane as it is while no signal is shown: captions only.
TSignalView EmptySignalView(int Index) {
  TSignalView V;
  V.Index = Index;
  for (size_t f = 0; f < V.Fields.size(); ++f) V.Fields[f].Caption = EDFSignalFields[f].Caption;
  return V;
}

void ShowSignal(TCustomEDFFile& F, int Index, THeaderJudgement& Out) {
  Out.ShownSignal = Index;
  Out.Signal = DescribeSignal(F, Index);
}

// The first signal to show: the first invalid one when a signal header is
// invalid, otherwise the first signal.
void ShowFirstSignal(TCustomEDFFile& F, THeaderJudgement& Out) {
  if (!F.HeaderErrors().Contains(heSignalHeader)) {
    ShowSignal(F, 0, Out);
    return;
  }
  const int Ns = F.FileInfo()->NrSignals();
  for (int i = 0; i < Ns; ++i) {
    if (!F.GetSignal(i)->IsValid()) {
      ShowSignal(F, i, Out);
      return;
    }
  }
}

// The data record layout, judged with strict checking off so that only the
// headers themselves decide whether the layout can be judged at all.
TFindings JudgeRecordLayout(TEDFFile& F, THeaderJudgement& Out) {
  if (!F.IsValid()) return {};
  // The planned length rather than the buffer's: the buffer is only allocated
  // when a record is read, and a crafted header's absurd record must still be
  // reported with its size. 64-bit, as a crafted header can exceed 32 bits.
  Out.DataBlockBytes = F.SampleBytes() * F.PlannedBufferLength();
  return LayoutFindings(F, *Out.DataBlockBytes);
}

// The remarks beside the boxes and under them, from the layout findings.
void DeriveRemarks(THeaderJudgement& Out) {
  Out.DataBlockLine.clear();
  const bool BeyondLimit = HasRule(Out.Findings, TClassicRule::RecordSize);
  const bool BeyondCap = HasRule(Out.Findings, TClassicRule::RecordCap);
  Out.DataBlockTooLarge = BeyondLimit || BeyondCap;
  if (Out.DataBlockBytes) {
    Out.DataBlockLine = "Datablock size = " + std::to_string(*Out.DataBlockBytes) + " bytes";
    if (BeyondLimit) Out.DataBlockLine += ", exceeds " + std::to_string(EDFMaxRecordBytes);
    if (BeyondCap)
      Out.DataBlockLine +=
          ", exceeds the " + std::to_string(MaxBdfDataBlockBytes) + "-byte limit this checker reads";
  }
  Out.DurationRemark = HasRule(Out.Findings, TClassicRule::RecordDuration) ? DurationRemarkText : "";
  Out.SizeRemark = HasRule(Out.Findings, TClassicRule::FileSize) ? SizeRemarkText : "";
}

// Every field of both headers valid, physical limits included (which the
// verdict forgives, but the lenient re-read would show differently).
bool EveryFieldValid(const TCustomEDFFile& F) {
  const TEDFHeaderErrors Opened = F.HeaderErrors();
  if (Opened.Contains(heGeneralHeader) || Opened.Contains(heSignalHeader)) return false;
  for (int i = 0; i < F.SignalCount(); ++i) {
    const TDynBooleanArray& Valid = F.GetSignal(i)->FieldValid();
    if (std::find(Valid.begin(), Valid.end(), false) != Valid.end()) return false;
  }
  return true;
}

// The signal findings under strict rules, then the layout's, and what the
// window derives from them.
void Conclude(TCustomEDFFile& F, THeaderJudgement& Out, const TFindings& Layout) {
  const int Ns = F.SignalCount();
  for (int i = 0; i < Ns; ++i) {
    TFindings Signal = SignalHeaderFindings(*F.GetSignal(i), i, Ns);
    Out.Findings.insert(Out.Findings.end(), Signal.begin(), Signal.end());
  }
  Out.Findings.insert(Out.Findings.end(), Layout.begin(), Layout.end());
  DeriveGeneralView(Out, F.FileInfo()->OriginalHeader());
  DeriveRemarks(Out);

  Out.Verdict = !HasErrors(Out.Findings);
  Out.VerdictText = VerdictText(Out.Format, Out.Verdict);
}

}  // namespace

static_assert(MaxBdfDataBlockBytes == TCustomEDFFile::MaxBufferSamples * BDFRules.SampleBytes);

const char* VerdictText(TEDFFormat Format, bool Valid) {
  if (Format == TEDFFormat::BDF) return Valid ? BdfVerdictValidText : BdfVerdictInvalidText;
  return Valid ? VerdictValidText : VerdictInvalidText;
}

std::string FormatName(const TCustomEDFFile& F) {
  const TEDFFormatRules& Rules = EDFFormatRules(F.Format());
  const std::string Plus = std::string(Rules.Name) + "+";
  const bool Structured = F.FileInfo() && F.FileInfo()->Reserved().rfind(Plus, 0) == 0;
  return Structured ? Plus : Rules.Name;
}

std::string DescribeFieldFaults(const std::string& Raw, bool SeparatorTest, bool NumberTest) {
  return TipText(FieldTips(Raw, SeparatorTest, NumberTest, ProcessFormatSettings().DecimalSeparator));
}

TSignalView DescribeSignal(TCustomEDFFile& F, int Index) {
  if (Index < 0 || Index >= F.SignalCount()) return EmptySignalView(Index);
  return SignalViewOf(F, Index, SignalHeaderFindings(*F.GetSignal(Index), Index, F.SignalCount()));
}

TSignalView SignalViewOf(const TCustomEDFFile& F, int Index, const TFindings& Findings) {
  TSignalView V = EmptySignalView(Index);
  if (Index < 0 || Index >= F.SignalCount()) return V;
  const TCustomEDFSignalInfo& S = *F.GetSignal(Index);
  V.InRange = true;
  V.PaneCaption = "Signal Header for signal " + std::to_string(Index + 1);
  for (size_t f = 0; f < V.Fields.size(); ++f)
    V.Fields[f] = FieldView(EDFSignalFields[f].Caption, S.RawHeader()[f], Findings,
                            TWhereKind::SignalHeader, Index, f);
  // A single unusable physical limit is the field at fault (red); both
  // unusable is a signal without calibration (both orange).
  for (const auto& [Field, Partner] : {std::pair{sfPhysimin, sfPhysimax}, std::pair{sfPhysimax, sfPhysimin}}) {
    TFieldView& Box = V.Fields[static_cast<size_t>(Field)];
    if (Box.Mark == TFieldMark::Warning && V.Fields[static_cast<size_t>(Partner)].Mark == TFieldMark::None)
      Box.Mark = TFieldMark::Error;
  }
  const std::string& Calibration = RuleOf(TClassicRule::Calibration).Id;
  for (const TFinding& Finding : Findings)
    if (Finding.Rule == Calibration && Finding.Where.Signal == Index) V.CalibrationRemark = CalibrationRemarkText;
  V.PreviousEnabled = Index > 0;
  V.NextEnabled = Index < F.FileInfo()->NrSignals() - 1;
  return V;
}

std::vector<TSignalView> DescribeAllSignals(TCustomEDFFile& F) {
  std::vector<TSignalView> All;
  All.reserve(static_cast<size_t>(F.SignalCount()));
  for (int i = 0; i < F.SignalCount(); ++i) All.push_back(DescribeSignal(F, i));
  return All;
}

std::vector<TSignalView> SignalViewsOf(const TCustomEDFFile& F, const TFindings& Findings) {
  // Each signal's findings gathered in one walk, so a file of many signals
  // costs no more per signal than a file of one.
  std::vector<TFindings> BySignal(static_cast<size_t>(F.SignalCount()));
  for (const TFinding& Finding : Findings)
    if (Finding.Where.Kind == TWhereKind::SignalHeader && Finding.Where.Signal >= 0 &&
        Finding.Where.Signal < F.SignalCount())
      BySignal[static_cast<size_t>(Finding.Where.Signal)].push_back(Finding);
  std::vector<TSignalView> All;
  All.reserve(BySignal.size());
  for (int i = 0; i < F.SignalCount(); ++i) All.push_back(SignalViewOf(F, i, BySignal[static_cast<size_t>(i)]));
  return All;
}

void JudgeOpenFile(TEDFFile& F, THeaderJudgement& Out, bool PaneViews, TJudgeRoute Route) {
  Out = THeaderJudgement{};
  for (size_t k = 0; k < Out.General.size(); ++k) Out.General[k].Caption = EDFGeneralFields[k].Caption;
  Out.Signal = EmptySignalView(-1);

  F.SetReadOnly(true);
  F.SetStrict(true);
  // One size for the whole judgement, however often its steps ask.
  struct TSizeHold {
    TEDFFile& F;
    explicit TSizeHold(TEDFFile& File) : F(File) { F.HoldFileSize(true); }
    ~TSizeHold() { F.HoldFileSize(false); }
  } Hold(F);
  F.SetActive(true);
  Out.Format = F.Format();
  Out.FormatName = FormatName(F);
  // Under strict rules this also records the whole-file faults in the header errors.
  F.IsValid();
  Out.Findings = GeneralHeaderFindings(*F.FileInfo());
  DeriveGeneralView(Out, F.FileInfo()->OriginalHeader());
  if (PaneViews) ShowFirstSignal(F, Out);

  // Strict rules only add faults to what the lenient ones find, so headers
  // without a faulty field under strict rules give the very same records when
  // read leniently: the lenient re-read and the strict re-parse after it can
  // be skipped. Only the record count Open derived from the file size goes
  // back to the header's own, where the re-parse would put it.
  if (Route == TJudgeRoute::Shortest && EveryFieldValid(F)) {
    F.FileInfo()->RestoreParsedNrDataRecords();
    Out.DataBlockBytes = F.SampleBytes() * F.PlannedBufferLength();
    Conclude(F, Out, LayoutFindings(F, *Out.DataBlockBytes));
    return;
  }

  // From here on strict checking is switched back on however we leave, so
  // that later navigation always shows the strict rules.
  TFindings Layout;
  try {
    F.ReadHeadersUnder(false);
    if (PaneViews && !F.HeaderErrors().Contains(heSignalHeader)) ShowSignal(F, 0, Out);
    Layout = JudgeRecordLayout(F, Out);
  } catch (...) {
    F.SetStrict(true);
    throw;
  }
  F.SetStrict(true);
  Conclude(F, Out, Layout);
}
