#include "repair/RepairFixes.h"

#include <algorithm>
#include <array>
#include <string_view>
#include <vector>

#include "check/RuleRefusals.h"
#include "check/Rules.h"
#include "util/udStr.h"

namespace {

bool StartsWith(std::string_view S, std::string_view Prefix) { return S.substr(0, Prefix.size()) == Prefix; }

bool IsGeneral(const TWhere& W, int Field) { return W.Kind == TWhereKind::GeneralHeader && W.Field == Field; }

// The class of bytes that readers trim: blanks and control bytes.
bool Trimmed(char C) { return static_cast<unsigned char>(C) <= 32; }

std::string Shown(const std::string& Raw) {
  const size_t End = Raw.find_last_not_of(' ');
  return QuoteIfNeeded(End == std::string::npos ? std::string() : Raw.substr(0, End + 1));
}

std::string Count(int64_t N, const char* Noun) {
  return std::to_string(N) + " " + Noun + (N == 1 ? "" : "s");
}

// The registry says which mend answers each rule; a fault that none answers
// is left as found.
using TWays = unsigned;
constexpr TWays Bit(TRepairWay Way) { return Way == TRepairWay::None ? 0u : 1u << static_cast<unsigned>(Way); }

TRepairWay WayOf(const TFinding& F) { return RuleOf(F).Repair; }

// The first finding of the group that Way answers.
const TFinding& AnsweredBy(const TFaultGroup& G, TRepairWay Way) {
  for (const TFinding& F : G.Findings)
    if (WayOf(F) == Way) return F;
  return G.Findings.front();
}

TFieldFix Refuse(std::string Reason) {
  TFieldFix Fix;
  Fix.Outcome = TFixOutcome::Refuse;
  Fix.Reason = std::move(Reason);
  return Fix;
}

TFieldFix Change(const TFaultGroup& G, const std::string& Text, std::string Why) {
  TFieldFix Fix;
  Fix.Outcome = TFixOutcome::Change;
  Fix.New = FormatField(true, Text, G.Width);
  Fix.Why = std::move(Why);
  return Fix;
}

// Another reading of the data block: NrDataRecords as declared, and one
// signal's NrSamples changed so that the records fill the block exactly.
// "" when no single NrSamples can do that.
std::string OtherReading(const TRepairContext& C, int64_t Declared, int64_t Data) {
  if (Declared < 1 || Data % Declared != 0 || C.SampleBytes < 1) return "";
  const int64_t Delta = Data / Declared - C.RecordBytes;
  if (Delta == 0 || Delta % C.SampleBytes != 0) return "";
  const int64_t By = Delta / C.SampleBytes;
  std::vector<std::string> Readings;
  for (size_t s = 0; s < C.NrSamples.size(); ++s) {
    const int64_t N = C.NrSamples[s] + By;
    if (N < 1 || N > 99999999) continue;  // a count the 8-byte field can hold
    Readings.push_back("signal " + std::to_string(s + 1) + ": " + std::to_string(N) + " for " +
                       std::to_string(C.NrSamples[s]));
  }
  if (Readings.empty()) return "";
  std::string Listed;
  for (size_t i = 0; i < std::min<size_t>(Readings.size(), 3); ++i)
    Listed += (i == 0 ? "" : i + 1 == Readings.size() ? ", or " : ", ") + Readings[i];
  if (Readings.size() > 3) Listed += ", ...";
  return "NrDataRecords " + std::to_string(Declared) + " fills the " + std::to_string(Data) +
         " data bytes exactly if one signal's NrSamples were " + std::to_string(By < 0 ? -By : By) +
         (By < 0 ? " lower" : " higher") + " (" + Listed +
         "): whether the count or that NrSamples is wrong cannot be told";
}

TFieldFix FixRecordCount(const TFaultGroup& G, const TRepairContext& C) {
  // The data block starts where HeaderBytes says; while that is wrong, the
  // count waits for its repair.
  if (!C.HeaderBytesSound) {
    TFieldFix Wait;
    Wait.Outcome = TFixOutcome::Defer;
    return Wait;
  }
  if (C.RecordBytes <= 0) return Refuse("the record size is unknown: NrSamples cannot be read for every signal");
  const int64_t HeaderBytes = EDFHeaderBytes(C.NrSignals);
  const int64_t Data = C.FileSize - HeaderBytes;
  if (Data < 0) return Refuse("the file ends inside its header: there is no data block to count");
  const int64_t R = C.RecordBytes;
  const int64_t Whole = Data / R;
  const int64_t Rest = Data % R;
  if (Whole > 99999999) return Refuse("the count of whole records does not fit the 8 bytes of the field");
  const std::string Held = Count(Whole, "whole record") + " of " + std::to_string(R) + " bytes";
  int64_t Declared = 0;
  const bool Readable = TryStrToInt64(G.Raw, Declared);
  // A count set to the whole records present keeps every byte.
  if (Rest == 0) return Change(G, std::to_string(Whole), "the data block holds exactly " + Held);

  // A recorder that stopped in the middle of a record leaves part of it; its
  // count either took the cut record in or not. Any other count, -1 among
  // them, says nothing about what the last bytes are.
  const std::string Stated = "NrDataRecords " + Shown(G.Raw);
  if (!Readable || (Declared != Whole + 1 && Declared != Whole))
    return Refuse("the data block holds " + Held + " and " + std::to_string(Rest) + " bytes more, and " + Stated +
                  " counts neither " + std::to_string(Whole) + " nor " + std::to_string(Whole + 1) +
                  ": whether the last bytes are a cut record or something else cannot be told");
  // Bytes left out of the copy are data lost: only done when no other
  // reading of the bytes explains them, and never down to no data at all.
  if (Whole == 0)
    return Refuse("the data block of " + std::to_string(Data) + " bytes holds no whole record of " +
                  std::to_string(R) + " bytes: leaving the cut one out would leave no data at all");
  if (const std::string Other = OtherReading(C, Declared, Data); !Other.empty())
    return Refuse(Other + ", and leaving " + std::to_string(Rest) + " bytes out on a guess would lose them");
  TFieldFix Fix = Change(G, std::to_string(Whole),
                         "the data block holds " + Held + " and " + std::to_string(Rest) +
                             " bytes of one more, cut short; " + Stated +
                             (Declared == Whole ? " counts the whole records only" : " counted the cut record"));
  Fix.DropFrom = HeaderBytes + Whole * R;
  Fix.DropWhy = std::to_string(Rest) + " bytes of a data record cut short (a record is " + std::to_string(R) +
                " bytes) after the last whole record; " + Stated +
                (Declared == Whole ? " does not count them" : " counted them as a record");
  return Fix;
}

TFieldFix FixHeaderSize(const TFaultGroup& G, const TRepairContext& C) {
  if (C.NrSignals < 1) return Refuse("HeaderBytes follows from NrSignals, which cannot be read");
  const int64_t Bytes = EDFHeaderBytes(C.NrSignals);
  const std::string Headers = Count(C.NrSignals, "signal header");
  if (C.FileSize < Bytes) return Refuse("the file ends before its " + Headers + " do");
  // Signal headers read at the wrong width would give nonsense sample counts:
  // then NrSignals itself is in doubt.
  if (C.RecordBytes <= 0)
    return Refuse("NrSamples cannot be read for every signal, so NrSignals itself may be wrong");
  return Change(G, std::to_string(Bytes),
                "a header is 256 bytes and 256 more per signal: NrSignals " + std::to_string(C.NrSignals) +
                    " makes " + std::to_string(Bytes) + ", and the file holds all " + Headers);
}

// The date subfield of an EDF+ identification (the patient's birthdate,
// the recording's start date) whose month is an English month with some
// letter in lower case: [Begin, Begin + 11) of Text, or npos.
size_t LowerCaseMonth(const std::string& Text, size_t Subfield) {
  size_t Begin = 0;
  for (size_t k = 0; k < Subfield; ++k) {
    Begin = Text.find(' ', Begin);
    if (Begin == std::string::npos) return std::string::npos;
    ++Begin;
  }
  const size_t End = std::min(Text.find(' ', Begin), Text.size());
  if (End - Begin != 11) return std::string::npos;
  const std::string Date = Text.substr(Begin, 11);
  for (size_t i : {0u, 1u, 7u, 8u, 9u, 10u})
    if (!IsDigit(Date[i])) return std::string::npos;
  if (Date[2] != '-' || Date[6] != '-') return std::string::npos;
  static constexpr std::array<std::string_view, 12> Months = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
  const std::string Month = Date.substr(3, 3);
  const std::string Upper = UpperCaseAscii(Month);
  if (Upper == Month || std::find(Months.begin(), Months.end(), Upper) == Months.end()) return std::string::npos;
  return Begin;
}

// "0" followed by junk, not by what could continue a number.
bool VersionWithJunk(const std::string& Text) {
  return !Text.empty() && Text[0] == '0' &&
         (Text.size() == 1 || (!IsDigit(Text[1]) && Text[1] != '.' && Text[1] != ','));
}

// A plain EDF file: not BDF and no EDF+ mark in the reserved field.
bool PlainEdf(const TRepairContext& C, const std::string& Reserved) {
  return C.Format == TEDFFormat::EDF && !StartsWith(Trim(Reserved), "EDF+");
}

// dd?mm?yy (hh?nn?ss) with printable non-digit separators: the digits can
// only be read one way.
bool OtherSeparators(const std::string& Text) {
  if (Text.size() != 8) return false;
  for (size_t I : {0u, 1u, 3u, 4u, 6u, 7u})
    if (!IsDigit(Text[I])) return false;
  for (size_t I : {2u, 5u}) {
    const auto C = static_cast<unsigned char>(Text[I]);
    if (IsDigit(Text[I]) || C < 32 || C > 126) return false;
  }
  return true;
}

bool AllDigits(const std::string& S) {
  for (char C : S)
    if (!IsDigit(C)) return false;
  return true;
}

}  // namespace

