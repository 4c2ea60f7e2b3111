#include "edf/uUnits.h"

#include <array>

#include "support/uApplicINI.h"
#include "support/udroot.h"
#include "util/uCalendar.h"
#include "util/uDateTime.h"
#include "util/uLocale.h"

namespace {

const char* const Author = "The Vellicor developers";

// One step of the start-up, in dependency order. A step without a name does
// not register (the settings-file paths); Stamp, when given, is the release
// date as text, else the date comes from the numbers.
struct TUnitStep {
  const char* Name;
  const char* Version;
  uint16_t Year, Month, Day, Hour, Minute, Second;
  const char* Stamp;
  void (*Start)();
  void (*Stop)();
};

constexpr std::array<TUnitStep, 11> Steps{{
    {"udRoot", "1.0.2", 2004, 6, 16, 9, 13, 0, nullptr, nullptr, nullptr},
    {"uMath", "1.0", 2002, 6, 21, 14, 31, 0, nullptr, nullptr, nullptr},
    {"udDisk", "1.0.1", 2002, 10, 17, 14, 6, 0, nullptr, nullptr, nullptr},
    {nullptr, nullptr, 0, 0, 0, 0, 0, 0, nullptr, InitApplicINI, DoneApplicINI},
    {"udStr", "1.1.4", 0, 0, 0, 0, 0, 0, "17.03.2003 15.05.00", nullptr, nullptr},
    {"uLocale", "1.0.0", 0, 0, 0, 0, 0, 0, "15.06.2004 03.08.18", InitLocale, nullptr},
    {"uDateTime", "2.0", 0, 0, 0, 0, 0, 0, "18.02.2004 17.06.00", nullptr, nullptr},
    {"MenuBar", "1.0.0", 0, 0, 0, 0, 0, 0, "15.06.2004 03.19.12", nullptr, nullptr},
    {"uHPDateTime", "1.0.0", 0, 0, 0, 0, 0, 0, "15.06.2004 03.06.50", nullptr, nullptr},
    {"uUCS", "1.0.0", 2003, 1, 10, 10, 56, 0, nullptr, nullptr, nullptr},
    {"uEDF", "1.1.0", 0, 0, 0, 0, 0, 0, "24.06.2004 10.02.00", nullptr, nullptr},
}};

bool Started = false;

TDateTime ReleaseDate(const TUnitStep& Step) {
  if (Step.Stamp != nullptr) return StrToDateTimeFmt(Step.Stamp, "dd.mm.yyyy hh.nn.ss", 0);
  return EncodeDateTime(Step.Year, Step.Month, Step.Day, Step.Hour, Step.Minute, Step.Second, 0);
}

}  // namespace

void StartUnits() {
  // A second start would register every unit twice.
  if (Started) return;
  Started = true;
  for (const TUnitStep& Step : Steps) {
    if (Step.Name != nullptr) RegisterUnit(Step.Name, Step.Version, Author, ReleaseDate(Step));
    if (Step.Start != nullptr) Step.Start();
  }
}

void StopUnits() {
  if (!Started) return;
  for (auto Step = Steps.rbegin(); Step != Steps.rend(); ++Step)
    if (Step->Stop != nullptr) Step->Stop();
  // The registry ends after every other unit.
  FreeUnitList();
  Started = false;
}
