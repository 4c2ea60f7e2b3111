// The 256-byte general header of an EDF file: each of the ten fields kept as
// the raw text read, the typed value decoded from it and a validity flag, with
// the EDF+ patient and recording subfields and the derived end of recording.
#pragma once

#include <cstdint>
#include <string>

#include "edf/uEDFHeaderRecord.h"
#include "edf/uEDFLayout.h"
#include "edf/uEDFPatientInfo.h"
#include "support/udroot.h"
#include "util/uHPDateTime.h"

class TCustomEDFFile;

class TCustomEDFFileInfo : public TEDFHeaderRecord {
public:
  // Owner is the file object that creates the record; it is not owned.
  explicit TCustomEDFFileInfo(TCustomEDFFile* Owner);

  virtual std::string GetPatient() const;
  virtual std::string GetRecording() const;
  // GetEndDateTime as a new high-precision value; raises as GetEndDateTime.
  virtual IHPDateTimePtr GetEndHPDateTime() const;
  virtual IHPDateTimePtr GetStartHPDateTime() const;
  virtual void SetStartHPDateTime(const IHPDateTimePtr& Value);
  // Interprets the ten raw texts; no text makes it raise.
  void LoadFromRaw(const TEDFRawFileHeader& Raw) override;
  virtual void SetPatient(const std::string& Text);
  virtual void SetRecording(const std::string& Text);
  virtual void SetReserved(const std::string& Text);
  // Returns flag 8: the duration is positive.
  virtual bool SetSampleRecDuration(long double Value);
  virtual void SetStartDate(TDateTime Value);
  virtual void SetStartDateText(const std::string& Text) = 0;
  virtual void SetStartTimeText(const std::string& Text) = 0;
  // StartDateTime plus the recording's length; EDataFileFieldValue when any
  // field is invalid.
  virtual TDateTime GetEndDateTime() const;

  bool IsValid() const;
  void SetVersion(const std::string& Text);
  void SetStartTime(TDateTime Value);
  void SetStartDateTime(TDateTime Value);
  void SetNrDataRecords(int32_t Value);
  // Raise EDataFileDataExists while the file holds data; return flag 5.
  bool SetHeaderBytes(int32_t Value);
  bool SetNrSignals(int32_t Value);
  // For the file object, which counts the records present in the file: stores
  // the count and nothing else (no flag, no Modified, no raw text).
  void StoreNrDataRecords(int32_t Value) { FNrDataRecords = Value; }
  // Undoes StoreNrDataRecords: the count as the last parse left it, as a
  // re-parse of the same texts would, without the cost of one.
  void RestoreParsedNrDataRecords() { FNrDataRecords = FParsedNrDataRecords; }

  TCustomEDFFile* Owner() const { return FOwner; }
  const TEDFPatientInfo& PatientInfo() const { return FPatientInfo; }
  const TEDFRecordingInfo& RecordingInfo() const { return FRecordingInfo; }

  // Field values.
  long double SampleRecDuration() const { return FSampleRecDuration; }
  int32_t NrDataRecords() const { return FNrDataRecords; }
  int32_t HeaderBytes() const { return FHeaderBytes; }
  int32_t NrSignals() const { return FNrSignals; }
  const std::string& Reserved() const { return FReserved; }
  const std::string& Recording() const { return FRecording; }
  const std::string& Patient() const { return FPatient; }
  const std::string& Version() const { return FVersion; }
  TDateTime StartDate() const { return FStartDate; }
  TDateTime StartDateTime() const { return FStartDateTime; }
  TDateTime StartTime() const { return FStartTime; }

  // The texts exactly as read from the file (kept by the file object when it
  // reads the header); RawHeader holds the texts last parsed.
  const TEDFRawFileHeader& OriginalHeader() const { return FOriginalHeader; }
  void SetOriginalHeader(const TEDFRawFileHeader& Value) { FOriginalHeader = Value; }

protected:
  // The format-level checks of the untrimmed raw texts (Strict only).
  void StrictChecks(const TEDFRawFileHeader& Raw);
  void UpdateStartDateTime();
  // The start date and time texts as dates, or the fault that stops them.
  virtual TEDFFieldFaults DecodeStartDate(const std::string& Text, TDateTime& Date) const = 0;
  virtual TEDFFieldFaults DecodeStartTime(const std::string& Text, TDateTime& Time) const = 0;

  TCustomEDFFile* FOwner;
  TEDFPatientInfo FPatientInfo;
  TEDFRecordingInfo FRecordingInfo;
  long double FSampleRecDuration = 0.0L;
  int32_t FNrDataRecords = 0;
  int32_t FParsedNrDataRecords = 0;
  int32_t FHeaderBytes = 0;
  int32_t FNrSignals = 0;
  std::string FReserved;
  std::string FRecording;
  std::string FPatient;
  std::string FVersion;
  TDateTime FStartDate = 0;
  TDateTime FStartDateTime = 0;
  TDateTime FStartTime = 0;
  TEDFRawFileHeader FOriginalHeader;
};

// The concrete general header record of plain EDF: reads "StartDate" and
// "StartTime" in their dd.mm.yy / hh.nn.ss forms.
class TEDFFileInfo : public TCustomEDFFileInfo {
public:
  explicit TEDFFileInfo(TCustomEDFFile* Owner) : TCustomEDFFileInfo(Owner) {}

  void LoadFromRaw(const TEDFRawFileHeader& Raw) override;
  // Accepts one-digit day and month (1.2.85) and any separator; years 85 to
  // 99 are 1985 to 1999, 00 to 84 are 2000 to 2084. A text that is no date
  // changes nothing.
  void SetStartDateText(const std::string& Text) override;
  void SetStartTimeText(const std::string& Text) override;

protected:
  TEDFFieldFaults DecodeStartDate(const std::string& Text, TDateTime& Date) const override;
  TEDFFieldFaults DecodeStartTime(const std::string& Text, TDateTime& Time) const override;
};
