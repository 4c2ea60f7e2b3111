#include "check/QualityText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// Whole thousandths of X, rounded down; the tiny allowance keeps 0.3 s from
// printing as 0.299 s when the binary value lies a hair below.
int64_t Thousandths(double X) { return static_cast<int64_t>(std::floor(X * 1000.0 * (1 + 1e-12) + 1e-9)); }

// "3,599" + ".5": Milli thousandths with the zeros of the fraction dropped.
std::string Decimal(int64_t Milli) {
  std::string Text = QualityCount(Milli / 1000);
  if (const int64_t Fraction = Milli % 1000; Fraction != 0) {
    char Digits[8];
    std::snprintf(Digits, sizeof Digits, ".%03lld", static_cast<long long>(Fraction));
    std::string F = Digits;
    F.erase(F.find_last_not_of('0') + 1);
    Text += F;
  }
  return Text;
}

std::string Samples(int64_t N) { return QualityCount(N) + (N == 1 ? " sample" : " samples"); }

}  // namespace

std::string QualityCount(int64_t N) {
  const uint64_t Magnitude = N < 0 ? 0 - static_cast<uint64_t>(N) : static_cast<uint64_t>(N);
  std::string Digits = std::to_string(Magnitude);
  for (int i = static_cast<int>(Digits.size()) - 3; i > 0; i -= 3) Digits.insert(static_cast<size_t>(i), 1, ',');
  return N < 0 ? '-' + Digits : Digits;
}

std::string QualitySeconds(double Seconds) {
  const int64_t Milli = static_cast<int64_t>(std::llround(std::fabs(Seconds) * 1000.0));
  std::string Out = Seconds < 0 && Milli != 0 ? "-" : "";
  Out += Decimal(Milli);
  return Out + " s";
}

std::string QualityDuration(double Seconds) {
  const int64_t Milli = std::max<int64_t>(Thousandths(Seconds), 0);
  if (Milli < 60000) return Decimal(Milli) + " s";
  const int64_t Whole = Milli / 1000;
  if (Whole < 3600) {
    const int64_t S = Whole % 60;
    std::string Out = std::to_string(Whole / 60) + " min";
    if (S != 0) Out += ' ' + std::to_string(S) + " s";
    return Out;
  }
  const int64_t M = Whole % 3600 / 60;
  std::string Out = QualityCount(Whole / 3600) + " h";
  if (M != 0) Out += ' ' + std::to_string(M) + " min";
  return Out;
}

std::string QualityClock(double SecondsOfDay) {
  const int64_t S = ((Thousandths(SecondsOfDay) / 1000) % 86400 + 86400) % 86400;
  char Text[16];
  std::snprintf(Text, sizeof Text, "%02lld:%02lld:%02lld", static_cast<long long>(S / 3600),
                static_cast<long long>(S % 3600 / 60), static_cast<long long>(S % 60));
  return Text;
}

std::string QualityFrom(double Offset, double ClockStart) {
  if (ClockStart < 0) return "from " + QualitySeconds(Offset);
  return "from " + QualityClock(ClockStart + Offset) + " (" + QualitySeconds(Offset) + ")";
}

std::string QualityValueText(const TQualityValue& V) {
  std::string Text = std::to_string(V.Digital);
  if (!V.Calibrated) return Text;
  char Physical[64];
  // No "-0.0": a value that rounds to zero is zero.
  const double Shown = std::fabs(V.Physical) < 0.5 * std::pow(10.0, -V.Decimals) ? 0.0 : V.Physical;
  std::snprintf(Physical, sizeof Physical, "%.*f", V.Decimals, Shown);
  return Text + " (" + Physical + (V.Unit.empty() ? "" : " " + V.Unit) + ")";
}

std::string FlatSentence(const TQualityValue& V, double Duration, double Start, double ClockStart) {
  return "flat at " + QualityValueText(V) + " for " + QualityDuration(Duration) + " " + QualityFrom(Start, ClockStart);
}

std::string ClippedSentence(bool AtMax, const TQualityValue& V, int64_t N, double Duration, double Start,
                            double ClockStart) {
  return std::string("clipped at ") + (AtMax ? "DigiMax " : "DigiMin ") + QualityValueText(V) + " for " + Samples(N) +
         " (" + QualityDuration(Duration) + ") " + QualityFrom(Start, ClockStart);
}

std::string ConstantSentence(const TQualityValue& V, int64_t N, double Duration) {
  return "constant at " + QualityValueText(V) + " throughout: " + Samples(N) + " over " + QualityDuration(Duration);
}

std::string TailSentence(const TQualityValue& V, double Duration, double Start, double ClockStart) {
  return "every waveform signal constant until the recording ends, for " + QualityDuration(Duration) + " " +
         QualityFrom(Start, ClockStart) + "; this signal at " + QualityValueText(V);
}

std::string DeadSentence(const TQualityValue& V, double Duration, double Start, double ClockStart) {
  return "every waveform signal constant for " + QualityDuration(Duration) + " " + QualityFrom(Start, ClockStart) +
         "; this signal at " + QualityValueText(V);
}

bool QualitySummaryWanted(const TQualitySignal& S) {
  if (S.Role != TQualityRole::Ordinary && S.Role != TQualityRole::Waveform) return false;
  return S.Constant || S.FlatSeconds > 0 || S.ClippedSamples > 0 || S.UsableEpochs < S.Epochs;
}

std::string QualitySummaryLine(const TQualitySignal& S) {
  std::string Line = "signal " + std::to_string(S.Index + 1) + " (" + EscapeBytes(S.Label) + "): usable " +
                     std::to_string(S.Epochs > 0 ? S.UsableEpochs * 100 / S.Epochs : 0) + " % of " +
                     QualityCount(S.Epochs) + (S.Epochs == 1 ? " epoch" : " epochs");
  if (!S.Judged()) {
    if (S.Constant) Line += "; constant for " + QualityDuration(S.FlatSeconds);
    return Line + "; not a waveform signal";
  }
  Line += "; flat " + QualityDuration(S.FlatSeconds) + "; clipped " + QualityCount(S.ClippedSamples);
  if (S.ClippedSamples > 0) {
    const double Percent = S.ClippedShare * 100;
    char Share[32];
    if (Percent < 0.05)
      std::snprintf(Share, sizeof Share, " (<0.1 %%)");
    else
      std::snprintf(Share, sizeof Share, " (%.1f %%)", Percent);
    Line += Share;
  }
  return Line;
}

const char* EpochStateName(TEpochState State) {
  switch (State) {
    case TEpochState::OutOfRange: return "out of range";
    case TEpochState::Clipped: return "clipped";
    case TEpochState::Flat: return "flat";
    case TEpochState::TailDead: return "tail or dead";
    case TEpochState::Gap: return "gap";
    case TEpochState::Good: return "good";
    case TEpochState::NotJudged: return "not judged";
  }
  return "not judged";
}
