// The tree a batch copy mirrors: the recordings found under IN_DIR, each
// with its place under OUT_DIR, and the mirror's folders, made only as a
// copy needs them and never through a symbolic link.
#pragma once

#include <string>
#include <vector>

#include "support/RecordingWalk.h"

struct TMirrorEntry {
  // The path below both roots; "" for the root itself (IN_DIR that cannot
  // be listed or holds no recording).
  std::string Relative;
  std::string In;   // IN_DIR/Relative as found
  std::string Out;  // OUT_DIR/Relative
  // Why the entry cannot be read ("not a regular file", a folder that
  // cannot be listed), "" for a file to plan.
  std::string Error;
};

// Why OUT_DIR may not receive IN_DIR's mirror, or "": IN_DIR must be a
// folder, OUT_DIR a folder or not there yet, and neither may be the other
// or lie inside it by any path (symbolic links, bind mounts). Reads nothing
// but the two paths' folders and writes nothing.
std::string MirrorRefusal(const std::string& InDir, const std::string& OutDir);

// True when Path is Folder or lies below it, by any path (symbolic links,
// bind mounts); a Path not there yet lies where its nearest existing folder does.
bool IsUnder(const std::string& Path, const std::string& Folder);

// Every file under InDir whose name ends in .edf or .bdf in any letter case
// (which format it is, its first byte tells), sorted by relative path so
// that every run lists the same order. Symbolic links to folders are not
// followed, so a link loop cannot make the walk endless; a folder that
// cannot be listed is an entry with its error, and a tree without any
// recording is one entry (Relative "") with NoRecordingsError.
std::vector<TMirrorEntry> ListMirror(const std::string& InDir, const std::string& OutDir);

// True when the entry at Relative belongs to share Index of Count. Decided
// by the name alone, so that machines that list the tree apart agree, and a
// file added to the tree moves no other file to another share. Entries of
// the root belong to every share.
bool InShare(const std::string& Relative, int Index, int Count);

// Makes OUT_DIR (as named, links followed) and the folders of Entry's path
// below it that are missing; a folder below OUT_DIR gets the permission
// bits of its original in IN_DIR, as a new file gets them (the umask masks
// them), and always its owner's. Returns "" or the sentence saying why the
// folder cannot be made; an existing folder below OUT_DIR that is a
// symbolic link or no folder is refused, so that no copy lands outside the
// mirror. Safe to call from several threads at once.
std::string MakeMirrorFolders(const std::string& InDir, const std::string& OutDir, const TMirrorEntry& Entry);

// The two roots joined with Relative, without doubled slashes.
std::string MirrorPath(const std::string& Root, const std::string& Relative);
