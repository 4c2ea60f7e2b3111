// The identifying header fields of a de-identified copy: the patient and
// recording identification in their anonymous EDF+ form, the anonymous or
// shifted start date and, on request, the cleared start time.
#pragma once

#include <string>
#include <vector>

#include "anonymize/AnonymizeOptions.h"
#include "edf/uEDFLayout.h"

// One general-header field's new text at its full width, and why.
struct TFieldRewrite {
  int Field = -1;
  std::string New;
  std::string Reason;  // names what is kept or replaced, never the old text
};

struct THeaderRewrite {
  std::vector<TFieldRewrite> Fields;  // only those whose text changes, in header order
  std::vector<std::string> Warnings;  // an option that could not keep what it asks for
  std::vector<std::string> Refusals;  // the copy cannot be made as asked
  // The privacy rules whose findings the copy keeps by the options' choice.
  std::vector<std::string> KeptRules;
};

// Raw is the original's general header as read; Plus says whether it is an
// EDF+ / BDF+ file (a plain file keeps nothing of its free texts).
THeaderRewrite RewriteHeader(const TEDFRawFileHeader& Raw, bool Plus, const TAnonymizeOptions& Options);
