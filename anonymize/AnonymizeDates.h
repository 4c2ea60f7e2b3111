// The dates of a de-identified copy: the header's dd.mm.yy and EDF+'s
// dd-MMM-yyyy read and written, a day moved back by whole days, and the age
// in whole years as a reader computes it by calendar (years, then month and
// day). Proleptic Gregorian through std::chrono.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct TCivilDate {
  int Year = 0;
  int Month = 0;  // 1..12
  int Day = 0;    // 1..31

  bool operator==(const TCivilDate&) const = default;
};

// The header's two-digit years: 85..99 are 1985..1999, 00..84 are 2000..2084.
inline constexpr int FirstHeaderYear = 1985;
inline constexpr int LastHeaderYear = 2084;

// "dd.mm.yy", a calendar day (trailing blanks allowed).
bool ParseHeaderDate(std::string_view Text, TCivilDate& Date);
// Date in dd.mm.yy; its year lies in FirstHeaderYear..LastHeaderYear.
std::string HeaderDateText(const TCivilDate& Date);
// "dd-MMM-yyyy" with an upper-case English month, a calendar day.
bool ParsePlusDate(std::string_view Text, TCivilDate& Date);
std::string PlusDateText(const TCivilDate& Date);

// Date moved Days back (forward when negative); false when the result leaves
// FirstHeaderYear..LastHeaderYear, which the header cannot hold.
bool ShiftBack(const TCivilDate& Date, int64_t Days, TCivilDate& Shifted);

// Whole years from Birth to On, by calendar: the years, one less when On's
// month and day come before Birth's (29-FEB's birthday is reached on 1-MAR
// in other years). Negative when On lies before Birth.
int AgeOn(const TCivilDate& Birth, const TCivilDate& On);
