// The header of one signal of an EDF file: each of the ten fields kept as the
// raw text read, the typed value decoded from it and a validity flag, plus the
// calibration from the physical and digital ranges and the signal's place in a
// data record and in the file object's sample buffer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "edf/uEDFHeaderRecord.h"
#include "edf/uEDFLayout.h"
#include "support/udroot.h"

class TCustomEDFSignalInfo : public TEDFHeaderRecord {
public:
  using TSelectedChangeEvent = std::function<void(TCustomEDFSignalInfo*)>;

  TCustomEDFSignalInfo();

  // Valid when every flag is set except the physical range: a signal without
  // a usable physical range is still a valid signal, just not calibrated.
  virtual bool IsValid() const;
  // A limit outside the format's sample range clears the flag (ffOutOfRange).
  virtual void SetDigimax(int32_t Value);
  virtual void SetDigimin(int32_t Value);
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

  // Interprets the ten raw texts; never raises for any text.
  void LoadFromRaw(const TEDFRawSignalHeader& Raw) override;
  void Calibrate();

  // Field values.
  bool Calibrated() const { return FCalibrated; }
  double Physimax() const { return FPhysimax; }
  double Physimin() const { return FPhysimin; }
  const std::string& Reserved() const { return FReserved; }
  int32_t Digimin() const { return FDigimin; }
  int32_t Digimax() const { return FDigimax; }
  const std::string& SignalLabel() const { return FSignalLabel; }
  const std::string& Prefilter() const { return FPrefilter; }
  const std::string& Physidim() const { return FPhysidim; }
  const std::string& Transducertype() const { return FTransducertype; }
  int32_t NrSamples() const { return FNrSamples; }
  long double Gain() const { return FGain; }
  bool Selected() const { return FSelected; }

  const TSelectedChangeEvent& OnSelectedChange() const { return FOnSelectedChange; }
  void SetOnSelectedChange(TSelectedChangeEvent Handler) { FOnSelectedChange = std::move(Handler); }

  // Maintained by the file object.
  int32_t RecordOffset() const { return FRecordOffset; }
  void SetRecordOffset(int32_t Value) { FRecordOffset = Value; }
  int32_t BufferOffset() const { return FBufferOffset; }
  void SetBufferOffset(int32_t Value) { FBufferOffset = Value; }

protected:
  // A text setter: the read-only guard, the modified mark, then the text rule.
  void SetText(std::string& Field, int Index, const std::string& Text);
  // Digital limit text -> value, or the fault when the text is no integer in
  // the format's sample range.
  TEDFFieldFaults ParseDigital(const std::string& Text, int32_t& Value) const;
  // Whether Value is a sample the format can store.
  bool InDigitalRange(int64_t Value) const;

  bool FCalibrated = false;
  double FPhysimax = 0.0;
  double FPhysimin = 0.0;
  std::string FReserved;
  int32_t FDigimin = 0;
  int32_t FDigimax = 0;
  std::string FSignalLabel;
  std::string FPrefilter;
  std::string FPhysidim;
  std::string FTransducertype;
  int32_t FNrSamples = 0;
  TSelectedChangeEvent FOnSelectedChange;
  long double FGain = 0.0L;
  int32_t FRecordOffset = 0;
  int32_t FBufferOffset = -1;
  bool FSelected = true;
};

// The concrete signal header record of plain EDF; adds no behaviour.
class TEDFSignalInfo : public TCustomEDFSignalInfo {
public:
  using TCustomEDFSignalInfo::TCustomEDFSignalInfo;
};
