// The repair plan of one file: the changes that have exactly one right
// answer, each tied to the findings it clears, and the faults left as found,
// each with the reason why any new value would be a guess. The plan is
// drawn from the findings of the header judgement; nothing here decides a
// rule of its own, and a change is only kept once the judgement of the
// repaired header accepts the field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "check/Finding.h"

enum class TRepairChangeKind : uint8_t {
  Field,    // one header field rewritten in place, at its full width
  DropTail  // the bytes after the last whole data record are left out of the copy
};

struct TRepairChange {
  TRepairChangeKind Kind = TRepairChangeKind::Field;
  std::vector<std::string> Rules;  // the rule ids of the findings it clears
  TWhere Where;
  std::string Field;   // the field's caption ("StartDate", "PhysiMin"), "" for dropped bytes
  int64_t Offset = 0;  // absolute byte offset in the file
  int64_t Length = 0;  // bytes replaced (a field's width) or dropped
  std::string Old;     // a field's bytes as found, at its full width
  std::string New;     // its bytes in the copy; "" for dropped bytes
  std::string Why;     // why the new value is the only right one
  // Clears a note only: the field was accepted as it was, the copy is tidier.
  bool Cleanup = false;
};

struct TRepairRefusal {
  std::string Rule;
  TWhere Where;
  int64_t Offset = -1;
  std::string Message;  // the finding's sentence
  std::string Reason;   // why the repair leaves it as found
};

struct TRepairPlan {
  std::string Path;
  int64_t InputSize = 0;   // the file's size when planned
  int64_t OutputSize = 0;  // the copy's size: smaller when a cut record is dropped
  // The file's header bytes as planned on; the copy is only written while
  // the file still starts with them and has its planned size.
  std::string InputHead;
  std::vector<TRepairChange> Changes;  // in file order
  std::vector<TRepairRefusal> Refusals;
  // Signal labels (trimmed) for naming places; index = signal.
  std::vector<std::string> SignalLabels;
  // The record layout (NrDataRecords against the file size) is only judged
  // once the headers are sound: while a fault left as found keeps it from
  // that, a wrong count stays unseen in the copy too.
  bool LayoutJudged = true;

  // No fault and no note to tidy: there is nothing to write.
  bool NothingToRepair() const { return Changes.empty() && Refusals.empty(); }
  // Every fault found has its repair.
  bool Complete() const { return Refusals.empty(); }
};

// Plans the repair of the file at Path, which is only ever opened read-only.
// Raises std::runtime_error when the file cannot be read; a file that cannot
// be judged gives a plan that refuses it (rule file.read).
TRepairPlan PlanRepair(const std::string& Path);

// Empty when the copy at CopyPath is judged as Plan expects (the faults left
// as found, no more); else what differs.
std::string CheckCopy(const TRepairPlan& Plan, const std::string& CopyPath);

// The bytes of Plan's file as the copy holds them, for the byte range
// [Offset, Offset + Bytes.size()) of the original: the field changes that
// overlap the range written into Bytes.
void ApplyFieldChanges(const TRepairPlan& Plan, int64_t Offset, std::string& Bytes);
void ApplyFieldChanges(const TRepairPlan& Plan, int64_t Offset, char* Bytes, int64_t Count);
