// What the faces need to keep a report from becoming the leak (vellicor-check
// --privacy): which header fields hold identifying text, findings that no
// longer quote it, and the stricter verdict of --require-deidentified.
#pragma once

#include "check/Finding.h"

// Patient, Recording and StartDate: their raw texts are never echoed; a face
// gives their length instead.
bool IdentifyingGeneralField(int Field);

// F as a face may print it: a finding at an identifying place (one of those
// fields, an annotation list) keeps its rule, place, offset and length, but
// its raw bytes are dropped and its sentence, which may quote them, becomes
// the rule's own description. The privacy rules' findings quote nothing and
// stay as they are.
TFinding WithoutIdentifyingText(const TFinding& F);

// --require-deidentified: the privacy rules' warnings become errors. The sex
// note stays a note: many sharing policies keep the sex.
void RequireDeidentified(TFindings& Findings);
