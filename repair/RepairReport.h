// The repair plan in words: the lines vellicor-repair prints and the window
// shows, and the JSON form of vellicor-repair --json.
#pragma once

#include <string>
#include <vector>

#include "check/Finding.h"
#include "repair/RepairPlan.h"

// What became of a plan.
enum class TRepairOutcome {
  NothingToRepair,  // no fault and nothing to tidy: nothing written
  Written,          // the copy was written
  Refused,          // some fault has no single right repair: nothing written
  DryRun,           // only planned
  Failed            // the copy could not be written
};

// A heading ("in.edf: 2 changes, 1 fault left as found") and one line per
// change and per fault left as found, each indented by two blanks:
//   change [header.startdate.layout] general header, byte 168: StartDate 01-02-03 -> 01.02.03: why
//   tidy [text.printable] ...        (a field accepted as it was, tidied)
//   drop [layout.filesize] file, bytes 2656..2755: why
//   refuse [signal.digimin.order] signal 1 (EEG), byte 496: the finding's sentence: why it is left
// and a last line when the faults left keep the record layout from being judged.
std::vector<std::string> FormatPlanLines(const TRepairPlan& Plan);

// The plan and its outcome as one JSON object on one line. Field bytes are
// given whole, one character per byte (Latin-1), so they map back exactly;
// a file name that is not UTF-8 is given as DisplayName shows it, with
// "fileEscaped" (or "outputEscaped") true, as vellicor-check --json does.
std::string FormatPlanJson(const TRepairPlan& Plan, TRepairOutcome Outcome, const std::string& Out,
                           const std::string& Error);
// The plan's own keys of that object ("layoutJudged" to "refusals"), each
// led by a comma: the batch copy's JSON line carries them too.
std::string FormatPlanJsonKeys(const TRepairPlan& Plan);

// A JSON string: UTF-8 passed through, other bytes and controls escaped.
std::string JsonString(const std::string& Text);
// "Key":NAME for a file name, with "KeyEscaped":true when it is not UTF-8.
std::string JsonFileName(const char* Key, const std::string& Path);
