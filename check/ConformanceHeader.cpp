// The header layer of the conformance check: the EDF+ mark, the annotation
// signals' fields, the identification subfields, labels and record duration
// (a record's size is the header judgement's, layout.record.size). Everything
// is judged on the raw texts as read, so a field that the classic rules
// reject (a BDF version, a 24-bit digital range) is still read.
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>

#include "check/ConformanceDetail.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"
#include "edf/uEDFSignalInfo.h"
#include "util/uCalendar.h"
#include "util/udStr.h"

namespace {

using R = TConformanceRule;

constexpr size_t MaxExcerpt = 24;

std::string Clip(std::string_view Text) { return std::string(Text.substr(0, MaxExcerpt)); }
// The quote of Clip(Text), ending in ... when bytes were left out.
std::string QuoteClip(std::string_view Text) { return QuoteExcerpt(Clip(Text), false, Text.size() > MaxExcerpt); }

// Trailing blanks removed (only blanks: other bytes are the text's own).
std::string_view WithoutTrailingBlanks(std::string_view Text) {
  const size_t End = Text.find_last_not_of(' ');
  return End == std::string_view::npos ? std::string_view{} : Text.substr(0, End + 1);
}

// Index of the first byte that is not a blank, or npos.
size_t FirstNonBlank(std::string_view Text) { return Text.find_first_not_of(' '); }

// A plain decimal integer ("-32768"), nothing else.
bool DecimalInteger(std::string_view Text, int64_t& Value) {
  size_t i = 0;
  const bool Negative = !Text.empty() && Text[0] == '-';
  if (!Text.empty() && (Text[0] == '-' || Text[0] == '+')) i = 1;
  if (i == Text.size() || Text.size() - i > 18) return false;
  int64_t V = 0;
  for (; i < Text.size(); ++i) {
    if (Text[i] < '0' || Text[i] > '9') return false;
    V = V * 10 + (Text[i] - '0');
  }
  Value = Negative ? -V : V;
  return true;
}

// A subfield of an identification text: where it starts in the field.
struct TSubfield {
  size_t Begin = 0;
  std::string_view Text;
};

// Splits at each blank; an empty subfield stands for two blanks in a row
// (or a leading blank).
std::vector<TSubfield> Subfields(std::string_view Text) {
  std::vector<TSubfield> Out;
  size_t Begin = 0;
  for (size_t i = 0; i <= Text.size(); ++i) {
    if (i == Text.size() || Text[i] == ' ') {
      Out.push_back({Begin, Text.substr(Begin, i - Begin)});
      Begin = i + 1;
    }
  }
  return Out;
}

// "the birthdate and the name"
std::string JoinNames(const std::vector<const char*>& Names) {
  std::string Out;
  for (size_t i = 0; i < Names.size(); ++i) {
    if (i > 0) Out += i + 1 == Names.size() ? " and " : ", ";
    Out += Names[i];
  }
  return Out;
}

enum class TDateFault { None, Layout, Month, Calendar };

struct TDateCheck {
  TDateFault Fault = TDateFault::None;
  size_t At = 0;  // the offending byte inside the subfield
  int Year = 0, Month = 0, Day = 0;
};

constexpr std::array<const char*, 12> Months = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// dd-MMM-yyyy with an upper-case English month, and a calendar date.
TDateCheck CheckPlusDate(std::string_view S) {
  constexpr std::string_view Shape = "99-AAA-9999";  // 9 a digit, A an upper-case letter
  TDateCheck C;
  for (size_t i = 0; i < std::min(S.size(), Shape.size()); ++i) {
    const char Want = Shape[i];
    const bool Ok = Want == '9' ? (S[i] >= '0' && S[i] <= '9')
                                : Want == 'A' ? (S[i] >= 'A' && S[i] <= 'Z') : S[i] == Want;
    if (!Ok) return {TDateFault::Layout, i};
  }
  if (S.size() != Shape.size()) return {TDateFault::Layout, std::min(S.size(), Shape.size())};
  const auto Month = std::find(Months.begin(), Months.end(), S.substr(3, 3));
  if (Month == Months.end()) return {TDateFault::Month, 3};
  C.Day = (S[0] - '0') * 10 + (S[1] - '0');
  C.Month = static_cast<int>(Month - Months.begin()) + 1;
  C.Year = std::stoi(std::string(S.substr(7, 4)));
  if (!IsValidDate(static_cast<uint16_t>(C.Year), static_cast<uint16_t>(C.Month), static_cast<uint16_t>(C.Day)))
    C.Fault = TDateFault::Calendar;
  return C;
}

std::string PlusDateText(int Year, int Month, int Day) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "%02d-%s-%04d", Day, Months[static_cast<size_t>(Month - 1)], Year);
  return Text;
}

