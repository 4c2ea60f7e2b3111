#include "edf/uEDFSignalInfo.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "edf/uDataFileErrors.h"
#include "support/uSysUtils.h"
#include "util/udStr.h"

namespace {

// A valid signal header as read from a file (fields padded to their widths),
// with the given fields replaced before padding.
TEDFRawSignalHeader RawSignal(std::vector<std::pair<int, std::string>> Changes = {}) {
  TEDFRawSignalHeader raw = {"EEG Fpz-Cz", "AgAgCl electrode", "uV", "-500", "500",
                             "-2048",      "2047",             "HP:0.1Hz", "256", ""};
  for (const auto& [field, text] : Changes) raw[static_cast<size_t>(field)] = text;
  for (int f = 0; f < EDFFieldCount; ++f)
    raw[static_cast<size_t>(f)] =
        PadRight(raw[static_cast<size_t>(f)], EDFSignalFieldWidths[static_cast<size_t>(f)]);
  return raw;
}

std::unique_ptr<TEDFSignalInfo> Loaded(const TEDFRawSignalHeader& Raw, bool Strict) {
  auto s = std::make_unique<TEDFSignalInfo>();
  s->SetStrict(Strict);
  s->LoadFromRaw(Raw);
  return s;
}

}  // namespace

struct SignalFieldCase {
  int Field;
  std::string Text;
  bool StrictValid;
  bool LenientValid;
};
void PrintTo(const SignalFieldCase& c, std::ostream* os) { *os << EDFSignalFieldNames[static_cast<size_t>(c.Field)] << " '" << c.Text << "'"; }


class SignalFieldRule : public ::testing::TestWithParam<SignalFieldCase> {};

