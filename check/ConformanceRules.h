// The rules of the EDF+ / BDF+ conformance check, by number, so that the
// per-record checks count findings without looking rule ids up as text. The
// registry (Rules_conformance.cpp) lists them with their severities and
// reasons, in this order.
#pragma once

#include <cstddef>

#include "check/Rules.h"

enum class TConformanceRule : unsigned char {
  // Header layer.
  HeaderReserved,
  HeaderBdfReserved,
  HeaderNoAnnotations,
  HeaderPlainLabel,
  HeaderDuration,
  AnnotationLabel,
  AnnotationTransducer,
  AnnotationPhysidim,
  AnnotationPrefilter,
  AnnotationDigital,
  SignalPhysRange,
  SignalDuplicate,
  SignalReserved,
  PatientCount,
  PatientSex,
  PatientBirthdate,
  PatientCalendar,
  PatientName,
  RecordingStartdate,
  RecordingCount,
  RecordingDate,
  RecordingSameDay,
  RecordingYear,
  // Data-record layer.
  TalOnset,
  TalDuration,
  TalSeparator,
  TalUnclosed,
  TalEnd,
  TalPadding,
  TalUtf8,
  TalControl,
  TimeKeeping,
  TimeFirst,
  TimeContinuous,
  TimeOverlap,
  TimeNoise,
  TimeOutside,
  RecordsUnread,
  Count_
};

inline constexpr size_t ConformanceRuleCount = static_cast<size_t>(TConformanceRule::Count_);

// The registry's rule: "edfplus.tal.onset", its severity and reason.
const TRule& RuleOf(TConformanceRule Rule);
