#include "edf/uUnits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/udroot.h"
#include "util/uCalendar.h"
#include "util/uFormatSettings.h"
#include "util/uLocale.h"

namespace {

TEST(UUnits, StartRegistersTheTenUnitsInOrderAndStopFreesTheRegistry) {
  TFormatSettingsGuard Guard;  // start-up rereads the process-wide settings
  ASSERT_FALSE(UnitListExists());
  StartUnits();
  StartUnits();  // a second start registers nothing more
  ASSERT_TRUE(UnitListExists());
  struct Row {
    std::string Name, Version;
    TDateTime Date;
  };
  const std::vector<Row> Expected = {
      {"udRoot", "1.0.2", EncodeDateTime(2004, 6, 16, 9, 13, 0, 0)},
      {"uMath", "1.0", EncodeDateTime(2002, 6, 21, 14, 31, 0, 0)},
      {"udDisk", "1.0.1", EncodeDateTime(2002, 10, 17, 14, 6, 0, 0)},
      {"udStr", "1.1.4", EncodeDateTime(2003, 3, 17, 15, 5, 0, 0)},
      {"uLocale", "1.0.0", EncodeDateTime(2004, 6, 15, 3, 8, 18, 0)},
      {"uDateTime", "2.0", EncodeDateTime(2004, 2, 18, 17, 6, 0, 0)},
      {"MenuBar", "1.0.0", EncodeDateTime(2004, 6, 15, 3, 19, 12, 0)},
      {"uHPDateTime", "1.0.0", EncodeDateTime(2004, 6, 15, 3, 6, 50, 0)},
      {"uUCS", "1.0.0", EncodeDateTime(2003, 1, 10, 10, 56, 0, 0)},
      {"uEDF", "1.1.0", EncodeDateTime(2004, 6, 24, 10, 2, 0, 0)},
  };
  const TUnitInfoList& List = *GetUnitList();
  ASSERT_EQ(List.size(), Expected.size());
  for (size_t I = 0; I < Expected.size(); ++I) {
    EXPECT_EQ(List[I]->UnitName, Expected[I].Name) << I;
    EXPECT_EQ(List[I]->UnitVersion, Expected[I].Version) << I;
    EXPECT_EQ(List[I]->UnitDate, Expected[I].Date) << I;
    EXPECT_EQ(List[I]->UnitAuthor, List[0]->UnitAuthor) << "one author for all";
  }
  EXPECT_FALSE(List[0]->UnitAuthor.empty());
  EXPECT_EQ(LocaleEnglishUS, 1033u);
  EXPECT_EQ(ProcessFormatSettings().TwoDigitYearCenturyWindow, 50);

  StopUnits();
  EXPECT_FALSE(UnitListExists());
  EXPECT_EQ(GetUnitList(), nullptr);
}

}  // namespace
