// Which signals the quality pass judges and what their headers tell it.
#include <algorithm>
#include <cmath>

#include "check/QualityDetail.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFSignalInfo.h"
#include "util/udStr.h"

namespace {

__extension__ typedef __int128 Wide;

std::string Lower(std::string S) {
  for (char& C : S)
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C - 'A' + 'a');
  return S;
}

bool IsAnnotationLabel(const std::string& Label) { return Label == "EDF Annotations" || Label == "BDF Annotations"; }

// A voltage: V with an optional n, u, m or k, in either case; the Latin-1
// micro sign (and its UTF-8 form) reads as u.
bool IsVoltage(std::string Unit) {
  if (Unit.rfind("\xC2\xB5", 0) == 0) Unit.replace(0, 2, "u");
  if (Unit.empty() || (Unit.back() != 'V' && Unit.back() != 'v')) return false;
  if (Unit.size() == 1) return true;
  if (Unit.size() != 2) return false;
  const auto P = static_cast<unsigned char>(Unit[0]);
  return P == 0xB5 || std::string("nNuUmMkK").find(static_cast<char>(P)) != std::string::npos;
}

// Status, Trigger..., Event..., Marker..., STI...: codes, not a waveform.
bool IsEventLabel(const std::string& Label) {
  const std::string L = Lower(Label);
  if (L == "status") return true;
  for (const char* Prefix : {"trigger", "event", "marker", "sti"})
    if (L.rfind(Prefix, 0) == 0) return true;
  return false;
}

int64_t CeilDiv(Wide A, Wide B) { return static_cast<int64_t>((A + B - 1) / B); }

}  // namespace

int64_t QualityNs(double Seconds) {
  if (!(Seconds > 0)) return 1;
  return Seconds >= 1e9 ? int64_t{1000000000} * 1000000000 : std::max<int64_t>(1, std::llround(Seconds * 1e9));
}

int64_t RecordDurationNs(const TCustomEDFFile& F) {
  const std::string Text = Trim(F.FileInfo()->OriginalHeader()[gfSampleRecDuration]);
  TExactTime D;
  if (ParseTalNumber(reinterpret_cast<const uint8_t*>(Text.data()), static_cast<uint32_t>(Text.size()), false, D)
              .Fault == TNumberFault::None) {
    if (D.Seconds > 1000000000) return 0;  // beyond any recording; keeps times inside 64 bits
    return D.Seconds * 1000000000 + D.Atto / 1000000000;
  }
  const long double Value = F.FileInfo()->SampleRecDuration();
  if (!F.FileInfo()->GetFieldValid(gfSampleRecDuration) || !(Value > 0) || Value > 1e9L) return 0;
  return std::llround(static_cast<double>(Value) * 1e9);
}

TQualityRole QualityRoleOf(const TCustomEDFFile& F, int Signal) {
  const TCustomEDFSignalInfo& S = *F.GetSignal(Signal);
  const std::string Label = Trim(S.RawHeader()[sfSignalLabel]);
  if (IsAnnotationLabel(Label)) return TQualityRole::Annotation;
  if (!S.GetFieldValid(sfNrSamples) || S.NrSamples() <= 0) return TQualityRole::Empty;
  const int64_t RecordNs = RecordDurationNs(F);
  // 10 Hz or more: N samples per record of D seconds.
  const bool Fast = RecordNs > 0 && Wide{S.NrSamples()} * 1000000000 >= Wide{10} * RecordNs;
  if (Fast && IsVoltage(Trim(S.RawHeader()[sfPhysidim])) && !IsEventLabel(Label)) return TQualityRole::Waveform;
  return TQualityRole::Ordinary;
}

TQualityValue TSignalFacts::ValueOf(int32_t Digital) const {
  TQualityValue V;
  V.Digital = Digital;
  V.Calibrated = Calibrated;
  if (Calibrated) {
    V.Physical = static_cast<double>(PhysiMin + static_cast<long double>(Digital - int64_t{DigiMin}) * Gain);
    V.Decimals = Decimals;
    V.Unit = Unit;
  }
  return V;
}

std::vector<TSignalFacts> SignalFactsOf(const TCustomEDFFile& F, const TQualityOptions& Options, int64_t RecordNs) {
  std::vector<TSignalFacts> All;
  int64_t Offset = 0;
  const int64_t SampleBytes = F.SampleBytes();
  const int64_t FlatNs = QualityNs(Options.FlatSeconds);
  const int64_t StretchNs = std::min(QualityNs(Options.TailSeconds), QualityNs(Options.DeadSeconds));
  for (int s = 0; s < F.SignalCount(); ++s) {
    const TCustomEDFSignalInfo& Info = *F.GetSignal(s);
    TSignalFacts S;
    S.Index = s;
    S.Label = TrimRight(Info.RawHeader()[sfSignalLabel]);
    S.Role = QualityRoleOf(F, s);
    S.N = Info.GetFieldValid(sfNrSamples) ? std::max<int64_t>(Info.NrSamples(), 0) : 0;
    S.Offset = Offset;
    Offset += S.N * SampleBytes;
    S.HasLimits = Info.GetFieldValid(sfDigimin) && Info.GetFieldValid(sfDigimax) && Info.Digimin() < Info.Digimax();
    S.DigiMin = Info.Digimin();
    S.DigiMax = Info.Digimax();
    S.Calibrated = Info.Calibrated();
    if (S.Calibrated) {
      S.Gain = Info.Gain();
      S.PhysiMin = Info.Physimin();
      // Enough decimals to tell neighbouring values apart.
      const double Step = std::fabs(static_cast<double>(S.Gain));
      S.Decimals = Step > 0 ? std::clamp(static_cast<int>(std::ceil(-std::log10(Step) - 1e-9)), 0, 6) : 1;
      std::string Unit = Trim(Info.RawHeader()[sfPhysidim]);
      if (Unit.rfind("\xC2\xB5", 0) == 0) Unit.replace(0, 2, "u");
      if (!Unit.empty() && static_cast<unsigned char>(Unit[0]) == 0xB5) Unit[0] = 'u';
      S.Unit = EscapeBytes(Unit);
    }
    if (S.Waveform()) {
      S.KFlat = std::max<int64_t>(1, CeilDiv(Wide{FlatNs} * S.N, RecordNs));
      S.KStretch = std::max<int64_t>(1, CeilDiv(Wide{StretchNs} * S.N, RecordNs));
      S.KMin = std::min(S.KFlat, S.KStretch);
    }
    All.push_back(std::move(S));
  }
  return All;
}

int ComparePoints(const TPoint& A, const TPoint& B) {
  const Wide L = Wide{A.Sample} * B.PerRecord;
  const Wide R = Wide{B.Sample} * A.PerRecord;
  return L < R ? -1 : L > R ? 1 : 0;
}

bool LastsAtLeast(const TPoint& A, const TPoint& B, int64_t RecordNs, int64_t Ns) {
  // (B - A) * RecordNs >= Ns, in whole numbers.
  const Wide Span = Wide{B.Sample} * A.PerRecord - Wide{A.Sample} * B.PerRecord;
  return Span * RecordNs >= Wide{Ns} * A.PerRecord * B.PerRecord;
}
