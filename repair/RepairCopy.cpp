#include "repair/RepairCopy.h"

#include <algorithm>

#include "repair/RepairPlan.h"

TCopyJob RepairCopyJob(const TRepairPlan& Plan) {
  TCopyJob Job;
  // The plan rests on the header bytes and the size alone, both checked
  // again; data bytes rewritten before the copy starts are copied as found.
  Job.Source = {Plan.Path, Plan.InputSize, -1, Plan.InputHead};
  Job.OutputSize = Plan.OutputSize;
  for (const TRepairChange& C : Plan.Changes)
    if (C.Kind == TRepairChangeKind::Field) Job.Patches.push_back({C.Offset, C.New});
  std::sort(Job.Patches.begin(), Job.Patches.end(),
            [](const TBytePatch& A, const TBytePatch& B) { return A.Offset < B.Offset; });
  Job.Verify = [&Plan](const std::string& Copy) { return CheckCopy(Plan, Copy); };
  return Job;
}

void WriteRepairedCopy(const TRepairPlan& Plan, const std::string& Out) { WriteCopy(RepairCopyJob(Plan), Out); }
