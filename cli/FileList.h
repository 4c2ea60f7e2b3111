// Turns the PATH arguments into the list of files to check: a named path as
// given, a folder (only with -r) as its .edf and .bdf files. What the listing
// already tells is kept in place as the reason a path cannot be read;
// everything else is found out by the check's own single open.
#pragma once

#include <string>
#include <vector>

#include "support/RecordingWalk.h"

inline constexpr const char* NoFilesError = NoRecordingsError;

struct TFileListEntry {
  std::string Path;
  // Empty when the path can be checked; otherwise the reason it cannot be
  // read ("No such file or directory", "Is a directory", ...).
  std::string Error;
};

// One entry per file to check, in argument order; a folder's files are sorted
// by path so repeated runs print the same order. Folders are only walked when
// Recursive is set; without it a folder is an entry of its own (its open
// fails with "Is a directory"). A folder that holds no .edf or .bdf file is
// an entry with the error NoFilesError; a non-regular x.edf in it one with
// "not a regular file".
std::vector<TFileListEntry> ExpandPaths(const std::vector<std::string>& Paths, bool Recursive);
