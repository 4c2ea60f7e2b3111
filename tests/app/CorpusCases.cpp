#include "CorpusCases.h"

#include <algorithm>
#include <utility>

#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"
#include "edf/uEDFSignalInfo.h"
#include "testkit/EdfBytes.h"
#include "util/uCalendar.h"
#include "util/udStr.h"

namespace corpus {

namespace {

constexpr TFieldMark Red = TFieldMark::Error;
constexpr TFieldMark Plain = TFieldMark::None;
constexpr TExpect Ok = TExpect::Valid;
constexpr TExpect Bad = TExpect::Invalid;

// One row of a fault table: the field, the bad text and what the rules say
// about it. The modifiers add the cascades a few rules have.
struct TFieldFault {
  int Field;
  std::string Fault;  // names the case
  std::string Text;
  TFieldMark Mark;
  std::string Reason;
  TExpect Verdict;
  std::vector<int> AlsoMarked;  // further fields of the same header the rule marks
  bool Uncalibrated = false;
  std::string SizeRemark;
  std::string DurationRemark;

  TFieldFault Also(int Other) && {
    AlsoMarked.push_back(Other);
    return std::move(*this);
  }
  TFieldFault NotCalibrated() && {
    Uncalibrated = true;
    return std::move(*this);
  }
  TFieldFault SizeRemarked() && {
    SizeRemark = SizeRemarkText;
    return std::move(*this);
  }
  TFieldFault DurationRemarked() && {
    DurationRemark = DurationRemarkText;
    return std::move(*this);
  }
};

TFieldFault Row(int Field, std::string Fault, std::string Text, TFieldMark Mark, std::string Reason,
                TExpect Verdict) {
  return TFieldFault{Field, std::move(Fault), std::move(Text), Mark, std::move(Reason), Verdict,
                     {}, false, {}, {}};
}

std::string Field(const std::string& Bytes, int64_t Offset, int Width) {
  return TrimRight(Bytes.substr(static_cast<size_t>(Offset), static_cast<size_t>(Width)));
}

std::string GeneralText(const TBaseFile& B, int F) {
  return Field(B.Bytes, EDFGeneralFieldOffset(F), EDFGeneralFieldWidths[static_cast<size_t>(F)]);
}

std::string SignalText(const TBaseFile& B, int S, int F) {
  return Field(B.Bytes, EDFSignalFieldOffset(F, S, B.NrSignals()),
               EDFSignalFieldWidths[static_cast<size_t>(F)]);
}

std::string Replace(std::string Bytes, int64_t Offset, int Width, const std::string& Text) {
  std::string Padded = Text.substr(0, static_cast<size_t>(Width));
  Padded.resize(static_cast<size_t>(Width), ' ');
  Bytes.replace(static_cast<size_t>(Offset), static_cast<size_t>(Width), Padded);
  return Bytes;
}

// The faults of the general header fields of B. A bad byte sits inside the
// text, never at its end, where the right-trimming of codes 0 to 32 would
// quietly drop a control character.
std::vector<TFieldFault> GeneralFaults(const TBaseFile& B) {
  const std::string HeaderBytes = GeneralText(B, gfHeaderBytes);
  const std::string Records = GeneralText(B, gfNrDataRecords);
  const std::string Duration = GeneralText(B, gfSampleRecDuration);
  const std::string Signals = GeneralText(B, gfNrSignals);
  const int Ns = B.NrSignals();
  const std::string NP = "Not ASCII printable";
  const std::string NPN = "Not ASCII printable, not a number";
  const std::string Sep = "Separators should be '.'";

  std::vector<TFieldFault> R = {
      Row(gfVersion, "leading-blank", " 0", Red, "Not left justified", Bad),
      Row(gfVersion, "bell", "0\a0", Red, NP, Bad),
      Row(gfVersion, "byte-C8", "0\xC8", Red, NP, Bad),
      Row(gfVersion, "empty", "", Red, "", Bad),
      Row(gfVersion, "other-version", "1", Red, "", Bad),

      Row(gfStartDate, "leading-blank", " 7.12.26", Red, "Not left justified", Bad),
      Row(gfStartDate, "bell", "07.1\a.26", Red, NP, Bad),
      Row(gfStartDate, "byte-C8", "07.12.\xC8\xC8", Red, NP, Bad),
      Row(gfStartDate, "empty", "", Red, Sep, Bad),
      Row(gfStartDate, "dashes", "01-02-03", Red, Sep, Bad),
      Row(gfStartDate, "one-digit-day", "1.2.03", Red, Sep, Bad),
      Row(gfStartDate, "day-32", "32.12.26", Red, "", Bad),
      Row(gfStartDate, "letters", "ab.cd.ef", Red, "", Bad),

      Row(gfStartTime, "leading-blank", " 2.30.05", Red, "Not left justified", Bad),
      Row(gfStartTime, "bell", "22.3\a.05", Red, NP, Bad),
      Row(gfStartTime, "byte-C8", "22.30.\xC8\xC8", Red, NP, Bad),
      Row(gfStartTime, "empty", "", Red, Sep, Bad),
      Row(gfStartTime, "colons", "10:20:30", Red, Sep, Bad),
      Row(gfStartTime, "hour-25", "25.00.00", Red, "", Bad),
      Row(gfStartTime, "minute-61", "22.61.00", Red, "", Bad),

      // The header size is the one number field without the strict
      // left-justification rule: the tool tip names the blank, the box stays.
      Row(gfHeaderBytes, "leading-blank", " " + HeaderBytes, Plain, "Not left justified", Ok),
      Row(gfHeaderBytes, "bell", "25\a6", Red, NPN, Bad),
      Row(gfHeaderBytes, "byte-C8", "25\xC8" "6", Red, NPN, Bad),
      Row(gfHeaderBytes, "empty", "", Red, "Not a number", Bad),
      Row(gfHeaderBytes, "letters", "abc", Red, "Not a number", Bad),
      Row(gfHeaderBytes, "exponent", "1e3", Red, "", Bad),
      Row(gfHeaderBytes, "one-signal-short", std::to_string(256 * Ns), Red, "", Bad),
      Row(gfHeaderBytes, "one-signal-long", std::to_string(256 * (Ns + 2)), Red, "", Bad),

      Row(gfNrDataRecords, "leading-blank", " " + Records, Red, "Not left justified", Bad),
      Row(gfNrDataRecords, "bell", "1\a2", Red, NPN, Bad),
      Row(gfNrDataRecords, "byte-C8", "1\xC8" "2", Red, NPN, Bad),
      Row(gfNrDataRecords, "empty", "", Red, "Not a number", Bad),
      Row(gfNrDataRecords, "letters", "abc", Red, "Not a number", Bad),
      // Unknown count: red, but nothing to compare with the file size.
      Row(gfNrDataRecords, "minus-1", "-1", Red, "", Bad),
      Row(gfNrDataRecords, "minus-2", "-2", Red, "", Bad),
      Row(gfNrDataRecords, "one-too-many", std::to_string(B.Records + 1), Red, "", Bad)
          .SizeRemarked(),
      Row(gfNrDataRecords, "one-too-few", std::to_string(B.Records - 1), Red, "", Bad)
          .SizeRemarked(),

      Row(gfSampleRecDuration, "leading-blank", " " + Duration, Red, "Not left justified", Bad),
      Row(gfSampleRecDuration, "bell", "1\a5", Red, NPN, Bad),
      Row(gfSampleRecDuration, "byte-C8", "1\xC8" "5", Red, NPN, Bad),
      Row(gfSampleRecDuration, "empty", "", Red, "Not a number", Bad),
      Row(gfSampleRecDuration, "letters", "abc", Red, "Not a number", Bad),
      Row(gfSampleRecDuration, "zero", "0", Red, "", Bad),
      Row(gfSampleRecDuration, "negative", "-1", Red, "", Bad),
      Row(gfSampleRecDuration, "comma-decimal", "1,5", Red, "Not a number", Bad),
      // Records of a few samples: a 1 s record would be far below 61440 bytes.
      Row(gfSampleRecDuration, "half-second", "0.5", Red, "", Bad).DurationRemarked(),

      // The blank is judged after the header size was matched with the count
      // taken from the text; a text that gives no valid count leaves the
      // header size without its match.
      Row(gfNrSignals, "leading-blank", " " + Signals, Red, "Not left justified", Bad),
      Row(gfNrSignals, "bell", "1\a2", Red, NPN, Bad).Also(gfHeaderBytes),
      Row(gfNrSignals, "byte-C8", "1\xC8", Red, NPN, Bad).Also(gfHeaderBytes),
      Row(gfNrSignals, "empty", "", Red, "Not a number", Bad).Also(gfHeaderBytes),
      Row(gfNrSignals, "letters", "x", Red, "Not a number", Bad).Also(gfHeaderBytes),
      Row(gfNrSignals, "minus-1", "-1", Red, "", Bad).Also(gfHeaderBytes),
  };
  // The free texts share one rule: printable, left-justified, or blank.
  for (const int F : {gfPatient, gfRecording, gfReserved}) {
    R.push_back(Row(F, "leading-blank", " Anonymous", Red, "Not left justified", Bad));
    R.push_back(Row(F, "bell", "Anon\aymous", Red, NP, Bad));
    R.push_back(Row(F, "byte-C8", "Ren\xC8", Red, NP, Bad));
    R.push_back(Row(F, "empty", "", Plain, "", Ok));
  }
  return R;
}

// The faults of the fields of signal S of B. Signal fields get only the
// justification and printable reasons; the physical range never decides the
// verdict, it only takes the calibration away.
std::vector<TFieldFault> SignalFaults(const TBaseFile& B, int S) {
  const std::string NP = "Not ASCII printable";
  const std::string NLJ = "Not left justified";
  const std::string Samples = SignalText(B, S, sfNrSamples);
  std::vector<TFieldFault> R = {
      Row(sfPhysimin, "equal-to-max", SignalText(B, S, sfPhysimax), Plain, "", Ok).NotCalibrated(),
      Row(sfPhysimax, "equal-to-min", SignalText(B, S, sfPhysimin), Plain, "", Ok).NotCalibrated(),
      Row(sfDigimin, "equal-to-max", SignalText(B, S, sfDigimax), Red, "", Bad)
          .Also(sfDigimax)
          .NotCalibrated(),
      Row(sfDigimax, "below-min", "-3000", Red, "", Bad).Also(sfDigimin).NotCalibrated(),

      Row(sfNrSamples, "leading-blank", " " + Samples, Red, NLJ, Bad),
      Row(sfNrSamples, "bell", "1\a0", Red, NP, Bad),
      Row(sfNrSamples, "byte-C8", "1\xC8" "0", Red, NP, Bad),
      Row(sfNrSamples, "empty", "", Red, "", Bad),
      Row(sfNrSamples, "zero", "0", Red, "", Bad),
      Row(sfNrSamples, "negative", "-1", Red, "", Bad),
      Row(sfNrSamples, "letters", "abc", Red, "", Bad),
  };
  for (const int F : {sfSignalLabel, sfTransducertype, sfPhysidim, sfPrefilter, sfReserved}) {
    R.push_back(Row(F, "leading-blank", " X", Red, NLJ, Bad));
    R.push_back(Row(F, "bell", "A\aB", Red, NP, Bad));
    R.push_back(Row(F, "byte-C8", "A\xC8", Red, NP, Bad));
    R.push_back(Row(F, "empty", "", Plain, "", Ok));
  }
  for (const int F : {sfPhysimin, sfPhysimax}) {
    const std::string Value = SignalText(B, S, F);
    R.push_back(Row(F, "leading-blank", " " + Value, Red, NLJ, Ok).NotCalibrated());
    R.push_back(Row(F, "bell", "-5\a00", Red, NP, Ok).NotCalibrated());
    R.push_back(Row(F, "byte-C8", "5\xC8" "0", Red, NP, Ok).NotCalibrated());
    R.push_back(Row(F, "empty", "", Red, "", Ok).NotCalibrated());
    R.push_back(Row(F, "letters", "abc", Red, "", Ok).NotCalibrated());
    R.push_back(Row(F, "comma-decimal", "-500,5", Red, "", Ok).NotCalibrated());
  }
  for (const int F : {sfDigimin, sfDigimax}) {
    const std::string Value = SignalText(B, S, F);
    R.push_back(Row(F, "leading-blank", " " + Value, Red, NLJ, Bad).NotCalibrated());
    R.push_back(Row(F, "bell", "-20\a48", Red, NP, Bad).NotCalibrated());
    R.push_back(Row(F, "byte-C8", "2\xC8" "0", Red, NP, Bad).NotCalibrated());
    R.push_back(Row(F, "empty", "", Red, "", Bad).NotCalibrated());
    R.push_back(Row(F, "letters", "abc", Red, "", Bad).NotCalibrated());
    R.push_back(Row(F, "beyond-16-bit", F == sfDigimin ? "-40000" : "40000", Red, "", Bad)
                    .NotCalibrated());
    R.push_back(Row(F, "decimal-form", Value + ".0", Red, "", Bad).NotCalibrated());
  }
  return R;
}

// The case of the unchanged base: everything unmarked, valid.
TCorpusCase BaseCase(const TBaseFile& B) {
  TCorpusCase C;
  C.Name = B.Name + "_valid";
  C.Bytes = B.Bytes;
  C.Verdict = Ok;
  C.PredictMarks = true;
  C.SignalCount = B.NrSignals();
  C.DataBlockBytes = B.RecordBytes();
  return C;
}

TCorpusCase GeneralCase(const TBaseFile& B, const TFieldFault& F) {
  TCorpusCase C = BaseCase(B);
  C.Name = B.Name + "_" + EDFGeneralFieldNames[static_cast<size_t>(F.Field)] + "_" + F.Fault;
  C.Bytes = PatchGeneralField(B.Bytes, F.Field, F.Text);
  C.Verdict = F.Verdict;
  C.GeneralMarks[static_cast<size_t>(F.Field)] = F.Mark;
  for (const int Other : F.AlsoMarked) C.GeneralMarks[static_cast<size_t>(Other)] = Red;
  // Whether signal records exist after a bad count depends on the text.
  if (F.Field == gfNrSignals) C.SignalCount = -1;
  C.SizeRemark = F.SizeRemark;
  C.DurationRemark = F.DurationRemark;
  C.ReasonField = F.Field;
  C.Reason = F.Reason;
  return C;
}

TCorpusCase SignalCase(const TBaseFile& B, int S, const TFieldFault& F) {
  TCorpusCase C = BaseCase(B);
  C.Name = B.Name + "_s" + std::to_string(S + 1) + "_" +
           EDFSignalFieldNames[static_cast<size_t>(F.Field)] + "_" + F.Fault;
  C.Bytes = PatchSignalField(B.Bytes, B.NrSignals(), S, F.Field, F.Text);
  C.Verdict = F.Verdict;
  C.MarkedSignal = S;
  C.SignalMarks[static_cast<size_t>(F.Field)] = F.Mark;
  for (const int Other : F.AlsoMarked) C.SignalMarks[static_cast<size_t>(Other)] = Red;
  C.Uncalibrated = F.Uncalibrated;
  C.ReasonField = F.Field;
  C.ReasonSignal = S;
  C.Reason = F.Reason;
  return C;
}

// A count of samples that is a valid number but makes a data record larger
// than 61440 bytes; the records in the file then no longer fit either.
TCorpusCase TooLargeRecordCase(const TBaseFile& B, int S, const std::string& Fault,
                               int32_t Samples) {
  TCorpusCase C = SignalCase(B, S, Row(sfNrSamples, Fault, std::to_string(Samples), Plain, "", Bad));
  C.GeneralMarks[gfNrDataRecords] = Red;
  C.SizeRemark = SizeRemarkText;
  C.DataBlockTooLarge = true;
  return C;
}

// Faults of the file as a whole: the records do not fit, or the header is cut.
std::vector<TCorpusCase> WholeFileCases(const TBaseFile& B) {
  std::vector<TCorpusCase> R;
  const auto NotFitting = [&](const std::string& What, std::string Bytes) {
    TCorpusCase C = BaseCase(B);
    C.Name = B.Name + "_file_" + What;
    C.Bytes = std::move(Bytes);
    C.Verdict = Bad;
    C.GeneralMarks[gfNrDataRecords] = Red;
    C.SizeRemark = SizeRemarkText;
    R.push_back(std::move(C));
  };
  const auto Half = static_cast<size_t>(B.RecordBytes() / 2);
  NotFitting("truncated-mid-record", B.Bytes.substr(0, B.Bytes.size() - Half));
  NotFitting("half-record-more", B.Bytes + std::string(Half, '\0'));
  NotFitting("no-records", B.Bytes.substr(0, static_cast<size_t>(EDFHeaderBytes(B.NrSignals()))));

  const auto Cut = [&](const std::string& What, size_t Size) {
    TCorpusCase C;
    C.Name = B.Name + "_file_" + What;
    C.Bytes = B.Bytes.substr(0, Size);
    C.Verdict = Bad;
    R.push_back(std::move(C));
  };
  Cut("short-header-100", 100);
  Cut("general-header-only", 256);
  Cut("signal-headers-cut", 256 + 128 * static_cast<size_t>(B.NrSignals()));
  Cut("empty", 0);
  return R;
}

struct TBaseRecipe {
  const char* Name;
  std::vector<int> Samples;
  int Records;
  long double Duration;
  const char* Patient;
  const char* Recording;
  const char* Reserved;
};

TBaseFile WriteBase(const std::string& Folder, const TBaseRecipe& Recipe) {
  const std::string Path = Folder + "/" + Recipe.Name + ".edf";
  const int Ns = static_cast<int>(Recipe.Samples.size());
  {
    TEDFFile F;
    F.SetFileName(Path);
    F.CreateNew(Ns, true);
    TCustomEDFFileInfo& Info = *F.FileInfo();
    Info.SetPatient(Recipe.Patient);
    Info.SetRecording(Recipe.Recording);
    Info.SetStartDate(EncodeDate(2026, 12, 7));
    Info.SetStartTime(EncodeTime(22, 30, 5, 0));
    Info.SetSampleRecDuration(Recipe.Duration);
    Info.SetReserved(Recipe.Reserved);
    for (int s = 0; s < Ns; ++s) {
      TCustomEDFSignalInfo& S = *F.GetSignal(s);
      S.SetSignalLabel("EEG " + std::to_string(s + 1));
      S.SetTransducertype("AgAgCl electrode");
      S.SetPhysidim("uV");
      S.SetPhysimin(-500);
      S.SetPhysimax(500);
      S.SetDigimin(-2048);
      S.SetDigimax(2047);
      S.SetPrefilter("HP:0.1Hz");
      S.SetNrSamples(Recipe.Samples[static_cast<size_t>(s)]);
      S.SetReserved("");
    }
    F.WriteHeaders();
    for (int r = 0; r < Recipe.Records; ++r) {
      auto Buffer = F.GetBuffer();
      for (size_t i = 0; i < Buffer->size(); ++i)
        (*Buffer)[i] = static_cast<int16_t>((r * 131 + static_cast<int>(i) * 17) % 4000 - 2000);
      F.WriteDataRecord(F.FileInfo()->NrDataRecords());
    }
  }  // closing stores the final record count
  return TBaseFile{Recipe.Name, testkit::ReadFileBytes(Path), Recipe.Samples, Recipe.Records};
}

}  // namespace

int64_t TBaseFile::RecordBytes() const {
  int64_t Sum = 0;
  for (const int n : Samples) Sum += n;
  return 2 * Sum;
}

std::string PatchGeneralField(std::string Bytes, int F, const std::string& Text) {
  return Replace(std::move(Bytes), EDFGeneralFieldOffset(F),
                 EDFGeneralFieldWidths[static_cast<size_t>(F)], Text);
}

std::string PatchSignalField(std::string Bytes, int NrSignals, int Signal, int F,
                             const std::string& Text) {
  return Replace(std::move(Bytes), EDFSignalFieldOffset(F, Signal, NrSignals),
                 EDFSignalFieldWidths[static_cast<size_t>(F)], Text);
}

std::vector<TBaseFile> WriteBaseFiles(const std::string& Folder) {
  const TBaseRecipe Recipes[] = {
      {"plain1", {10}, 3, 1, "Patient One", "Night 1", ""},
      // 2 s records, so the duration is not the usual 1.
      {"plain3", {10, 20, 5}, 2, 2, "Patient Three", "Night 3", ""},
      {"edfplus", {8, 4}, 2, 1, "X M 01-JAN-1970 Test_Person",
       "Startdate 07-DEC-2026 X X Vellicor", "EDF+C"},
  };
  std::vector<TBaseFile> Bases;
  for (const TBaseRecipe& Recipe : Recipes) Bases.push_back(WriteBase(Folder, Recipe));
  return Bases;
}

std::vector<TCorpusCase> BuildCases(const std::vector<TBaseFile>& Bases) {
  std::vector<TCorpusCase> Cases;
  for (const TBaseFile& B : Bases) Cases.push_back(BaseCase(B));
  for (const TBaseFile& B : Bases) {
    for (const TFieldFault& F : GeneralFaults(B)) Cases.push_back(GeneralCase(B, F));
    // The last signal, and with three signals the middle one, so that the
    // field-by-field layout of the signal block is exercised off signal 1.
    std::vector<int> Patched = {B.NrSignals() - 1};
    if (B.NrSignals() >= 3) Patched.push_back(1);
    for (const int S : Patched)
      for (const TFieldFault& F : SignalFaults(B, S)) Cases.push_back(SignalCase(B, S, F));
    // Just over the limit, and so far over it that no buffer is made for it.
    Cases.push_back(TooLargeRecordCase(B, 0, "record-too-large", 30721));
    Cases.push_back(TooLargeRecordCase(B, 0, "absurd", 99999999));
    for (TCorpusCase& C : WholeFileCases(B)) Cases.push_back(std::move(C));
  }
  return Cases;
}

}  // namespace corpus
