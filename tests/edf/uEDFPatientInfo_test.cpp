#include "edf/uEDFPatientInfo.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>

#include "util/uCalendar.h"

namespace {

const TDateTime NoDate = std::nan("");  // marker for "expect no date"

void ExpectDate(TDateTime Actual, TDateTime Expected, const std::string& Text) {
  if (std::isnan(Expected)) {
    // The one quiet NaN, so it survives being written and read back bitwise.
    EXPECT_EQ(std::bit_cast<uint64_t>(Actual), 0xFFF8000000000000ull) << Text;
  } else {
    EXPECT_EQ(Actual, Expected) << Text;
  }
}

}  // namespace

struct PatientCase {
  std::string Text;
  std::string Code;
  char Sex;
  TDateTime BirthDate;
  std::string PatientName;
  std::string Additional;
};
void PrintTo(const PatientCase& c, std::ostream* os) { *os << "'" << c.Text << "'"; }


class PatientSubfields : public ::testing::TestWithParam<PatientCase> {};

TEST_P(PatientSubfields, SplitIntoCodeSexBirthDateNameAndRest) {
  const PatientCase& c = GetParam();
  TEDFPatientInfo p;
  p.Parse(c.Text);
  EXPECT_EQ(p.Text, c.Text);
  EXPECT_EQ(p.Code, c.Code);
  EXPECT_EQ(p.Sex, c.Sex);
  ExpectDate(p.BirthDate, c.BirthDate, c.Text);
  EXPECT_EQ(p.PatientName, c.PatientName);
  EXPECT_EQ(p.Additional, c.Additional);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PatientSubfields,
    ::testing::Values(
        PatientCase{"P-17 m 07-jan-1960 Test_Person left arm", "P-17", 'M',
                    EncodeDate(1960, 1, 7), "Test Person", "left arm"},
        PatientCase{"X X X X", "", '\0', NoDate, "", ""},
        PatientCase{"x F x x", "", 'F', NoDate, "", ""},
        PatientCase{"", "", '\0', NoDate, "", ""},
        PatientCase{"P-17", "P-17", '\0', NoDate, "", ""},
        // Two blanks give an empty subfield and shift the rest.
        PatientCase{"P-17  F 07-JAN-1960 Name", "P-17", '\0', NoDate, "07-JAN-1960", "Name"},
        // The rest keeps its underscores and inner blanks.
        PatientCase{"A_1 M 01-Feb-2001 B_C keep_this  as is", "A 1", 'M', EncodeDate(2001, 2, 1),
                    "B C", "keep_this  as is"},
        // A name in place of a month, and a day the month does not have.
        PatientCase{"P M 07-JANUARY-1960 N", "P", 'M', NoDate, "N", ""},
        PatientCase{"P M 31-FEB-2000 N", "P", 'M', NoDate, "N", ""}));

struct RecordingCase {
  std::string Text;
  TDateTime RecordingDate;
  std::string AdminCode;
  std::string Technician;
  std::string Equipment;
  std::string Additional;
};
void PrintTo(const RecordingCase& c, std::ostream* os) { *os << "'" << c.Text << "'"; }


class RecordingSubfields : public ::testing::TestWithParam<RecordingCase> {};

TEST_P(RecordingSubfields, SplitAfterTheStartdateKeyword) {
  const RecordingCase& c = GetParam();
  TEDFRecordingInfo r;
  r.Parse(c.Text);
  ExpectDate(r.RecordingDate, c.RecordingDate, c.Text);
  EXPECT_EQ(r.AdminCode, c.AdminCode);
  EXPECT_EQ(r.Technician, c.Technician);
  EXPECT_EQ(r.Equipment, c.Equipment);
  EXPECT_EQ(r.Additional, c.Additional);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RecordingSubfields,
    ::testing::Values(
        RecordingCase{"startdate 02-MAR-2002 PSG-12 X Amp_3 night 1", EncodeDate(2002, 3, 2),
                      "PSG-12", "", "Amp 3", "night 1"},
        RecordingCase{"Startdate X X X X", NoDate, "", "", "", ""},
        RecordingCase{"STARTDATE 02-mar-2002 A T E rest_of_it", EncodeDate(2002, 3, 2), "A", "T",
                      "E", "rest_of_it"},
        RecordingCase{"free text of a plain EDF file", NoDate, "", "", "",
                      "free text of a plain EDF file"},
        RecordingCase{"", NoDate, "", "", "", ""}));

TEST(UEDFPatientInfo, ParseReplacesEveryEarlierSubfield) {
  TEDFPatientInfo p;
  p.Parse("P-17 M 07-JAN-1960 Name rest");
  p.Parse("");
  EXPECT_EQ(p.Code, "");
  EXPECT_EQ(p.Sex, '\0');
  EXPECT_TRUE(std::isnan(p.BirthDate));
  EXPECT_EQ(p.PatientName, "");
  EXPECT_EQ(p.Additional, "");

  TEDFRecordingInfo r;
  r.Parse("Startdate 02-MAR-2002 A T E rest");
  r.Parse("plain");
  EXPECT_TRUE(std::isnan(r.RecordingDate));
  EXPECT_EQ(r.AdminCode, "");
  EXPECT_EQ(r.Equipment, "");
  EXPECT_EQ(r.Additional, "plain");
}

