// Writing the repaired copy of a file through the copy writer: the original
// is only ever read, the copy appears whole or not at all.
#pragma once

#include <string>

#include "repair/CopyWriter.h"

struct TRepairPlan;

// The copy could not be written; nothing was left behind.
using ERepairWrite = ECopyWrite;
// The copy's name is the original's own: the same path, a hard link or a
// symbolic link to it.
using ERepairSameFile = ECopySameFile;

// The copy job of Plan for WriteCopy (see below); its Verify refers to
// Plan, which must outlive the job.
TCopyJob RepairCopyJob(const TRepairPlan& Plan);

// Writes the copy that Plan describes to Out with WriteCopy: the original's
// bytes up to the plan's output size with the field changes in place, judged
// again before it takes Out's name (it must come out as the plan said). The
// original must still have its planned size and header bytes. Raises as
// WriteCopy does; then no temporary file and no Out is left.
void WriteRepairedCopy(const TRepairPlan& Plan, const std::string& Out);