class THeaderJudge {
public:
  THeaderJudge(const TCustomEDFFile& F, TConformanceSink& Sink, TConformanceContext& Context)
      : F(F), Info(*F.FileInfo()), Raw(Info.OriginalHeader()), Sink(Sink), Ctx(Context), Ns(F.SignalCount()) {}

  void Run() {
    Ctx.Format = EDFFormatOf(Raw[gfVersion]);
    Prefix = Ctx.Format == TEDFFormat::BDF ? "BDF" : "EDF";
    Label = Prefix + " Annotations";
    Reserved();
    Labels();
    Duration();
    if (Ctx.Plus == TPlusKind::None) return;
    if (Ctx.Annotations.empty() && !NearMiss) {
      Add(R::HeaderNoAnnotations, General(gfReserved), EDFGeneralFieldOffset(gfReserved), 5,
          Clip(WithoutTrailingBlanks(Raw[gfReserved])),
          "Reserved " + QuoteClip(WithoutTrailingBlanks(Raw[gfReserved])) + " marks the file " + Prefix +
              "+ but no signal is labelled " + Label + ": every " + Prefix +
              "+ file has one, it holds the records' start times");
    }
    for (const int s : Ctx.Annotations) AnnotationFields(s);
    Signals();
    Patient();
    Recording();
  }

private:
  static TWhere General(int Field) { return TWhere{TWhereKind::GeneralHeader, -1, -1, Field}; }
  static TWhere Signal(int S, int Field) { return TWhere{TWhereKind::SignalHeader, S, -1, Field}; }

  void Add(R Rule, const TWhere& Where, int64_t Offset, int64_t Length, std::string Excerpt,
           const std::string& Message) {
    if (Sink.Listing(Rule)) Sink.Add(Rule, Where, Offset, Length, std::move(Excerpt), Message);
  }

  const std::string& SignalRaw(int S, int Field) const {
    return F.GetSignal(S)->RawHeader()[static_cast<size_t>(Field)];
  }
  int64_t SignalOffset(int S, int Field) const { return EDFSignalFieldOffset(Field, S, Ns); }

  void Reserved() {
    const std::string& Text = Raw[gfReserved];
    const std::string Head = UpperCaseAscii(Text.substr(0, 4));
    const int64_t Base = EDFGeneralFieldOffset(gfReserved);
    const std::string Shown = Clip(WithoutTrailingBlanks(Text));
    const std::string Quoted = QuoteClip(WithoutTrailingBlanks(Text));
    if (Head != "EDF+" && Head != "BDF+") {
      if (Ctx.Format == TEDFFormat::BDF && WithoutTrailingBlanks(Text) != "24BIT")
        Add(R::HeaderBdfReserved, General(gfReserved), Base, 5, Shown,
            "Reserved " + Quoted + " of a BDF file does not read 24BIT");
      return;
    }
    const std::string Want = Prefix + "+";
    const char Letter = Text.size() > 4 ? Text[4] : ' ';
    Ctx.Plus = (Letter == 'C' || Letter == 'c') ? TPlusKind::Continuous : TPlusKind::Discontinuous;
    if (Head.compare(0, 3, Prefix) != 0) {
      Add(R::HeaderReserved, General(gfReserved), Base, 4, Shown,
          "Reserved " + Quoted + " marks a " + Head.substr(0, 3) + "+ file, but the version byte makes it " +
              Prefix + ": it must start with " + Prefix + "+C or " + Prefix + "+D");
      return;
    }
    size_t At = 0;
    while (At < 4 && Text[At] == Want[At]) ++At;
    if (At == 4 && (Letter == 'C' || Letter == 'D')) return;
    Add(R::HeaderReserved, General(gfReserved), Base + static_cast<int64_t>(At), 1, Shown,
        "Reserved " + Quoted + " starts with " + Head + " but not with " + Prefix + "+C or " + Prefix +
            "+D in upper case");
  }

