#include "edf/uEDFFileInfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "edf/uDataFileErrors.h"
#include "support/uSysUtils.h"
#include "util/uCalendar.h"
#include "util/udStr.h"

namespace {

// A valid general header as read from a file (fields padded to their
// widths), with the given fields replaced before padding.
TEDFRawFileHeader RawGeneral(std::vector<std::pair<int, std::string>> Changes = {}) {
  TEDFRawFileHeader raw = {"0",   "X X X X", "Startdate X X X X", "01.02.03", "04.05.06",
                           "768", "",        "10",                "30",       "2"};
  for (const auto& [field, text] : Changes) raw[static_cast<size_t>(field)] = text;
  for (int f = 0; f < EDFFieldCount; ++f)
    raw[static_cast<size_t>(f)] =
        PadRight(raw[static_cast<size_t>(f)], EDFGeneralFieldWidths[static_cast<size_t>(f)]);
  return raw;
}

std::unique_ptr<TEDFFileInfo> Loaded(const TEDFRawFileHeader& Raw, bool Strict = true) {
  auto h = std::make_unique<TEDFFileInfo>(nullptr);
  h->SetStrict(Strict);
  h->LoadFromRaw(Raw);
  return h;
}

}  // namespace

struct GeneralFieldCase {
  int Field;
  std::string Text;
  bool StrictValid;
  bool LenientValid;
};
void PrintTo(const GeneralFieldCase& c, std::ostream* os) { *os << EDFGeneralFieldNames[static_cast<size_t>(c.Field)] << " '" << c.Text << "'"; }


class GeneralFieldRule : public ::testing::TestWithParam<GeneralFieldCase> {};

