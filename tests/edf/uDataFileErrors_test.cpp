#include "edf/uDataFileErrors.h"

#include <gtest/gtest.h>

#include <functional>
#include <typeinfo>

namespace {
// Throws one ready-made error and reports what an EDataFile handler saw.
struct Raised {
  bool CaughtAsDataFile = false;
  std::string Message;
  const std::type_info* Type = nullptr;
};

Raised Raise(const std::function<void()>& Thrower) {
  Raised R;
  try {
    Thrower();
  } catch (const EDataFile& E) {
    R.CaughtAsDataFile = true;
    R.Message = E.Message();
    R.Type = &typeid(E);
  } catch (...) {
  }
  return R;
}
}  // namespace

TEST(UDataFileErrors, EachCaseHasItsClassAndFixedMessageAndIsAnEDataFile) {
  struct Case {
    std::function<void()> Thrower;
    const std::type_info& Type;
    const char* Message;
  };
  const Case Cases[] = {
      {[] { throw ErrNoFileName(); }, typeid(EDataFile), "No filename"},
      {[] { throw ErrBusyCreating(); }, typeid(EDataFileIsCreating), "Busy creating new file"},
      {[] { throw ErrDataFileIsOpen(); }, typeid(EDataFileIsOpen), "Data file is already open"},
      {[] { throw ErrFileReadOnly(); }, typeid(EDataFileReadOnly), "File is opened read-only"},
      {[] { throw ErrReadingData(); }, typeid(EDataFileReadData), "Error reading file data"},
      {[] { throw ErrDataFileExists(); }, typeid(EDataFileExists), "Data file already exists"},
      {[] { throw ErrDataFileDataExists(); }, typeid(EDataFileDataExists),
       "Data file already contains data"},
      {[] { throw ErrInvalidFieldValues(); }, typeid(EDataFileFieldValue),
       "Invalid field value(s)"},
      {[] { throw ErrInvalidHeader(); }, typeid(EDataFileHeaderInvalid),
       "Invalid or incomplete file header"},
  };
  for (const auto& C : Cases) {
    const Raised R = Raise(C.Thrower);
    EXPECT_TRUE(R.CaughtAsDataFile) << C.Message;
    EXPECT_EQ(R.Message, C.Message);
    ASSERT_NE(R.Type, nullptr);
    EXPECT_EQ(*R.Type, C.Type) << C.Message;
  }
}

TEST(UDataFileErrors, AHandlerForOneCaseDoesNotCatchASibling) {
  bool CaughtAsIsOpen = false;
  bool CaughtAsDataFile = false;
  try {
    try {
      throw ErrBusyCreating();
    } catch (const EDataFileIsOpen&) {
      CaughtAsIsOpen = true;
    }
  } catch (const EDataFile&) {
    CaughtAsDataFile = true;
  }
  EXPECT_FALSE(CaughtAsIsOpen);
  EXPECT_TRUE(CaughtAsDataFile);
}

TEST(UDataFileErrors, AFailedAssertionIsNotADataFileErrorAndNamesUnitAndLine) {
  bool CaughtAsDataFile = false;
  std::string Message;
  int Line = 0;
  try {
    Line = __LINE__ + 1;
    VASSERT(false, "Field is ReadOnly!");
  } catch (const EDataFile&) {
    CaughtAsDataFile = true;
  } catch (const EAssertionFailed& E) {
    Message = E.Message();
  }
  EXPECT_FALSE(CaughtAsDataFile);
  EXPECT_EQ(Message, "Field is ReadOnly! (uDataFileErrors, line " + std::to_string(Line) + ")");
}