  // A label that readers would not take for the annotation label although
  // it was meant as one: letter case, a missing s, blanks, the other family.
  static bool NearMissLabel(std::string_view Raw16) {
    std::string Key;
    for (const char C : Raw16)
      if (C != ' ' && C != '_' && C != '-') Key += static_cast<char>(C >= 'A' && C <= 'Z' ? C - 'A' + 'a' : C);
    return Key == "edfannotations" || Key == "edfannotation" || Key == "bdfannotations" || Key == "bdfannotation";
  }

  void Labels() {
    const std::string Exact = PadRight(Label, 16);
    std::vector<int> NearMisses;
    for (int s = 0; s < Ns; ++s) {
      const std::string& L = SignalRaw(s, sfSignalLabel);
      if (L == Exact)
        Ctx.Annotations.push_back(s);
      else if (NearMissLabel(L))
        NearMisses.push_back(s);
    }
    NearMiss = !NearMisses.empty();
    if (Ctx.Plus == TPlusKind::None) {
      for (const int s : Ctx.Annotations)
        Add(R::HeaderPlainLabel, Signal(s, sfSignalLabel), SignalOffset(s, sfSignalLabel), 16, Label,
            "signal " + std::to_string(s + 1) + " is labelled " + Label + " but Reserved " +
                QuoteClip(WithoutTrailingBlanks(Raw[gfReserved])) + " does not mark the file " + Prefix +
                "+ (" + Prefix + "+C or " + Prefix + "+D): readers differ on whether it holds annotations");
      return;
    }
    for (const int s : NearMisses) {
      const std::string& L = SignalRaw(s, sfSignalLabel);
      size_t At = 0;
      while (At < 16 && At < L.size() && L[At] == Exact[At]) ++At;
      const std::string Shown = std::string(WithoutTrailingBlanks(L));
      Add(R::AnnotationLabel, Signal(s, sfSignalLabel), SignalOffset(s, sfSignalLabel) + static_cast<int64_t>(At), 1,
          Shown,
          "label " + QuoteExcerpt(Shown) + " of signal " + std::to_string(s + 1) + " nearly reads " + Label +
              ": readers take it for an ordinary signal and miss its annotations");
    }
  }

  // One annotation-signal field that must be blank.
  void Blank(int S, int Field, R Rule, const char* Caption) {
    const std::string& Text = SignalRaw(S, Field);
    const size_t At = FirstNonBlank(Text);
    if (At == std::string::npos) return;
    const std::string_view Rest = WithoutTrailingBlanks(Text).substr(At);
    Add(Rule, Signal(S, Field), SignalOffset(S, Field) + static_cast<int64_t>(At), 1, Clip(Rest),
        std::string(Caption) + " " + QuoteClip(Rest) + " of annotation signal " + std::to_string(S + 1) +
            " is not blank");
  }

  void Digital(int S, int Field, int64_t Want) {
    const std::string Text = Trim(SignalRaw(S, Field));
    int64_t Value = 0;
    if (DecimalInteger(Text, Value) && Value == Want) return;
    const char* Caption = EDFSignalFields[static_cast<size_t>(Field)].Caption;
    Add(R::AnnotationDigital, Signal(S, Field), SignalOffset(S, Field), 8, Clip(Text),
        std::string(Caption) + " " + QuoteExcerpt(Text) + " of annotation signal " + std::to_string(S + 1) +
            " is not " + std::to_string(Want) + ": " + Prefix + " Annotations span the whole " +
            (Ctx.Format == TEDFFormat::BDF ? "24" : "16") + "-bit range");
  }

  void AnnotationFields(int S) {
    Blank(S, sfTransducertype, R::AnnotationTransducer, "TransducerType");
    Blank(S, sfPhysidim, R::AnnotationPhysidim, "PhysiDim");
    Blank(S, sfPrefilter, R::AnnotationPrefilter, "PreFilter");
    const bool Bdf = Ctx.Format == TEDFFormat::BDF;
    Digital(S, sfDigimin, Bdf ? -8388608 : -32768);
    Digital(S, sfDigimax, Bdf ? 8388607 : 32767);
  }