TEST_P(GeneralFieldRule, OneChangedFieldSetsOnlyItsOwnFlag) {
  const GeneralFieldCase& c = GetParam();
  for (bool strict : {true, false}) {
    SCOPED_TRACE(strict ? "strict" : "lenient");
    const auto h = Loaded(RawGeneral({{c.Field, c.Text}}), strict);
    for (int f = 0; f < EDFFieldCount; ++f) {
      const bool expected = f != c.Field ? true : (strict ? c.StrictValid : c.LenientValid);
      EXPECT_EQ(h->FieldValid()[static_cast<size_t>(f)], expected)
          << EDFGeneralFieldNames[static_cast<size_t>(f)];
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, GeneralFieldRule,
    ::testing::Values(GeneralFieldCase{gfVersion, "0", true, true},
                      GeneralFieldCase{gfVersion, " 0", false, false},
                      GeneralFieldCase{gfVersion, "00", false, false},
                      GeneralFieldCase{gfPatient, "", true, true},
                      GeneralFieldCase{gfPatient, " X X X X", false, true},
                      GeneralFieldCase{gfPatient, "X \xC8 X X", false, true},
                      GeneralFieldCase{gfRecording, "", true, true},
                      GeneralFieldCase{gfReserved, "EDF+C", true, true},
                      GeneralFieldCase{gfReserved, " EDF+C", false, true},
                      GeneralFieldCase{gfStartDate, "1.2.85", false, true},
                      GeneralFieldCase{gfStartDate, "31.12.84", true, true},
                      GeneralFieldCase{gfStartDate, "ab.cd.ef", false, false},
                      GeneralFieldCase{gfStartDate, "31.02.04", false, false},
                      GeneralFieldCase{gfStartTime, "4.05.06", false, true},
                      GeneralFieldCase{gfStartTime, "24.00.00", false, false},
                      GeneralFieldCase{gfHeaderBytes, "1024", false, false},
                      GeneralFieldCase{gfHeaderBytes, "abc", false, false},
                      GeneralFieldCase{gfNrDataRecords, "-1", true, true},
                      GeneralFieldCase{gfNrDataRecords, "-2", false, false},
                      GeneralFieldCase{gfNrDataRecords, " 10", false, true},
                      GeneralFieldCase{gfSampleRecDuration, "0", false, false},
                      GeneralFieldCase{gfSampleRecDuration, "0.5", true, true},
                      GeneralFieldCase{gfSampleRecDuration, "0,5", false, false},
                      GeneralFieldCase{gfNrSignals, " 2", false, true}));

TEST(UEDFFileInfo, ValidHeaderGivesTypedValues) {
  const auto h = Loaded(RawGeneral());
  EXPECT_TRUE(h->IsValid());
  EXPECT_EQ(h->Version(), "0");
  EXPECT_EQ(h->Patient(), "X X X X");
  EXPECT_EQ(h->GetRecording(), "Startdate X X X X");
  EXPECT_EQ(h->StartDate(), EncodeDate(2003, 2, 1));
  EXPECT_DOUBLE_EQ(h->StartTime(), EncodeTime(4, 5, 6, 0));
  EXPECT_DOUBLE_EQ(h->StartDateTime(), EncodeDateTime(2003, 2, 1, 4, 5, 6, 0));
  EXPECT_EQ(h->HeaderBytes(), 768);
  EXPECT_EQ(h->NrDataRecords(), 10);
  EXPECT_EQ(h->SampleRecDuration(), 30.0L);
  EXPECT_EQ(h->NrSignals(), 2);
  EXPECT_FALSE(h->Modified());
}

TEST(UEDFFileInfo, HeaderSizeMustMatchTheSignalCount) {
  const auto three = Loaded(RawGeneral({{gfNrSignals, "3"}}));
  EXPECT_FALSE(three->FieldValid()[gfHeaderBytes]);
  EXPECT_TRUE(three->FieldValid()[gfNrSignals]);
  EXPECT_EQ(three->HeaderBytes(), 768);  // the size read stays, not the one implied
  EXPECT_TRUE(Loaded(RawGeneral({{gfNrSignals, "0"}, {gfHeaderBytes, "256"}}))->IsValid());
}

TEST(UEDFFileInfo, UnreadableHeaderSizeStaysInvalidEvenWhenTheOldValueMatches) {
  auto h = Loaded(RawGeneral());
  h->LoadFromRaw(RawGeneral({{gfHeaderBytes, "abc"}}));
  EXPECT_EQ(h->HeaderBytes(), 768);
  EXPECT_FALSE(h->FieldValid()[gfHeaderBytes]);
}

TEST(UEDFFileInfo, StartDateUsesTheFixedTwoDigitYearWindow) {
  struct {
    const char* Text;
    TDateTime Date;
  } cases[] = {{"1.2.85", EncodeDate(1985, 2, 1)},
               {"31.12.84", EncodeDate(2084, 12, 31)},
               {"01-02-99", EncodeDate(1999, 2, 1)},
               {"01.02. 0", EncodeDate(2000, 2, 1)}};
  for (const auto& c : cases)
    for (bool strict : {true, false})
      EXPECT_EQ(Loaded(RawGeneral({{gfStartDate, c.Text}}), strict)->StartDate(), c.Date)
          << c.Text;
}

TEST(UEDFFileInfo, StartDateThatIsNoDateLeavesTheValue) {
  auto h = Loaded(RawGeneral());
  for (const char* text : {"ab.cd.ef", "31.02.04", "01.02.+1"}) {
    h->LoadFromRaw(RawGeneral({{gfStartDate, text}}));
    EXPECT_EQ(h->StartDate(), EncodeDate(2003, 2, 1)) << text;
    EXPECT_FALSE(h->FieldValid()[gfStartDate]) << text;
  }
}

TEST(UEDFFileInfo, EndDateTimeAddsTheRecordingLength) {
  const auto h = Loaded(RawGeneral({{gfStartDate, "01.01.00"}, {gfStartTime, "00.00.00"}}));
  ASSERT_TRUE(h->IsValid());
  EXPECT_NEAR(h->GetEndDateTime(), EncodeDateTime(2000, 1, 1, 0, 5, 0, 0), 1e-9);
  EXPECT_NEAR(h->GetEndHPDateTime()->GetDateTime(), h->GetEndDateTime(), 1e-9);
  EXPECT_EQ(h->GetStartHPDateTime()->GetDateTime(), EncodeDate(2000, 1, 1));
}

TEST(UEDFFileInfo, EndDateTimeOfInvalidHeaderRaises) {
  for (const auto& raw : {RawGeneral({{gfVersion, "1"}}),
                          RawGeneral({{gfSampleRecDuration, "1e999"}})}) {
    auto h = Loaded(raw);
    try {
      h->GetEndDateTime();
      ADD_FAILURE() << "no error raised";
    } catch (const EDataFileFieldValue& e) {
      EXPECT_EQ(e.Message(), "Invalid field value(s)");
    }
  }
}

TEST(UEDFFileInfo, SizeSettersWhileDataExistsRaiseAndChangeNothing) {
  const std::vector<std::function<void(TEDFFileInfo&)>> setters = {
      [](TEDFFileInfo& h) { h.SetHeaderBytes(1024); },
      [](TEDFFileInfo& h) { h.SetNrSignals(3); },
  };
  for (const auto& set : setters) {
    auto h = Loaded(RawGeneral());
    h->SetDataExists(true);
    try {
      set(*h);
      ADD_FAILURE() << "no error raised";
    } catch (const EDataFileDataExists& e) {
      EXPECT_EQ(e.Message(), "Data file already contains data");
    }
    EXPECT_EQ(h->HeaderBytes(), 768);
    EXPECT_EQ(h->NrSignals(), 2);
    EXPECT_TRUE(h->IsValid());
    EXPECT_FALSE(h->Modified());
    EXPECT_NO_THROW(h->Reparse());
    EXPECT_TRUE(h->DataExists());
  }
}

TEST(UEDFFileInfo, SettersOnReadOnlyRecordFailTheAssertion) {
  const std::vector<std::function<void(TEDFFileInfo&)>> setters = {
      [](TEDFFileInfo& h) { h.SetVersion("0"); },
      [](TEDFFileInfo& h) { h.SetPatient("x"); },
      [](TEDFFileInfo& h) { h.SetRecording("x"); },
      [](TEDFFileInfo& h) { h.SetReserved("x"); },
      [](TEDFFileInfo& h) { h.SetSampleRecDuration(1); },
      [](TEDFFileInfo& h) { h.SetNrDataRecords(1); },
      [](TEDFFileInfo& h) { h.SetHeaderBytes(1); },
      [](TEDFFileInfo& h) { h.SetNrSignals(1); },
      [](TEDFFileInfo& h) { h.SetStartDate(1); },
      [](TEDFFileInfo& h) { h.SetStartTime(0.5); },
      [](TEDFFileInfo& h) { h.SetStartDateTime(1.5); },
      [](TEDFFileInfo& h) { h.SetStartHPDateTime(NewHPDateTime(1.5)); },
  };
  for (size_t i = 0; i < setters.size(); ++i) {
    TEDFFileInfo h(nullptr);
    h.SetReadOnly(true);
    try {
      setters[i](h);
      ADD_FAILURE() << "setter " << i << " raised nothing";
    } catch (const EAssertionFailed& e) {
      EXPECT_EQ(e.Message().rfind("Field is ReadOnly! (uEDFHeaderRecord, line ", 0), 0u)
          << e.Message();
    }
    EXPECT_FALSE(h.Modified());
  }
}

TEST(UEDFFileInfo, SignalCountSetsTheMatchingHeaderSize) {
  TEDFFileInfo h(nullptr);
  EXPECT_TRUE(h.SetNrSignals(3));
  EXPECT_EQ(h.HeaderBytes(), 1024);
  EXPECT_TRUE(h.Modified());
  // No 32-bit header size exists for this count: both fields are invalid.
  EXPECT_FALSE(h.SetNrSignals(10000000));
  EXPECT_FALSE(h.FieldValid()[gfNrSignals]);
  EXPECT_FALSE(h.FieldValid()[gfHeaderBytes]);
  TEDFRawFileHeader raw = RawGeneral();
  raw[gfNrSignals] = "2147483647";  // wider than the field, as a caller may pass
  h.LoadFromRaw(raw);
  EXPECT_FALSE(h.FieldValid()[gfNrSignals]);
  EXPECT_FALSE(h.FieldValid()[gfHeaderBytes]);
}

TEST(UEDFFileInfo, ComposedRecordCountSurvivesAReparse) {
  TEDFFileInfo h(nullptr);
  h.SetNrDataRecords(-1);
  EXPECT_EQ(h.RawHeader()[gfNrDataRecords], "-1");
  h.SetStrict(false);
  EXPECT_EQ(h.NrDataRecords(), -1);
  EXPECT_TRUE(h.FieldValid()[gfNrDataRecords]);
  h.StoreNrDataRecords(7);  // the count found in the file: value only
  EXPECT_EQ(h.NrDataRecords(), 7);
  EXPECT_EQ(h.RawHeader()[gfNrDataRecords], "-1");
  EXPECT_FALSE(h.Modified());
}

TEST(UEDFFileInfo, PatientSetterIgnoresTrailingBlanksForModified) {
  auto h = Loaded(RawGeneral({{gfPatient, "P-17 M 07-JAN-1960 Name"}}));
  EXPECT_EQ(h->PatientInfo().Code, "P-17");
  h->SetPatient("P-17 M 07-JAN-1960 Name   ");
  EXPECT_FALSE(h->Modified());
  h->SetPatient("P-18");
  EXPECT_TRUE(h->Modified());
  EXPECT_EQ(h->PatientInfo().Code, "P-18");
}

TEST(UEDFFileInfo, RecordingSubfieldsFollowTheRecordingText) {
  auto h = Loaded(RawGeneral({{gfRecording, "Startdate 02-MAR-2002 PSG-12 X Amp_3"}}));
  EXPECT_EQ(h->RecordingInfo().RecordingDate, EncodeDate(2002, 3, 2));
  EXPECT_EQ(h->RecordingInfo().Equipment, "Amp 3");
  h->LoadFromRaw(RawGeneral({{gfRecording, ""}}));
  EXPECT_TRUE(std::isnan(h->RecordingInfo().RecordingDate));
}

TEST(UEDFFileInfo, StartDateTimeSplitsIntoDateAndTime) {
  TEDFFileInfo h(nullptr);
  const TDateTime v = EncodeDateTime(2004, 6, 24, 10, 2, 0, 0);
  h.SetStartHPDateTime(NewHPDateTime(v));
  EXPECT_EQ(h.StartDate(), EncodeDate(2004, 6, 24));
  EXPECT_NEAR(h.StartTime(), EncodeTime(10, 2, 0, 0), 1e-9);
  EXPECT_EQ(h.StartDateTime(), v);
  EXPECT_TRUE(h.FieldValid()[gfStartDate]);
  EXPECT_TRUE(h.FieldValid()[gfStartTime]);
}
