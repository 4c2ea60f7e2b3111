// One file of vellicor-anonymize -r as the copy batch takes it: refused,
// nothing to change, or the patches with the copy's second judgement; with
// the plan's lines and the same audit record as the single run's --json.
#pragma once

#include <string>

#include "anonymize/AnonymizeOptions.h"
#include "repair/CopyBatch.h"

// Plans In's copy to Out (only read: Out's name is judged, its folder not
// looked at). Raises std::runtime_error when In cannot be read at all.
TBatchPlan PlanAnonymizeBatchFile(const std::string& In, const std::string& Out, const TAnonymizeOptions& Options);