  bool IsAnnotation(int S) const {
    return std::find(Ctx.Annotations.begin(), Ctx.Annotations.end(), S) != Ctx.Annotations.end();
  }

  void Signals() {
    std::unordered_map<std::string, int> Seen;
    for (int s = 0; s < Ns; ++s) {
      const std::string Min = Trim(SignalRaw(s, sfPhysimin));
      const std::string Max = Trim(SignalRaw(s, sfPhysimax));
      if (IsValidFloatFormat(Min, '.', '\0') && IsValidFloatFormat(Max, '.', '\0') &&
          StrToFloatSep(Min, '.', '\0') == StrToFloatSep(Max, '.', '\0'))
        Add(R::SignalPhysRange, Signal(s, sfPhysimax), SignalOffset(s, sfPhysimax), 8, Clip(Max),
            "PhysiMax " + QuoteExcerpt(Max) + " of signal " + std::to_string(s + 1) + " equals PhysiMin " +
                QuoteExcerpt(Min) + ": the physical range is empty");
      const std::string L = TrimRight(SignalRaw(s, sfSignalLabel));
      if (!IsAnnotation(s) && !L.empty()) {
        const auto [It, New] = Seen.emplace(L, s);
        if (!New)
          Add(R::SignalDuplicate, Signal(s, sfSignalLabel), SignalOffset(s, sfSignalLabel), 16, Clip(L),
              "label " + QuoteExcerpt(L) + " of signal " + std::to_string(s + 1) + " is also the label of signal " +
                  std::to_string(It->second + 1));
      }
      const std::string& Res = SignalRaw(s, sfReserved);
      const size_t At = FirstNonBlank(Res);
      if (At != std::string::npos) {
        const std::string_view Rest = WithoutTrailingBlanks(Res).substr(At);
        Add(R::SignalReserved, Signal(s, sfReserved), SignalOffset(s, sfReserved) + static_cast<int64_t>(At), 1,
            Clip(Rest), "Reserved " + QuoteClip(Rest) + " of signal " + std::to_string(s + 1) + " is not blank");
      }
    }
  }

  void Duration() {
    const std::string Text = Trim(Raw[gfSampleRecDuration]);
    TExactTime D;
    const auto* Bytes = reinterpret_cast<const uint8_t*>(Text.data());
    if (ParseTalNumber(Bytes, static_cast<uint32_t>(Text.size()), false, D).Fault == TNumberFault::None) {
      Ctx.DurationKnown = true;
      Ctx.Duration = D;
    }
    int64_t Fastest = 0;
    int Ordinary = 0;
    for (int s = 0; s < Ns; ++s) {
      if (IsAnnotation(s)) continue;
      ++Ordinary;
      int64_t N = 0;
      if (DecimalInteger(Trim(SignalRaw(s, sfNrSamples)), N)) Fastest = std::max(Fastest, N);
    }
    const long double Seconds = Ctx.Duration.Approx();
    Ctx.SamplePeriod = Fastest > 0 ? Seconds / static_cast<long double>(Fastest) : Seconds;
    Ctx.NoiseBelow = Ctx.SamplePeriod / 1000.0L;
    if (Ctx.Plus != TPlusKind::None && Ctx.DurationKnown && D.IsZero() && Ordinary > 0)
      Add(R::HeaderDuration, General(gfSampleRecDuration), EDFGeneralFieldOffset(gfSampleRecDuration), 8, Clip(Text),
          "SampleRecDuration " + QuoteExcerpt(Text) + " with " + std::to_string(Ordinary) +
              (Ordinary == 1 ? " signal" : " signals") + " other than annotations must be above 0: only "
              "annotation-only files have records of 0 s");
  }

