// The header of one signal of an EDF file: each of the ten fields kept as the
// raw text read, the typed value decoded from it and a validity flag, plus the
// calibration from the physical and digital ranges and the signal's place in a
// data record and in the file object's sample buffer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "edf/uEDFLayout.h"
#include "support/udroot.h"

class TCustomEDFSignalInfo {
public:
  using TSelectedChangeEvent = std::function<void(TCustomEDFSignalInfo*)>;

  TCustomEDFSignalInfo();
  virtual ~TCustomEDFSignalInfo() = default;
  TCustomEDFSignalInfo(const TCustomEDFSignalInfo&) = delete;
  TCustomEDFSignalInfo& operator=(const TCustomEDFSignalInfo&) = delete;

  // Valid when every flag is set except the physical range: a signal without
  // a usable physical range is still a valid signal, just not calibrated.
  virtual bool IsValid() const;
  virtual void SetDigimax(int16_t Value);
  virtual void SetDigimin(int16_t Value);
  virtual void SetPhysidim(const std::string& Text);
  virtual void SetPhysimax(double Value);
  virtual void SetPhysimin(double Value);
  virtual void SetPrefilter(const std::string& Text);
  virtual void SetReserved(const std::string& Text);
  virtual void SetSignalLabel(const std::string& Text);
  virtual void SetTransducertype(const std::string& Text);
  // Raises EDataFileDataExists while the file holds data; returns flag 8.
  virtual bool SetNrSamples(int32_t Value);
  // Calls OnSelectedChange on every call, changed or not.
  virtual void SetSelected(bool Value);
  virtual bool GetFieldValid(int Index) const;

  // Interprets the ten raw texts; never raises for any text.
  void LoadFromRaw(const TEDFRawSignalHeader& Raw);
  // LoadFromRaw(RawHeader) with the data-exists guard lifted for the call.
  void Reparse();
  void SetStrict(bool Value);
  void Calibrate();

  // Field values.
  bool Calibrated() const { return FCalibrated; }
  double Physimax() const { return FPhysimax; }
  double Physimin() const { return FPhysimin; }
  const std::string& Reserved() const { return FReserved; }
  int16_t Digimin() const { return FDigimin; }
  int16_t Digimax() const { return FDigimax; }
  const std::string& SignalLabel() const { return FSignalLabel; }
  const std::string& Prefilter() const { return FPrefilter; }
  const std::string& Physidim() const { return FPhysidim; }
  const std::string& Transducertype() const { return FTransducertype; }
  int32_t NrSamples() const { return FNrSamples; }
  long double Gain() const { return FGain; }
  const TDynBooleanArray& FieldValid() const { return FFieldValid; }

  // State.
  bool Modified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }
  bool Strict() const { return FStrict; }
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool Value) { FReadOnly = Value; }
  bool Selected() const { return FSelected; }

  // The raw texts; the file object fills them field by field, then calls Reparse.
  const TEDFRawSignalHeader& RawHeader() const { return FRawHeader; }
  TEDFRawSignalHeader& RawHeader() { return FRawHeader; }

  // Separators of the number fields; take effect at the next Reparse.
  char DecimalSeparator() const { return FDecimalSeparator; }
  void SetDecimalSeparator(char Value) { FDecimalSeparator = Value; }
  char ThousandSeparator() const { return FThousandSeparator; }
  void SetThousandSeparator(char Value) { FThousandSeparator = Value; }

  const TSelectedChangeEvent& OnSelectedChange() const { return FOnSelectedChange; }
  void SetOnSelectedChange(TSelectedChangeEvent Handler) { FOnSelectedChange = std::move(Handler); }

  // Maintained by the file object.
  int32_t RecordOffset() const { return FRecordOffset; }
  void SetRecordOffset(int32_t Value) { FRecordOffset = Value; }
  bool DataExists() const { return FDataExists; }
  void SetDataExists(bool Value) { FDataExists = Value; }
  int32_t BufferOffset() const { return FBufferOffset; }
  void SetBufferOffset(int32_t Value) { FBufferOffset = Value; }

protected:
  void CheckWritable() const;
  // Stores Text without trailing blanks into Field and sets flag Index.
  void StoreText(std::string& Field, int Index, const std::string& Text);
  // Under Strict, keeps flag Index only while Raw's text is left-justified.
  void StrictLeftJustified(int Index, const std::string& Raw);
  // Digital limit text -> value, or false when the text is no 16-bit integer.
  bool ParseDigital(const std::string& Text, int16_t& Value) const;

  bool FCalibrated = false;
  double FPhysimax = 0.0;
  double FPhysimin = 0.0;
  std::string FReserved;
  int16_t FDigimin = 0;
  int16_t FDigimax = 0;
  std::string FSignalLabel;
  std::string FPrefilter;
  std::string FPhysidim;
  std::string FTransducertype;
  bool FModified = false;
  int32_t FNrSamples = 0;
  bool FStrict = true;
  TEDFRawSignalHeader FRawHeader;
  bool FReadOnly = false;
  char FDecimalSeparator = '.';
  char FThousandSeparator = '\0';
  TSelectedChangeEvent FOnSelectedChange;
  long double FGain = 0.0L;
  TDynBooleanArray FFieldValid;
  int32_t FRecordOffset = 0;
  bool FDataExists = false;
  int32_t FBufferOffset = -1;
  bool FSelected = true;
};

// The concrete signal header record of plain EDF; adds no behaviour.
class TEDFSignalInfo : public TCustomEDFSignalInfo {
public:
  using TCustomEDFSignalInfo::TCustomEDFSignalInfo;
};
