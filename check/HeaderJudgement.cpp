#include "check/HeaderJudgement.h"

#include <cstddef>

#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFSignalInfo.h"
#include "util/udStr.h"

namespace {

constexpr int PhysiMinField = 3;
constexpr int PhysiMaxField = 4;
constexpr int NrDataRecordsField = 7;
constexpr int SampleRecDurationField = 8;

// Characters 3 and 6 (1-based) must be '.', as in "dd.mm.yy" and "hh.nn.ss".
// A text shorter than 6 characters (the raw texts are empty when the file is
// shorter than 256 bytes) fails the test rather than being read beyond its end.
bool SeparatorsOk(const std::string& Raw) {
  return Raw.size() >= 6 && Raw[2] == '.' && Raw[5] == '.';
}

// Appends one reason: its first form when it is the first, else ", " and the
// rest after the lower-case lead letter.
void AddReason(std::string& R, char Lead, const char* Rest) {
  if (R.empty()) {
    R += Lead;
  } else {
    R += ", ";
    R += static_cast<char>(Lead - 'A' + 'a');
  }
  R += Rest;
}

TFieldView MakeView(const char* Caption, const std::string& Raw, const std::string& Reason) {
  TFieldView V;
  V.Caption = Caption;
  V.Raw = Raw;
  V.Shown = TrimRight(Raw);
  V.Reason = Reason;
  return V;
}

// The signal pane as it is while no signal is shown: captions only.
TSignalView EmptySignalView(int Index) {
  TSignalView V;
  V.Index = Index;
  for (size_t f = 0; f < V.Fields.size(); ++f) V.Fields[f].Caption = SignalFieldCaptions[f];
  return V;
}

void ShowFileHeader(TCustomEDFFile& F, THeaderJudgement& Out) {
  const TCustomEDFFileInfo& Info = *F.FileInfo();
  const auto& Raw = Info.OriginalHeader();
  for (size_t k = 0; k < Out.General.size(); ++k) {
    Out.General[k] = MakeView(GeneralFieldCaptions[k], Raw[k],
                              DescribeFieldFaults(Raw[k], GeneralSeparatorTest[k],
                                                  GeneralNumberTest[k]));
    if (!Info.FieldValid()[k]) Out.General[k].Mark = TFieldMark::Error;
  }
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

// The data record layout remarks, judged with strict checking off so that
// only the headers themselves decide whether the layout can be judged at all.
void JudgeRecordLayout(TEDFFile& F, THeaderJudgement& Out) {
  Out.DataBlockLine.clear();
  Out.DataBlockTooLarge = false;
  Out.DurationRemark.clear();
  Out.SizeRemark.clear();
  if (!F.IsValid()) return;

  // The planned length rather than the buffer's: the file object refuses to
  // allocate a buffer for an absurdly large record, and that record must still
  // be reported with its size. 64-bit, as a crafted header can exceed 32 bits.
  F.GetBuffer();
  const int64_t Samples = F.PlannedBufferLength();
  Out.DataBlockLine = "Datablock size = " + std::to_string(2 * Samples) + " bytes";
  const TEDFHeaderErrors Errors = F.HeaderErrors();
  if (Errors.Contains(heRecordTooLarge)) {
    Out.DataBlockTooLarge = true;
    Out.DataBlockLine += ", exceeds 61440";
    Out.Verdict = false;
  }
  if (Errors.Contains(heRecordTooShort)) {
    Out.DurationRemark = DurationRemarkText;
    Out.General[SampleRecDurationField].Mark = TFieldMark::Error;
    Out.Verdict = false;
  }
  // An unknown count cannot be compared with the file size: no size remark.
  if (Errors.Contains(heRecordCountUnknown)) {
    Out.General[NrDataRecordsField].Mark = TFieldMark::Error;
    Out.Verdict = false;
  } else if (Errors.Contains(heFileSizeMismatch)) {
    Out.General[NrDataRecordsField].Mark = TFieldMark::Error;
    Out.SizeRemark = SizeRemarkText;
    Out.Verdict = false;
  }
}

}  // namespace

std::string DescribeFieldFaults(const std::string& Raw, bool SeparatorTest, bool NumberTest) {
  std::string R;
  if (!IsLeftJustified(Raw)) R = "Not left justified";
  if (!IsAsciiPrintable(Raw)) AddReason(R, 'N', "ot ASCII printable");
  if (SeparatorTest && !SeparatorsOk(Raw)) AddReason(R, 'S', "eparators should be '.'");
  if (NumberTest && !IsNumber(Raw)) AddReason(R, 'N', "ot a number");
  return R;
}

TSignalView DescribeSignal(TCustomEDFFile& F, int Index) {
  TSignalView V = EmptySignalView(Index);
  if (Index < 0 || Index >= F.SignalCount()) return V;

  const TCustomEDFSignalInfo& S = *F.GetSignal(Index);
  V.InRange = true;
  V.PaneCaption = "Signal Header for signal " + std::to_string(Index + 1);
  const auto& Raw = S.RawHeader();
  for (size_t f = 0; f < V.Fields.size(); ++f) {
    const int Field = static_cast<int>(f);
    // Signal fields get only the justification and printable reasons.
    V.Fields[f] = MakeView(SignalFieldCaptions[f], Raw[f], DescribeFieldFaults(Raw[f], false, false));
    if (S.GetFieldValid(Field)) continue;
    if (Field == PhysiMinField || Field == PhysiMaxField) {
      // Both physical limits unusable means "not calibrated", a warning;
      // one bad limit next to a good one is an error.
      const int Partner = Field == PhysiMinField ? PhysiMaxField : PhysiMinField;
      V.Fields[f].Mark = S.GetFieldValid(Partner) ? TFieldMark::Error : TFieldMark::Warning;
    } else {
      V.Fields[f].Mark = TFieldMark::Error;
    }
  }
  if (!S.Calibrated()) V.CalibrationRemark = CalibrationRemarkText;
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

void JudgeOpenFile(TEDFFile& F, THeaderJudgement& Out) {
  Out = THeaderJudgement{};
  for (size_t k = 0; k < Out.General.size(); ++k) Out.General[k].Caption = GeneralFieldCaptions[k];
  Out.Signal = EmptySignalView(-1);

  F.SetReadOnly(true);
  F.SetStrict(true);
  F.SetActive(true);
  Out.Verdict = F.IsValid();
  ShowFileHeader(F, Out);
  ShowFirstSignal(F, Out);

  // From here on strict checking is switched back on however we leave, so
  // that later navigation always shows the strict rules.
  F.SetStrict(false);
  try {
    F.ReadHeaders();
    if (!F.HeaderErrors().Contains(heSignalHeader)) ShowSignal(F, 0, Out);
    JudgeRecordLayout(F, Out);
  } catch (...) {
    F.SetStrict(true);
    throw;
  }
  F.SetStrict(true);

  Out.VerdictText = Out.Verdict ? VerdictValidText : VerdictInvalidText;
}
