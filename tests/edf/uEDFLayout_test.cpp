#include "edf/uEDFLayout.h"

#include <gtest/gtest.h>

#include <limits>
#include <numeric>
#include <vector>

#include "support/uSysUtils.h"

namespace {
constexpr int64_t MaxInt64 = std::numeric_limits<int64_t>::max();
}

TEST(UEDFLayoutTables, NamesAndWidthsOfBothHeadersFillTwoHundredFiftySixBytes) {
  // The names are part of the library's interface: spelled exactly so.
  const char* General[EDFFieldCount] = {"Version",     "Patient",       "Recording",
                                        "StartDate",   "StartTime",     "HeaderBytes",
                                        "Reserved",    "NrDataRecords", "SampleRecDuration",
                                        "NrSignals"};
  const char* Signal[EDFFieldCount] = {"SignalLabel", "Transducertype", "Physidim", "Physimin",
                                       "Physimax",    "Digimin",        "Digimax",  "Prefilter",
                                       "NrSamples",   "Reserved"};
  for (int F = 0; F < EDFFieldCount; ++F) {
    EXPECT_STREQ(EDFGeneralFieldNames[F], General[F]);
    EXPECT_STREQ(EDFSignalFieldNames[F], Signal[F]);
  }
  EXPECT_EQ(std::accumulate(EDFGeneralFieldWidths.begin(), EDFGeneralFieldWidths.end(), 0), 256);
  EXPECT_EQ(std::accumulate(EDFSignalFieldWidths.begin(), EDFSignalFieldWidths.end(), 0), 256);
}

TEST(UEDFLayoutOffsets, GeneralHeaderFieldsStandAtTheirFixedOffsets) {
  const int64_t Expected[EDFFieldCount] = {0, 8, 88, 168, 176, 184, 192, 236, 244, 252};
  for (int F = 0; F < EDFFieldCount; ++F)
    EXPECT_EQ(EDFGeneralFieldOffset(F), Expected[F]) << EDFGeneralFieldNames[F];
}

TEST(UEDFLayoutOffsets, SignalFieldsOfTwoSignalsStandFieldByField) {
  EXPECT_EQ(EDFSignalFieldOffset(sfSignalLabel, 0, 2), 256);
  EXPECT_EQ(EDFSignalFieldOffset(sfSignalLabel, 1, 2), 272);
  EXPECT_EQ(EDFSignalFieldOffset(sfTransducertype, 1, 2), 368);
  EXPECT_EQ(EDFSignalFieldOffset(sfNrSamples, 1, 2), 696);
  EXPECT_EQ(EDFSignalFieldOffset(sfReserved, 1, 2), 736);
  EXPECT_EQ(EDFHeaderBytes(2), 768);
  EXPECT_EQ(EDFHeaderBytes(0), 256);
}

TEST(UEDFLayoutOffsets, SignalBlockIsContiguousAndEndsAtHeaderBytes) {
  for (const int64_t Ns : {1, 3, 7, 9999}) {
    int64_t Next = 256;
    for (int F = 0; F < EDFFieldCount; ++F)
      for (int64_t I = 0; I < Ns; ++I) {
        ASSERT_EQ(EDFSignalFieldOffset(F, I, Ns), Next) << "ns " << Ns << " field " << F;
        Next += EDFSignalFieldWidths[F];
      }
    EXPECT_EQ(Next, EDFHeaderBytes(Ns));
  }
}

TEST(UEDFLayoutOffsets, IndicesOutsideTheTablesAreProgrammingErrors) {
  EXPECT_THROW(EDFGeneralFieldOffset(EDFFieldCount), EAssertionFailed);
  EXPECT_THROW(EDFGeneralFieldOffset(-1), EAssertionFailed);
  EXPECT_THROW(EDFSignalFieldOffset(sfSignalLabel, 2, 2), EAssertionFailed);
  EXPECT_THROW(EDFSignalFieldOffset(sfSignalLabel, -1, 2), EAssertionFailed);
  const int32_t Samples[] = {10, 20};
  EXPECT_THROW(EDFSampleOffset(Samples, 2), EAssertionFailed);
}

TEST(UEDFLayoutRecords, RecordOfTwoSignalsHasItsSizeAndSignalOffsets) {
  const int32_t Samples[] = {250, 50};
  EXPECT_EQ(EDFRecordSamples(Samples), 300);
  EXPECT_EQ(EDFRecordBytes(EDFRecordSamples(Samples)), 600);
  EXPECT_EQ(EDFSampleOffset(Samples, 0), 0);
  EXPECT_EQ(2 * EDFSampleOffset(Samples, 1), 500);
  EXPECT_EQ(EDFRecordPosition(768, 3, 300), 768 + 3 * 600);
  EXPECT_EQ(EDFExpectedFileSize(768, 10, 300), 6768);
}

