#include "anonymize/AnonymizeHeader.h"

#include "anonymize/AnonymizeDates.h"
#include "check/PrivacyFields.h"
#include "check/PrivacyRules.h"
#include "util/udStr.h"

namespace {

constexpr size_t IdWidth = 80;

class TRewriter {
public:
  TRewriter(const TEDFRawFileHeader& Raw, bool Plus, const TAnonymizeOptions& Options)
      : Raw(Raw), Plus(Plus), Opt(Options) {}

  THeaderRewrite Run() {
    Dates();
    Patient();
    Recording();
    StartDate();
    if (Opt.ClearTime) Put(gfStartTime, "00.00.00", "start time cleared to 00.00.00 (--clear-time)");
    return std::move(Out);
  }

private:
  void Put(int Field, const std::string& Text, const std::string& Reason) {
    const std::string New = PadRight(Text, EDFGeneralFields[static_cast<size_t>(Field)].Width);
    if (New != Raw[static_cast<size_t>(Field)]) Out.Fields.push_back({Field, New, Reason});
  }
  void Keep(TPrivacyRule Rule) { Out.KeptRules.push_back(RuleOf(Rule).Id); }

  // The original day of the recording and, when shifted, the copy's.
  void Dates() {
    Dated = ParseHeaderDate(Raw[gfStartDate], Day);
    if (!Opt.ShiftDays) return;
    if (!Dated) {
      Out.Refusals.push_back("StartDate is not a calendar date (dd.mm.yy), so it cannot be shifted");
      return;
    }
    if (!ShiftBack(Day, *Opt.ShiftDays, Shifted)) {
      Out.Refusals.push_back("a shift of " + std::to_string(*Opt.ShiftDays) +
                             " days moves the start date out of 1985..2084, the years the header can hold");
      return;
    }
    Shift = true;
    Keep(TPrivacyRule::StartDate);
  }

  // The copy's start year: the anonymous 1985 or the shifted day's.
  int CopyYear() const { return Shift ? Shifted.Year : FirstHeaderYear; }

  // The birthdate that gives the copy's start the original age: 01-JAN of
  // the copy's start year minus the age, so a reader's calendar arithmetic
  // on the copy's start (which lies in that year) yields the same age.
  std::string AgeBirthdate(std::string_view Birthdate) {
    TCivilDate Birth;
    std::string Why;
    if (Unknown(Birthdate))
      Why = "the birthdate is not given";
    else if (!ParsePlusDate(Birthdate, Birth))
      Why = "the birthdate is not a dd-MMM-yyyy calendar date";
    else if (!Dated)
      Why = "StartDate is not a calendar date, so the age at the recording is unknown";
    const int Age = Why.empty() ? AgeOn(Birth, Day) : 0;
    if (Why.empty() && Age < 0) Why = "the birthdate lies after the start date";
    if (Why.empty() && CopyYear() - Age < 1) Why = "the age reaches before the year 1";
    if (!Why.empty()) {
      Out.Warnings.push_back("--keep-age keeps nothing: " + Why + "; the birthdate is X");
      return "X";
    }
    Keep(TPrivacyRule::PatientBirthdate);
    return PlusDateText({CopyYear() - Age, 1, 1});
  }

  void Patient() {
    const TIdFields P = PatientFields(Raw[gfPatient]);
    if (!Plus || !P.Structured) {
      if (Opt.KeepSex || Opt.KeepAge)
        Out.Warnings.push_back(std::string("--keep-sex and --keep-age keep nothing: the patient field ") +
                               (Plus ? "does not follow the EDF+ subfields" : "of a plain file is free text"));
      Put(gfPatient, "X X X X",
          std::string("patient ") + (Plus ? "identification" : "free text") +
              " replaced by X X X X: code, sex, birthdate and name unknown");
      return;
    }
    std::string Sex = "X";
    if (Opt.KeepSex) {
      const std::string_view Given = P.Sub[1].Text;
      if (Given == "M" || Given == "F") {
        Sex = Given;
        Keep(TPrivacyRule::PatientSex);
      } else if (!Unknown(Given)) {
        Out.Warnings.push_back("--keep-sex keeps nothing: the sex subfield is not M or F; it is X");
      }
    }
    const std::string Birth = Opt.KeepAge ? AgeBirthdate(P.Sub[2].Text) : "X";
    std::string Reason = "patient identification replaced: code and name X, sex ";
    Reason += Sex == "X" ? "X" : "kept";
    Reason += Birth == "X" ? ", birthdate X"
                           : ", birthdate 01-JAN of the copy's start year minus the age in whole years";
    if (P.Sub.size() > PatientSubfields) Reason += ", additional subfields removed";
    Put(gfPatient, "X " + Sex + " " + Birth + " X", Reason);
  }

  void Recording() {
    const TIdFields R = RecordingFields(Raw[gfRecording]);
    // A plain file's field is free text to its readers: no date subfield to
    // keep in step, no equipment to tell apart.
    const std::string Date = Plus && Shift ? PlusDateText(Shifted) : "X";
    const std::string Head = "Startdate " + Date + " X X ";
    std::string Equipment = "X";
    std::string Kept;
    if (Opt.KeepEquipment) {
      if (!Plus || !R.Structured) {
        Out.Warnings.push_back(std::string("--keep-equipment keeps nothing: the recording field ") +
                               (Plus ? "does not follow the EDF+ subfields" : "of a plain file is free text"));
      } else {
        Equipment = R.Sub[4].Text;
        Kept = ", equipment kept";
        const size_t Room = IdWidth - Head.size();
        if (Equipment.size() > Room) {
          size_t Cut = Room;
          // Never inside a UTF-8 character.
          while (Cut > 1 && (static_cast<unsigned char>(Equipment[Cut]) & 0xC0) == 0x80) --Cut;
          Out.Warnings.push_back("the equipment subfield is cut from " + std::to_string(Equipment.size()) + " to " +
                                 std::to_string(Cut) + " bytes to fit the 80-byte field");
          Kept = ", equipment kept but cut to " + std::to_string(Cut) + " of its " + std::to_string(Equipment.size()) +
                 " bytes to fit";
          Equipment.resize(Cut);
        }
      }
    }
    std::string Reason = std::string("recording ") + (Plus ? "identification" : "free text") +
                         " replaced: administration code and technician X";
    Reason += Date == "X" ? ", start date X" : ", start date the shifted day";
    Reason += Kept.empty() ? ", equipment X" : Kept;
    if (R.Structured && R.Sub.size() > RecordingSubfields) Reason += ", additional subfields removed";
    Put(gfRecording, Head + Equipment, Reason);
  }

  void StartDate() {
    if (Shift)
      Put(gfStartDate, HeaderDateText(Shifted),
          "start date moved " + std::to_string(*Opt.ShiftDays) + " days back (--shift-days)");
    else if (Out.Refusals.empty())
      Put(gfStartDate, "01.01.85", "start date replaced by the anonymous day 01.01.85");
  }

  const TEDFRawFileHeader& Raw;
  const bool Plus;
  const TAnonymizeOptions& Opt;
  THeaderRewrite Out;
  bool Dated = false;
  TCivilDate Day;
  bool Shift = false;
  TCivilDate Shifted;
};

}  // namespace

THeaderRewrite RewriteHeader(const TEDFRawFileHeader& Raw, bool Plus, const TAnonymizeOptions& Options) {
  return TRewriter(Raw, Plus, Options).Run();
}
