// Root of the program's own library: the process-wide inventory of library
// units (name, version, author, release date) and the dynamic array types the
// library shares.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

using TDynSmallIntArray = std::vector<int16_t>;
using TDynBooleanArray = std::vector<bool>;
using TDynStringArray = std::vector<std::string>;

// One registration. UnitDate is a date-time value: days since 30 Dec 1899.
struct TUnitInfo {
  std::string UnitName;
  std::string UnitVersion;
  std::string UnitAuthor;
  double UnitDate = 0.0;
};

using TUnitInfoList = std::vector<std::unique_ptr<TUnitInfo>>;

// The list does not exist until the first RegisterUnit creates it.
bool UnitListExists();
// The list in registration order, or nullptr while it is absent.
const TUnitInfoList* UnitList();
inline const TUnitInfoList* GetUnitList() { return UnitList(); }

// Appends one record, creating the list first when needed. On failure the
// new record is freed and the error passes to the caller.
void RegisterUnit(const std::string& Name, const std::string& Version, const std::string& Author,
                  double Date);

// Shutdown of the registry: frees the list with every record and leaves it absent.
void FreeUnitList();