  void Patient() {
    const int64_t Base = EDFGeneralFieldOffset(gfPatient);
    const std::string_view Text = WithoutTrailingBlanks(Raw[gfPatient]);
    const TWhere Where = General(gfPatient);
    if (Text.empty()) {
      Add(R::PatientCount, Where, Base, 80, "",
          "Patient is blank: EDF+ needs code, sex, birthdate and name, X when unknown");
      return;
    }
    const std::vector<TSubfield> Sub = Subfields(Text);
    constexpr std::array<const char*, 4> Names = {"the code", "the sex", "the birthdate", "the name"};
    if (EmptySubfield(Sub, Text, Base, Where, R::PatientCount, "Patient", {Names.begin(), Names.end()})) return;
    const int64_t End = Base + static_cast<int64_t>(std::min<size_t>(Text.size(), 79));
    if (Sub.size() == 3) {
      Add(R::PatientName, Where, End, 1, Clip(Text),
          "Patient " + QuoteExcerpt(std::string(Text)) + " ends after the birthdate: the name is missing (X when "
          "unknown)");
    } else if (Sub.size() < Names.size()) {
      std::vector<const char*> Missing(Names.begin() + static_cast<std::ptrdiff_t>(Sub.size()), Names.end());
      Add(R::PatientCount, Where, End, 1, Clip(Text),
          "Patient " + QuoteExcerpt(std::string(Text)) + " holds " + std::to_string(Sub.size()) + " of 4 subfields: " +
              JoinNames(Missing) + (Missing.size() == 1 ? " is" : " are") + " missing (X when unknown)");
    }
    if (Sub.size() >= 2) {
      const TSubfield& Sex = Sub[1];
      if (Sex.Text != "M" && Sex.Text != "F" && Sex.Text != "X")
        Add(R::PatientSex, Where, Base + static_cast<int64_t>(Sex.Begin), static_cast<int64_t>(Sex.Text.size()),
            Clip(Sex.Text), "sex " + QuoteExcerpt(std::string(Sex.Text)) + " is not M, F or X");
    }
    if (Sub.size() >= 3 && Sub[2].Text != "X") {
      const TSubfield& Birth = Sub[2];
      const TDateCheck C = CheckPlusDate(Birth.Text);
      const std::string Shown = QuoteExcerpt(std::string(Birth.Text));
      const int64_t At = Base + static_cast<int64_t>(Birth.Begin + C.At);
      if (C.Fault == TDateFault::Layout)
        Add(R::PatientBirthdate, Where, At, 1, Clip(Birth.Text),
            "birthdate " + Shown + " is not dd-MMM-yyyy with an upper-case English month, nor X");
      else if (C.Fault == TDateFault::Month)
        Add(R::PatientBirthdate, Where, At, 3, Clip(Birth.Text),
            "birthdate " + Shown + " has no English month (JAN..DEC)");
      else if (C.Fault == TDateFault::Calendar)
        Add(R::PatientCalendar, Where, At, 11, Clip(Birth.Text), "birthdate " + Shown + " is not a calendar date");
    }
  }

  // The first empty subfield (two blanks in a row, or a leading blank): it
  // shifts every later subfield, so they are not judged.
  bool EmptySubfield(const std::vector<TSubfield>& Sub, std::string_view Text, int64_t Base, const TWhere& Where,
                     R Rule, const char* Field, const std::vector<const char*>& Names) {
    for (size_t i = 0; i < Sub.size(); ++i) {
      if (!Sub[i].Text.empty()) continue;
      const std::string Name = i < Names.size() ? Names[i] : "a further subfield";
      Add(Rule, Where, Base + static_cast<int64_t>(Sub[i].Begin), 1, Clip(Text),
          std::string(Field) + " " + QuoteClip(Text) + " has an empty subfield where " + Name +
              " stands (two blanks in a row or a leading blank): subfields are separated by single blanks");
      return true;
    }
    return false;
  }

