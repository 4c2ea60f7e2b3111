#include "support/udroot.h"

#include <gtest/gtest.h>

// The list is process-wide; each test starts and ends with it absent.
class UdrootRegistry : public ::testing::Test {
protected:
  void SetUp() override { FreeUnitList(); }
  void TearDown() override { FreeUnitList(); }
};

TEST_F(UdrootRegistry, ListIsAbsentUntilTheFirstRegistration) {
  EXPECT_FALSE(UnitListExists());
  EXPECT_EQ(GetUnitList(), nullptr);
  FreeUnitList();  // freeing an absent list is harmless
  EXPECT_FALSE(UnitListExists());
}

TEST_F(UdrootRegistry, RegisterUnitAppendsInRegistrationOrder) {
  RegisterUnit("udRoot", "1.0.2", "author", 38154.38402777778);
  ASSERT_TRUE(UnitListExists());
  RegisterUnit("uMath", "1.0", "author", 37428.60486111111);

  const TUnitInfoList* List = GetUnitList();
  ASSERT_NE(List, nullptr);
  ASSERT_EQ(List->size(), 2u);
  EXPECT_EQ((*List)[0]->UnitName, "udRoot");
  EXPECT_EQ((*List)[0]->UnitVersion, "1.0.2");
  EXPECT_EQ((*List)[0]->UnitAuthor, "author");
  EXPECT_DOUBLE_EQ((*List)[0]->UnitDate, 38154.38402777778);
  EXPECT_EQ((*List)[1]->UnitName, "uMath");
}

TEST_F(UdrootRegistry, FreeUnitListLeavesItAbsentAndANewRegistrationStartsAfresh) {
  RegisterUnit("a", "1", "x", 1.0);
  RegisterUnit("b", "1", "x", 2.0);
  FreeUnitList();
  EXPECT_FALSE(UnitListExists());
  EXPECT_EQ(GetUnitList(), nullptr);

  RegisterUnit("c", "1", "x", 3.0);
  ASSERT_TRUE(UnitListExists());
  ASSERT_EQ(GetUnitList()->size(), 1u);
  EXPECT_EQ(GetUnitList()->front()->UnitName, "c");
}
