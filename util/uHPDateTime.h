// A date-time with picosecond resolution, and a string convertor for it that
// adds the fractional-second tokens sss, ssss and sssss to the format language.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "util/uDateTime.h"

class IHPDateTime;
// The reference: the object goes when the last reference goes; "none" is nullptr.
using IHPDateTimePtr = std::shared_ptr<IHPDateTime>;

// Comparison codes of Compare and CompareDateTime; the object is the left side.
enum THPCompareOp : uint16_t {
  hpEqual = 14,
  hpNotEqual = 15,
  hpLess = 16,
  hpLessEqual = 17,
  hpGreater = 18,
  hpGreaterEqual = 19,
};

class IHPDateTime {
public:
  virtual ~IHPDateTime() = default;

  virtual TDateTime GetDateTime() const = 0;
  // Seconds within the day.
  virtual long double GetSeconds() const = 0;
  virtual std::string ToString() const = 0;
  virtual void SetSeconds(long double S) = 0;
  virtual void SetDateTime(TDateTime V) = 0;
  virtual void AddSeconds(long double S) = 0;
  virtual void AddTime(uint16_t Hours, uint16_t Minutes, long double S) = 0;
  virtual void AddDayTime(uint16_t Days, uint16_t Hours, uint16_t Minutes, long double S) = 0;
  virtual void Assign(const IHPDateTimePtr& Other) = 0;
  virtual bool Compare(const IHPDateTimePtr& Other, uint16_t Op) const = 0;
  virtual bool CompareDateTime(uint16_t Op, TDateTime V) const = 0;
  // Positive when the object is later.
  virtual long double DiffSeconds(const IHPDateTimePtr& Other) const = 0;
  virtual long double DiffDateTime(TDateTime V) const = 0;
  virtual void SetTime(int32_t Hours, int32_t Minutes, long double S) = 0;
};

constexpr int64_t PicosecondsPerDay = 86'400'000'000'000'000;

class THPDateTime : public IHPDateTime {
public:
  THPDateTime() = default;
  explicit THPDateTime(TDateTime V) { THPDateTime::SetDateTime(V); }

  TDateTime GetDateTime() const override;
  long double GetSeconds() const override;
  // "dd.mmm.yyyy hh:nn:ssss" with as many decimals as needed.
  std::string ToString() const override;
  void SetSeconds(long double S) override;
  void SetDateTime(TDateTime V) override;
  void AddSeconds(long double S) override;
  void AddTime(uint16_t Hours, uint16_t Minutes, long double S) override;
  void AddDayTime(uint16_t Days, uint16_t Hours, uint16_t Minutes, long double S) override;
  // EConvertError "Cannot assign a Nil to a THPDateTime" when Other is none.
  void Assign(const IHPDateTimePtr& Other) override;
  // Assertion "Parameter is NIL" when Other is none; EInvalidOperation
  // "Operation not supported" for a code outside 14 to 19.
  bool Compare(const IHPDateTimePtr& Other, uint16_t Op) const override;
  bool CompareDateTime(uint16_t Op, TDateTime V) const override;
  long double DiffSeconds(const IHPDateTimePtr& Other) const override;
  long double DiffDateTime(TDateTime V) const override;
  void SetTime(int32_t Hours, int32_t Minutes, long double S) override;

  double Days = 0;           // whole days since 30 December 1899
  int64_t Picoseconds = 0;   // time of day
};

inline IHPDateTimePtr NewHPDateTime(TDateTime V) { return std::make_shared<THPDateTime>(V); }

class THPDateTimeStringConvertor : public TDateTimeStringConvertor {
public:
  THPDateTimeStringConvertor() = default;

  void SetDateTime(TDateTime V) override;
  TDateTime GetDateTime() const override;
  std::string FormatToken(TDateTimeTokenKind Kind, const std::string& Text) override;
  bool IsTokenValid() const override;
  void ClearFields() override;
  bool EncodeFields() override;
  bool ParseToken(TDateTimeTokenKind Kind, const std::string& Text, int& P,
                  const std::string& S) override;

  void SetDecimals(int32_t N);
  void SetHPDateTime(const IHPDateTimePtr& V);

  // Fixed decimals of fractional seconds; -1 or 0: up to MaxDecimals optional ones.
  int32_t Decimals = -1;
  int32_t MaxDecimals = 9;
  IHPDateTimePtr HPValue;
  long double FracSeconds = 0;

protected:
  // The value cut (not rounded) to whole milliseconds, so that the hour and
  // minute written beside fractional seconds never run ahead of them.
  TDateTime ValueToDecode() const override;
};

// V under Format with the settings of the user's default locale as the
// environment names it at the call; assertion "Invalid datetime format
// string" for an unusable format.
std::string HPDateTimeToStr(const std::string& Format, const IHPDateTimePtr& V,
                            int32_t Decimals = -1);
