// What vellicor-anonymize is asked to keep or change.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TAnonymizeOptions {
  bool KeepSex = false;        // --keep-sex: the sex subfield stays (M or F)
  bool KeepAge = false;        // --keep-age: a birthdate that keeps the age in whole years
  bool KeepEquipment = false;  // --keep-equipment: the recording's equipment subfield stays
  // --shift-days N: StartDate and the recording's date move N days back
  // (forward when negative) instead of becoming the anonymous day.
  std::optional<int64_t> ShiftDays;
  bool ClearTime = false;  // --clear-time: StartTime 00.00.00
  // --phi-words FILE, as ReadPhiWords gives them.
  std::vector<std::string> PhiWords;
  // --header-only: a file whose annotation texts cannot be searched is
  // still copied, with a warning.
  bool HeaderOnly = false;
};