TEST_P(SignalFieldRule, OneChangedFieldSetsOnlyItsOwnFlag) {
  const SignalFieldCase& c = GetParam();
  for (bool strict : {true, false}) {
    SCOPED_TRACE(strict ? "strict" : "lenient");
    TEDFSignalInfo s;
    s.SetStrict(strict);
    s.LoadFromRaw(RawSignal({{c.Field, c.Text}}));
    for (int f = 0; f < EDFFieldCount; ++f) {
      const bool expected = f != c.Field ? true : (strict ? c.StrictValid : c.LenientValid);
      EXPECT_EQ(s.GetFieldValid(f), expected) << EDFSignalFieldNames[static_cast<size_t>(f)];
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SignalFieldRule,
    ::testing::Values(SignalFieldCase{sfSignalLabel, "", true, true},
                      SignalFieldCase{sfSignalLabel, "EEG \xC8", false, true},
                      SignalFieldCase{sfSignalLabel, " EEG", false, true},
                      SignalFieldCase{sfPrefilter, "HP\t1Hz", false, true},
                      SignalFieldCase{sfPhysimin, " -500", false, true},
                      SignalFieldCase{sfPhysimin, "low", false, false},
                      SignalFieldCase{sfPhysimin, "1e400", false, false},
                      SignalFieldCase{sfDigimin, "40000", false, false},
                      SignalFieldCase{sfDigimin, "-2048.0", false, true},
                      SignalFieldCase{sfDigimin, "-2048.5", false, false},
                      SignalFieldCase{sfDigimin, " -2048", false, true},
                      SignalFieldCase{sfDigimax, "", false, false},
                      SignalFieldCase{sfNrSamples, "0", false, false},
                      SignalFieldCase{sfNrSamples, "256", true, true},
                      SignalFieldCase{sfNrSamples, " 256", false, true},
                      SignalFieldCase{sfNrSamples, "-1", false, false},
                      SignalFieldCase{sfNrSamples, "2.5", false, false}));

TEST(UEDFSignalInfo, TypicalRangesCalibrateWithGainOfTheRanges) {
  const auto s = Loaded(RawSignal(), true);
  EXPECT_TRUE(s->IsValid());
  EXPECT_TRUE(s->Calibrated());
  EXPECT_EQ(s->Digimin(), -2048);
  EXPECT_EQ(s->Digimax(), 2047);
  EXPECT_EQ(s->Physimin(), -500.0);
  EXPECT_EQ(s->Physimax(), 500.0);
  EXPECT_EQ(s->Gain(), 1000.0L / 4095.0L);
  EXPECT_EQ(s->NrSamples(), 256);
  EXPECT_EQ(s->SignalLabel(), "EEG Fpz-Cz");  // trailing blanks gone
  EXPECT_FALSE(s->Modified());
}

TEST(UEDFSignalInfo, LenientDecimalDigitalLimitIsTakenAsInteger) {
  const auto s = Loaded(RawSignal({{sfDigimin, "-2048.0"}}), false);
  EXPECT_EQ(s->Digimin(), -2048);
  EXPECT_TRUE(s->Calibrated());
}

TEST(UEDFSignalInfo, EqualOrCrossedDigitalLimitsClearBothFlags) {
  for (auto [lo, hi] : {std::pair{"100", "100"}, std::pair{"200", "100"}}) {
    for (bool strict : {true, false}) {
      const auto s = Loaded(RawSignal({{sfDigimin, lo}, {sfDigimax, hi}}), strict);
      EXPECT_FALSE(s->GetFieldValid(sfDigimin)) << lo << " " << hi;
      EXPECT_FALSE(s->GetFieldValid(sfDigimax)) << lo << " " << hi;
      EXPECT_FALSE(s->IsValid());
      EXPECT_FALSE(s->Calibrated());
    }
  }
}

TEST(UEDFSignalInfo, UnusablePhysicalRangeIsValidButNotCalibrated) {
  for (auto [lo, hi] : {std::pair{"", ""}, std::pair{"5", "5"}}) {
    const auto s = Loaded(RawSignal({{sfPhysimin, lo}, {sfPhysimax, hi}}), true);
    EXPECT_TRUE(s->IsValid()) << "'" << lo << "'";
    EXPECT_FALSE(s->Calibrated()) << "'" << lo << "'";
  }
}

TEST(UEDFSignalInfo, CommaDecimalIsTakenButFlaggedOnlyInStrictMode) {
  const auto raw = RawSignal({{sfPhysimin, "-500,5"}, {sfPhysimax, "500,5"}});
  for (bool strict : {true, false}) {
    TEDFSignalInfo s;
    s.SetStrict(strict);
    s.SetDecimalSeparator(',');
    s.LoadFromRaw(raw);
    EXPECT_EQ(s.Physimin(), -500.5);
    EXPECT_EQ(s.Physimax(), 500.5);
    EXPECT_EQ(s.GetFieldValid(sfPhysimin), !strict);
    EXPECT_EQ(s.GetFieldValid(sfPhysimax), !strict);
    EXPECT_EQ(s.Calibrated(), !strict);
    EXPECT_TRUE(s.IsValid());
  }
  // The same text under the default point is no number at all.
  const auto point = Loaded(raw, false);
  EXPECT_FALSE(point->GetFieldValid(sfPhysimin));
}

TEST(UEDFSignalInfo, SetStrictReparsesTheRawTexts) {
  TEDFSignalInfo s;
  s.LoadFromRaw(RawSignal({{sfNrSamples, " 256"}}));
  EXPECT_FALSE(s.IsValid());
  s.SetStrict(false);
  EXPECT_TRUE(s.IsValid());
  EXPECT_EQ(s.NrSamples(), 256);
  s.SetStrict(true);
  EXPECT_FALSE(s.IsValid());
}

TEST(UEDFSignalInfo, NewRecordHasTextFlagsOnlyAndNoBufferPlace) {
  const TEDFSignalInfo s;
  const std::vector<bool> expected = {true, true, true, false, false,
                                      false, false, true, false, true};
  EXPECT_EQ(s.FieldValid(), expected);
  EXPECT_EQ(s.BufferOffset(), -1);
  EXPECT_TRUE(s.Selected());
  EXPECT_TRUE(s.Strict());
  EXPECT_EQ(s.DecimalSeparator(), '.');
  EXPECT_EQ(s.ThousandSeparator(), '\0');
}

TEST(UEDFSignalInfo, SetNrSamplesWhileDataExistsRaisesAndChangesNothing) {
  TEDFSignalInfo s;
  s.LoadFromRaw(RawSignal());
  s.SetDataExists(true);
  try {
    s.SetNrSamples(100);
    FAIL() << "no error raised";
  } catch (const EDataFileDataExists& e) {
    EXPECT_EQ(e.Message(), "Data file already contains data");
  }
  EXPECT_EQ(s.NrSamples(), 256);
  EXPECT_TRUE(s.GetFieldValid(sfNrSamples));
  EXPECT_FALSE(s.Modified());
  // A re-parse is not a change of the layout.
  EXPECT_NO_THROW(s.Reparse());
  EXPECT_TRUE(s.DataExists());
}

TEST(UEDFSignalInfo, SettersOnReadOnlyRecordFailTheAssertion) {
  const std::vector<std::function<void(TEDFSignalInfo&)>> setters = {
      [](TEDFSignalInfo& s) { s.SetSignalLabel("x"); },
      [](TEDFSignalInfo& s) { s.SetTransducertype("x"); },
      [](TEDFSignalInfo& s) { s.SetPhysidim("x"); },
      [](TEDFSignalInfo& s) { s.SetPhysimin(1); },
      [](TEDFSignalInfo& s) { s.SetPhysimax(1); },
      [](TEDFSignalInfo& s) { s.SetDigimin(1); },
      [](TEDFSignalInfo& s) { s.SetDigimax(1); },
      [](TEDFSignalInfo& s) { s.SetPrefilter("x"); },
      [](TEDFSignalInfo& s) { s.SetNrSamples(1); },
      [](TEDFSignalInfo& s) { s.SetReserved("x"); },
  };
  for (size_t i = 0; i < setters.size(); ++i) {
    TEDFSignalInfo s;
    s.SetReadOnly(true);
    try {
      setters[i](s);
      ADD_FAILURE() << "setter " << i << " raised nothing";
    } catch (const EAssertionFailed& e) {
      EXPECT_EQ(e.Message().rfind("Field is ReadOnly! (uEDFHeaderRecord, line ", 0), 0u)
          << e.Message();
    }
    EXPECT_FALSE(s.Modified());
  }
}

TEST(UEDFSignalInfo, SettersMarkModifiedOnlyForAChange) {
  TEDFSignalInfo s;
  s.LoadFromRaw(RawSignal());
  s.SetDigimin(-2048);
  s.SetPhysimax(500);
  EXPECT_FALSE(s.Modified());
  s.SetDigimin(-1000);
  EXPECT_TRUE(s.Modified());
  EXPECT_EQ(s.Gain(), 1000.0L / 3047.0L);
}

TEST(UEDFSignalInfo, SelectedNotifiesOnEveryCall) {
  TEDFSignalInfo s;
  std::vector<TCustomEDFSignalInfo*> senders;
  s.SetOnSelectedChange([&](TCustomEDFSignalInfo* sender) { senders.push_back(sender); });
  s.SetSelected(true);
  s.SetSelected(false);
  s.SetReadOnly(true);  // no read-only check on selection
  s.SetSelected(false);
  ASSERT_EQ(senders.size(), 3u);
  EXPECT_EQ(senders[0], &s);
  EXPECT_FALSE(s.Selected());
}

// The digital limits follow the record's format: 16 bits for EDF, 24 for BDF,
// read from the text and set through the setters alike.
TEST(UEDFSignalInfo, DigitalLimitsLieInTheFormatsSampleRange) {
  const struct {
    TEDFFormat Format;
    int32_t Value;
    bool Valid;
  } Cases[] = {{TEDFFormat::EDF, -32768, true},    {TEDFFormat::EDF, 32767, true},
               {TEDFFormat::EDF, -32769, false},   {TEDFFormat::EDF, 32768, false},
               {TEDFFormat::BDF, -8388608, true},  {TEDFFormat::BDF, 8388607, true},
               {TEDFFormat::BDF, -8388609, false}, {TEDFFormat::BDF, 8388608, false}};
  for (const auto& c : Cases) {
    SCOPED_TRACE(std::to_string(c.Value) + (c.Format == TEDFFormat::BDF ? " BDF" : " EDF"));
    const bool low = c.Value < 0;
    TEDFSignalInfo read;
    read.SetFormat(c.Format);
    read.LoadFromRaw(RawSignal({{low ? sfDigimin : sfDigimax, std::to_string(c.Value)}}));
    EXPECT_EQ(read.GetFieldValid(low ? sfDigimin : sfDigimax), c.Valid);
    EXPECT_EQ(read.FieldFaults(low ? sfDigimin : sfDigimax), c.Valid ? ffNone : ffOutOfRange);
    if (c.Valid) {
      EXPECT_EQ(low ? read.Digimin() : read.Digimax(), c.Value);
    }

    TEDFSignalInfo set;
    set.SetFormat(c.Format);
    low ? set.SetDigimin(c.Value) : set.SetDigimax(c.Value);
    EXPECT_EQ(set.GetFieldValid(low ? sfDigimin : sfDigimax), c.Valid);
  }
}