TEST(UEDFLayoutRecords, CompleteRecordsCountOnlyWholeRecordsAndNeverGoNegative) {
  struct Case {
    int64_t FileSize, HeaderBytes, RecordSamples, Expected;
  };
  const Case Cases[] = {
      {768 + 10 * 600, 768, 300, 10},
      {768 + 10 * 600 + 300, 768, 300, 10},  // half a record more
      {768 + 10 * 600 - 1, 768, 300, 9},
      {768 + 599, 768, 300, 0},
      {768, 768, 300, 0},
      {100, 768, 300, 0},                    // shorter than its header
      {100, 768, 1, 0},
      {768 + 600, 768, 0, 0},                // no samples: no divisor
      {768 + 600, 768, -300, 0},
      {MaxInt64, -MaxInt64, 1, MaxInt64 / 2},  // saturated difference
  };
  for (const auto& C : Cases)
    EXPECT_EQ(EDFCompleteRecords(C.FileSize, C.HeaderBytes, C.RecordSamples), C.Expected)
        << C.FileSize << " " << C.HeaderBytes << " " << C.RecordSamples;
}

TEST(UEDFLayoutRecords, PositionsBeyondTwoAndFourGiBAreExact) {
  const int64_t HeaderBytes = 768;
  const int64_t RecordSamples = 30720;  // 61440 bytes, the largest allowed record
  const int64_t Past2GiB = EDFRecordPosition(HeaderBytes, 40000, RecordSamples);
  const int64_t Past4GiB = EDFRecordPosition(HeaderBytes, 70000, RecordSamples);
  EXPECT_EQ(Past2GiB, 2457600768LL);
  EXPECT_GT(Past2GiB, int64_t{1} << 31);
  EXPECT_EQ(Past4GiB, 4300800768LL);
  EXPECT_GT(Past4GiB, int64_t{1} << 32);
  EXPECT_EQ(EDFCompleteRecords(Past4GiB + 61439, HeaderBytes, RecordSamples), 70000);
  EXPECT_EQ(EDFExpectedFileSize(HeaderBytes, 70000, RecordSamples), Past4GiB);
}

TEST(UEDFLayoutRecords, CraftedHugeHeadersGiveSaneValues) {
  // 9999 signals of 99999999 samples each: large, but exact in int64_t.
  const std::vector<int32_t> Samples(9999, 99999999);
  const int64_t RecordSamples = EDFRecordSamples(Samples);
  EXPECT_EQ(RecordSamples, 9999LL * 99999999LL);
  EXPECT_EQ(EDFSampleOffset(Samples, 9998), 9998LL * 99999999LL);
  EXPECT_EQ(EDFHeaderBytes(9999), 2560000);
  // Far records saturate instead of wrapping round to small or negative positions.
  EXPECT_EQ(EDFRecordPosition(EDFHeaderBytes(9999), 99999999, RecordSamples), MaxInt64);
  EXPECT_EQ(EDFExpectedFileSize(EDFHeaderBytes(9999), 99999999, RecordSamples), MaxInt64);
  EXPECT_EQ(EDFHeaderBytes(MaxInt64), MaxInt64);
  const std::vector<int32_t> Widest(3, std::numeric_limits<int32_t>::max());
  EXPECT_EQ(EDFRecordSamples(Widest), 3LL * std::numeric_limits<int32_t>::max());
}

TEST(UEDFLayoutFields, ReadFieldFromTakesExactlyTheWidthWhenAvailable) {
  const std::string Bytes = "0       X-PATIENT";
  EXPECT_EQ(ReadFieldFrom(Bytes, 0, 8), "0       ");
  EXPECT_EQ(ReadFieldFrom(Bytes, 8, 4), "X-PA");
  EXPECT_EQ(ReadFieldFrom(Bytes, 8, 80), "X-PATIENT");  // short at the end
  EXPECT_EQ(ReadFieldFrom(Bytes, 17, 8), "");
  EXPECT_EQ(ReadFieldFrom(Bytes, -1, 8), "");
  EXPECT_EQ(ReadFieldFrom(Bytes, 0, 0), "");
}

TEST(UEDFLayoutFields, FormatFieldPadsCutsOrBlanksToTheWidth) {
  struct Case {
    bool Valid;
    const char* Text;
    int Width;
    const char* Expected;
  };
  const Case Cases[] = {
      {true, "0", 8, "0       "},
      {true, "EEG Fpz-Cz", 16, "EEG Fpz-Cz      "},
      {true, "123456789", 8, "12345678"},  // too long: cut
      {true, "", 4, "    "},
      {true, "12345678", 8, "12345678"},
      {false, "uV", 8, "        "},        // invalid: blanks whatever the text
      {false, "", 4, "    "},
  };
  for (const auto& C : Cases) EXPECT_EQ(FormatField(C.Valid, C.Text, C.Width), C.Expected);
}