  void Recording() {
    const int64_t Base = EDFGeneralFieldOffset(gfRecording);
    const std::string_view Text = WithoutTrailingBlanks(Raw[gfRecording]);
    const TWhere Where = General(gfRecording);
    const std::vector<TSubfield> Sub = Subfields(Text);
    const std::string_view First = Sub.front().Text;
    if (First != "Startdate") {
      const std::string_view Want = "Startdate";
      size_t At = 0;
      while (At < First.size() && At < Want.size() && First[At] == Want[At]) ++At;
      const std::string Shown = Clip(First);
      Add(R::RecordingStartdate, Where, Base + static_cast<int64_t>(At), 1, Shown,
          Text.empty() ? std::string("Recording is blank: EDF+ starts it with the word Startdate")
                       : "Recording starts with " + QuoteClip(First) + ", not with the word Startdate");
      if (UpperCaseAscii(std::string(First)) != "STARTDATE") return;
    }
    constexpr std::array<const char*, 5> Names = {"Startdate", "the start date", "the administration code",
                                                  "the technician", "the equipment"};
    if (EmptySubfield(Sub, Text, Base, Where, R::RecordingCount, "Recording", {Names.begin(), Names.end()})) return;
    if (Sub.size() < Names.size()) {
      std::vector<const char*> Missing(Names.begin() + static_cast<std::ptrdiff_t>(Sub.size()), Names.end());
      const int64_t At = Base + static_cast<int64_t>(std::min<size_t>(Text.size(), 79));
      Add(R::RecordingCount, Where, At, 1, Clip(Text),
          "Recording " + QuoteExcerpt(std::string(Text)) + " holds " + std::to_string(Sub.size()) +
              " of 5 subfields: " + JoinNames(Missing) + (Missing.size() == 1 ? " is" : " are") +
              " missing (X when unknown)");
    }
    if (Sub.size() < 2 || Sub[1].Text == "X") return;
    const TSubfield& Date = Sub[1];
    const TDateCheck C = CheckPlusDate(Date.Text);
    const std::string Shown = QuoteExcerpt(std::string(Date.Text));
    const int64_t At = Base + static_cast<int64_t>(Date.Begin);
    switch (C.Fault) {
      case TDateFault::Layout:
        Add(R::RecordingDate, Where, At + static_cast<int64_t>(C.At), 1, Clip(Date.Text),
            "start date " + Shown + " is not dd-MMM-yyyy with an upper-case English month, nor X");
        return;
      case TDateFault::Month:
        Add(R::RecordingDate, Where, At + 3, 3, Clip(Date.Text),
            "start date " + Shown + " has no English month (JAN..DEC)");
        return;
      case TDateFault::Calendar:
        Add(R::RecordingDate, Where, At, 11, Clip(Date.Text), "start date " + Shown + " is not a calendar date");
        return;
      case TDateFault::None: break;
    }
    if (C.Year < EDFFirstYear) {
      Add(R::RecordingYear, Where, At + 7, 4, Clip(Date.Text),
          "start date " + Shown + " lies before " + std::to_string(EDFFirstYear) + ", the first year of EDF+");
      return;
    }
    // The header's dd.mm.yy, its two-digit year in the fixed window.
    const std::string& H = Raw[gfStartDate];
    if (H.size() < 8 || !HasDateLayout(H.substr(0, 8), '.')) return;
    const int Day = std::stoi(H.substr(0, 2)), Month = std::stoi(H.substr(3, 2)), Yy = std::stoi(H.substr(6, 2));
    const int Year = EDFYear(Yy);
    if (C.Year == Year && C.Month == Month && C.Day == Day) return;
    Add(R::RecordingSameDay, Where, At, 11, Clip(Date.Text),
        "start date " + Shown + " is not the day of StartDate " + H.substr(0, 8) + " (" +
            (IsValidDate(static_cast<uint16_t>(Year), static_cast<uint16_t>(Month), static_cast<uint16_t>(Day))
                 ? PlusDateText(Year, Month, Day)
                 : std::string("no calendar date")) +
            ")");
  }

  const TCustomEDFFile& F;
  const TCustomEDFFileInfo& Info;
  const TEDFRawFileHeader& Raw;
  TConformanceSink& Sink;
  TConformanceContext& Ctx;
  const int Ns;
  std::string Prefix;
  std::string Label;
  bool NearMiss = false;
};

}  // namespace

std::string QuoteExcerpt(const std::string& Bytes, bool CutBefore, bool CutAfter) {
  return std::string(CutBefore ? "\"..." : "\"") + EscapeBytes(Bytes) + (CutAfter ? "...\"" : "\"");
}

void JudgeConformanceHeader(const TCustomEDFFile& F, TConformanceSink& Sink, TConformanceContext& Context) {
  if (F.FileInfo() == nullptr) return;  // never opened: no header to judge
  THeaderJudge(F, Sink, Context).Run();
}