bool Actionable(const TFinding& F) { return F.Severity != TSeverity::Note || WayOf(F) != TRepairWay::None; }

TFieldFix FixField(const TFaultGroup& G, const TRepairContext& C) {
  const TFinding* FirstFault = nullptr;
  for (const TFinding& F : G.Findings)
    if (F.Severity != TSeverity::Note && !FirstFault) FirstFault = &F;
  const auto LeftAsFound = [&] {
    return FirstFault ? Refuse(RefusalReason(*FirstFault)) : TFieldFix{};
  };
  if (G.Where.Field < 0 || G.Width <= 0) return LeftAsFound();

  TWays Ways = 0;
  const TFinding* Unanswered = nullptr;
  for (const TFinding& F : G.Findings) {
    if (!Actionable(F)) continue;
    const TRepairWay Way = WayOf(F);
    if (Way == TRepairWay::None && !Unanswered) Unanswered = &F;
    Ways |= Bit(Way);
  }
  // A field that must be blank is mended whatever else its text breaks.
  if (Ways & Bit(TRepairWay::Blank))
    return Change(G, "", G.Where.Field == sfReserved
                             ? "a signal's Reserved field is kept blank for later use"
                             : "an annotation signal's TransducerType, PhysiDim and PreFilter are blank: it holds "
                               "text, not a transducer's samples");
  if (Unanswered) return Refuse(RefusalReason(*Unanswered));
  if (IsGeneral(G.Where, gfVersion) && C.Format == TEDFFormat::BDF) {
    if (!FirstFault) return TFieldFix{};
    return Refuse("a BDF file's version (byte 0xFF, then BIOSEMI) is never rewritten");
  }
  // These two follow from the rest of the file and replace the whole field.
  if (Ways & Bit(TRepairWay::RecordCount)) return FixRecordCount(G, C);
  if (Ways & Bit(TRepairWay::HeaderBytes)) return FixHeaderSize(G, C);

  std::string Text = G.Raw;
  std::vector<std::string> Why;
  bool Blank = (Ways & Bit(TRepairWay::BlankReserved)) != 0;
  if (Ways & Bit(TRepairWay::LeftJustify)) {
    size_t First = 0;
    while (First < Text.size() && Trimmed(Text[First])) ++First;
    if (Text.find_first_not_of(' ') == First) {
      Text.erase(0, First);
      Why.push_back("only blanks stood before the text, which must start at the field's first byte");
    } else if (IsGeneral(G.Where, gfReserved)) {
      Blank = true;
    } else {
      return Refuse("control bytes stand before the text: whether they are junk or part of it cannot be told");
    }
  }
  if (Blank) {
    if (!PlainEdf(C, G.Raw))
      return Refuse("the reserved field marks the file's type (EDF+, BDF): which of its bytes are junk cannot be told");
    Text.clear();
    Why = {"a plain EDF file's reserved field holds nothing, so its junk becomes blanks"};
  }
  if (Ways & Bit(TRepairWay::BdfMark)) {
    if (C.Format != TEDFFormat::BDF || Text.find_first_not_of(' ') != std::string::npos || C.AnnotationLabel)
      return Refuse(RefusalReason(AnsweredBy(G, TRepairWay::BdfMark)));
    Text = "24BIT";
    Why.push_back("a plain BDF file's Reserved reads 24BIT, and this one was blank with no signal labelled as "
                  "annotations");
  }
  if (Ways & Bit(TRepairWay::StartdateCase)) {
    const std::string First = Text.substr(0, Text.find(' '));
    if (UpperCaseAscii(First) != "STARTDATE") return Refuse(RefusalReason(AnsweredBy(G, TRepairWay::StartdateCase)));
    Text.replace(0, First.size(), "Startdate");
    Why.push_back("the first word reads Startdate in another letter case; only its case changes");
  }
  if (Ways & Bit(TRepairWay::MonthCase)) {
    // The birthdate is the patient field's third subfield, the start date
    // the recording field's second.
    const size_t At = LowerCaseMonth(Text, IsGeneral(G.Where, gfPatient) ? 2 : 1);
    if (At == std::string::npos) return Refuse(RefusalReason(AnsweredBy(G, TRepairWay::MonthCase)));
    for (size_t i = At + 3; i < At + 6; ++i) Text[i] = UpperCaseAscii(std::string(1, Text[i]))[0];
    Why.push_back(std::string(IsGeneral(G.Where, gfPatient) ? "the birthdate's" : "the start date's") +
                  " month is an English month in lower case; only its case changes");
  }
  if (Ways & Bit(TRepairWay::Version)) {
    if (!VersionWithJunk(Text))
      return Refuse("Version " + Shown(G.Raw) + " is not 0 followed by junk: another version cannot be told from a slip");
    Text = "0";
    Why.push_back("an EDF file's version is 0, and what followed it is junk, not another version number");
  }
  if (Ways & Bit(TRepairWay::Separators)) {
    if (!OtherSeparators(Text)) return Refuse(RefusalReason(AnsweredBy(G, TRepairWay::Separators)));
    Text[2] = Text[5] = '.';
    Why.push_back(IsGeneral(G.Where, gfStartDate)
                      ? "the digits stand in the places of dd, mm and yy; only the separators were not '.'"
                      : "the digits stand in the places of hh, nn and ss; only the separators were not '.'");
  }
  if (Ways & Bit(TRepairWay::DecimalComma)) {
    std::string T = TrimRight(Text);
    const size_t Comma = T.find(',');
    const size_t Digits = !T.empty() && (T[0] == '-' || T[0] == '+') ? 1 : 0;
    if (Comma == std::string::npos || T.find(',', Comma + 1) != std::string::npos ||
        T.find('.') != std::string::npos || Comma < Digits)
      return Refuse(RefusalReason(AnsweredBy(G, TRepairWay::DecimalComma)));
    const std::string Whole = T.substr(Digits, Comma - Digits);
    const std::string Fraction = T.substr(Comma + 1);
    if (!AllDigits(Whole) || !AllDigits(Fraction) || Fraction.empty())
      return Refuse(RefusalReason(AnsweredBy(G, TRepairWay::DecimalComma)));
    // 1,000 groups thousands as often as it separates decimals.
    if (Fraction.size() == 3 && !Whole.empty() && Whole.size() <= 3 && Whole[0] != '0') {
      const std::string Sign = T.substr(0, Digits);
      return Refuse(QuoteIfNeeded(T) + " may be " + Sign + Whole + Fraction + " (a comma grouping thousands) or " +
                    Sign + Whole + "." + Fraction + " (a decimal comma)");
    }
    T[Comma] = '.';
    Text = T;
    Why.push_back("a single comma that cannot group thousands is the decimal separator, and EDF numbers use '.'");
  }
  if (Ways & Bit(TRepairWay::BlankTrailing)) {
    // Control bytes after the last byte of text; trimming readers drop them.
    size_t From = Text.size();
    while (From > 0 && Trimmed(Text[From - 1])) --From;
    bool Blanked = false;
    for (size_t I = From; I < Text.size(); ++I) {
      if (Text[I] != ' ') Blanked = true;
      Text[I] = ' ';
    }
    if (Blanked) Why.push_back("control bytes after the text, which readers trim, become blanks");
  }

  TFieldFix Fix = Change(G, Text, "");
  if (Fix.New == G.Raw) return LeftAsFound();
  for (const std::string& W : Why) Fix.Why += (Fix.Why.empty() ? "" : "; ") + W;
  return Fix;
}

bool AnnotationLikeLabel(const std::string& Label) {
  std::string Key;
  for (const char Ch : Label)
    if (Ch != ' ' && Ch != '_' && Ch != '-') Key += static_cast<char>(Ch >= 'A' && Ch <= 'Z' ? Ch - 'A' + 'a' : Ch);
  return Key == "edfannotations" || Key == "edfannotation" || Key == "bdfannotations" || Key == "bdfannotation";
}

std::string RefusalReason(const TFinding& F) {
  if (F.Where.Kind == TWhereKind::DataRecord || F.Where.Kind == TWhereKind::Annotation) return RefusalText::DataRecords;
  return RuleOf(F).Refusal;
}
