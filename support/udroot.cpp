#include "support/udroot.h"

namespace {
std::unique_ptr<TUnitInfoList>& UnitListSlot() {
  static std::unique_ptr<TUnitInfoList> List;
  return List;
}
}  // namespace

bool UnitListExists() { return UnitListSlot() != nullptr; }

const TUnitInfoList* UnitList() { return UnitListSlot().get(); }

void RegisterUnit(const std::string& Name, const std::string& Version, const std::string& Author,
                  double Date) {
  // The unique_ptr frees the record if creating the list or appending throws.
  auto Info = std::make_unique<TUnitInfo>(TUnitInfo{Name, Version, Author, Date});
  auto& List = UnitListSlot();
  if (!List) List = std::make_unique<TUnitInfoList>();
  List->push_back(std::move(Info));
}

void FreeUnitList() { UnitListSlot().reset(); }
