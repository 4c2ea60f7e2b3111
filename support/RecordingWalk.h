// The walk of a folder tree for the recordings in it: every file whose name
// ends in .edf or .bdf in any letter case (which format a file is, its first
// byte tells). vellicor-check -r and the copy batches list their files with
// it, so both take the same files from the same tree.
#pragma once

#include <string>
#include <vector>

inline constexpr const char* NoRecordingsError = "no .edf or .bdf files in this folder";

struct TWalkEntry {
  // The path below the root, parts joined by '/'; "" for the root itself.
  std::string Relative;
  // "" for a regular file; "not a regular file" for anything else with a
  // recording's name (a pipe named x.edf is never opened: opening it would
  // wait for a writer); for a folder that cannot be listed, the reason.
  std::string Error;
  bool Folder = false;  // a folder that cannot be listed
};

// The recordings under Root and the folders that cannot be listed, in the
// order of the walk (not sorted). Symbolic links to folders are not
// followed, so a link loop cannot make the walk endless.
std::vector<TWalkEntry> WalkRecordings(const std::string& Root);

// True for names ending in ".edf" in any letter case.
bool HasEdfExtension(const std::string& Name);
// True for names ending in ".edf" or ".bdf" in any letter case: the files a
// folder walk collects.
bool HasRecordingExtension(const std::string& Name);
