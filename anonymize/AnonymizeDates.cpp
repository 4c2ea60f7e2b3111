#include "anonymize/AnonymizeDates.h"

#include <array>
#include <chrono>
#include <cstdio>

namespace {

constexpr std::array<const char*, 12> Months = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

bool Digits(std::string_view Text, size_t At, size_t Count, int& Value) {
  Value = 0;
  for (size_t i = At; i < At + Count; ++i) {
    if (i >= Text.size() || Text[i] < '0' || Text[i] > '9') return false;
    Value = Value * 10 + (Text[i] - '0');
  }
  return true;
}

std::chrono::year_month_day Ymd(const TCivilDate& D) {
  return std::chrono::year{D.Year} / std::chrono::month{static_cast<unsigned>(D.Month)} /
         std::chrono::day{static_cast<unsigned>(D.Day)};
}

bool Calendar(const TCivilDate& D) { return D.Month >= 1 && D.Month <= 12 && D.Day >= 1 && Ymd(D).ok(); }

}  // namespace

bool ParseHeaderDate(std::string_view Text, TCivilDate& Date) {
  const size_t End = Text.find_last_not_of(' ');
  Text = End == std::string_view::npos ? std::string_view{} : Text.substr(0, End + 1);
  int Yy = 0;
  TCivilDate D;
  if (Text.size() != 8 || Text[2] != '.' || Text[5] != '.' || !Digits(Text, 0, 2, D.Day) ||
      !Digits(Text, 3, 2, D.Month) || !Digits(Text, 6, 2, Yy))
    return false;
  D.Year = Yy >= 85 ? 1900 + Yy : 2000 + Yy;
  if (!Calendar(D)) return false;
  Date = D;
  return true;
}

std::string HeaderDateText(const TCivilDate& Date) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "%02d.%02d.%02d", Date.Day, Date.Month, Date.Year % 100);
  return Text;
}

bool ParsePlusDate(std::string_view Text, TCivilDate& Date) {
  TCivilDate D;
  if (Text.size() != 11 || Text[2] != '-' || Text[6] != '-' || !Digits(Text, 0, 2, D.Day) ||
      !Digits(Text, 7, 4, D.Year))
    return false;
  for (size_t m = 0; m < Months.size(); ++m)
    if (Text.substr(3, 3) == Months[m]) D.Month = static_cast<int>(m) + 1;
  if (!Calendar(D)) return false;
  Date = D;
  return true;
}

std::string PlusDateText(const TCivilDate& Date) {
  char Text[24];
  std::snprintf(Text, sizeof Text, "%02d-%s-%04d", Date.Day, Months[static_cast<size_t>(Date.Month - 1)], Date.Year);
  return Text;
}

bool ShiftBack(const TCivilDate& Date, int64_t Days, TCivilDate& Shifted) {
  // Beyond this many days no day of the header's century stays inside it.
  constexpr int64_t Span = int64_t{366} * (LastHeaderYear - FirstHeaderYear + 1);
  if (!Calendar(Date) || Days > Span || Days < -Span) return false;
  const std::chrono::sys_days Moved = std::chrono::sys_days{Ymd(Date)} - std::chrono::days{Days};
  const std::chrono::year_month_day Ymd{Moved};
  const TCivilDate Out{static_cast<int>(Ymd.year()), static_cast<int>(static_cast<unsigned>(Ymd.month())),
                       static_cast<int>(static_cast<unsigned>(Ymd.day()))};
  if (Out.Year < FirstHeaderYear || Out.Year > LastHeaderYear) return false;
  Shifted = Out;
  return true;
}

int AgeOn(const TCivilDate& Birth, const TCivilDate& On) {
  int Age = On.Year - Birth.Year;
  if (On.Month < Birth.Month || (On.Month == Birth.Month && On.Day < Birth.Day)) --Age;
  return Age;
}
