#include "util/uHPDateTime.h"

#include <cmath>

#include "support/uMath.h"
#include "support/uSysUtils.h"

namespace {

constexpr long double PicosecondsPerSecond = 1e12L;
constexpr int64_t MSecsPerDay = 86'400'000;

}  // namespace

TDateTime THPDateTime::GetDateTime() const {
  return static_cast<TDateTime>(Days + GetSeconds() / 86400.0L);
}

long double THPDateTime::GetSeconds() const {
  return static_cast<long double>(Picoseconds) / PicosecondsPerSecond;
}

std::string THPDateTime::ToString() const {
  return HPDateTimeToStr("dd.mmm.yyyy hh:nn:ssss", std::make_shared<THPDateTime>(*this), -1);
}

void THPDateTime::SetSeconds(long double S) { Picoseconds = RoundAway(S * PicosecondsPerSecond); }

void THPDateTime::SetDateTime(TDateTime V) {
  // Day and time of day come from the same rounding to whole milliseconds:
  // a value a fraction of a millisecond before midnight is the next day at
  // 00:00:00.000, not the start of its own day.
  const double Scaled = std::nearbyint(V * static_cast<double>(MSecsPerDay));
  if (!std::isfinite(Scaled) || std::fabs(Scaled) > 1e18) {
    Days = std::trunc(V);
    SetTime(0, 0, 0);
    return;
  }
  const auto Total = static_cast<int64_t>(Scaled);
  Days = static_cast<double>(Total / MSecsPerDay);
  const int64_t MSecs = (Total < 0 ? -Total : Total) % MSecsPerDay;
  SetSeconds(static_cast<long double>(MSecs) / 1000.0L);
}

void THPDateTime::SetTime(int32_t Hours, int32_t Minutes, long double S) {
  // 64-bit, so that no hour count can wrap around.
  SetSeconds(S + static_cast<long double>(int64_t{Hours} * 3600 + int64_t{Minutes} * 60));
}

void THPDateTime::AddTime(uint16_t Hours, uint16_t Minutes, long double S) {
  AddSeconds(S + static_cast<long double>(int64_t{Hours} * 3600 + int64_t{Minutes} * 60));
}

void THPDateTime::AddDayTime(uint16_t DayCount, uint16_t Hours, uint16_t Minutes, long double S) {
  // 64-bit: every day count up to 65535 adds, none wraps into a subtraction.
  AddSeconds(S + static_cast<long double>(int64_t{DayCount} * 86400 + int64_t{Hours} * 3600 +
                                          int64_t{Minutes} * 60));
}

void THPDateTime::AddSeconds(long double S) {
  const long double Whole = std::trunc(S / 86400.0L);
  Days += static_cast<double>(Whole);
  const long double Rest = S - Whole * 86400.0L;
  // Saturating: a setter may have left the time of day far outside one day.
  Picoseconds = SaturatingAdd(Picoseconds, RoundAway(Rest * PicosecondsPerSecond));
  // One correction each way suffices while the time of day was within a day.
  if (Picoseconds >= PicosecondsPerDay) {
    Days += 1;
    Picoseconds -= PicosecondsPerDay;
  }
  if (Picoseconds < 0) {
    Days -= 1;
    Picoseconds += PicosecondsPerDay;
  }
}

void THPDateTime::Assign(const IHPDateTimePtr& Other) {
  if (!Other) throw EConvertError("Cannot assign a Nil to a THPDateTime");
  Days = std::trunc(Other->GetDateTime());
  SetSeconds(Other->GetSeconds());
}

bool THPDateTime::Compare(const IHPDateTimePtr& Other, uint16_t Op) const {
  VASSERT(Other != nullptr, "Parameter is NIL");
  const double OtherDays = std::trunc(Other->GetDateTime());
  // Days first; the seconds decide only within the same day.
  int Order = 0;
  if (Days != OtherDays) {
    Order = Days < OtherDays ? -1 : 1;
  } else {
    const long double Mine = GetSeconds();
    const long double Theirs = Other->GetSeconds();
    Order = Mine < Theirs ? -1 : (Mine > Theirs ? 1 : 0);
  }
  switch (Op) {
    case hpEqual:
      return Order == 0;
    case hpNotEqual:
      return Order != 0;
    case hpLess:
      return Order < 0;
    case hpLessEqual:
      return Order <= 0;
    case hpGreater:
      return Order > 0;
    case hpGreaterEqual:
      return Order >= 0;
    default:
      throw EInvalidOperation("Operation not supported");
  }
}

bool THPDateTime::CompareDateTime(uint16_t Op, TDateTime V) const {
  return Compare(NewHPDateTime(V), Op);
}

long double THPDateTime::DiffSeconds(const IHPDateTimePtr& Other) const {
  VASSERT(Other != nullptr, "Parameter is NIL");
  const long double DayPart =
      (static_cast<long double>(Days) - std::trunc(Other->GetDateTime())) * 86400.0L;
  const long double PicoPart = static_cast<long double>(Picoseconds) -
                               static_cast<long double>(RoundAway(Other->GetSeconds() * 1e12L));
  return DayPart + PicoPart / PicosecondsPerSecond;
}

long double THPDateTime::DiffDateTime(TDateTime V) const { return DiffSeconds(NewHPDateTime(V)); }
