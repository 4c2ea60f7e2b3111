// A new file that takes its name only when complete: unnamed where the file
// system allows (O_TMPFILE), else under a short name of its own that is
// removed on failure and on SIGINT, SIGTERM and SIGHUP. Used by WriteCopy.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

class TTemporaryFile {
public:
  // Creates the file in the folder open as FolderFd (named Folder in
  // messages) with the permission bits Mode, which the umask masks as for
  // any new file. Raises ECopyWrite when no file can be created there.
  TTemporaryFile(int FolderFd, const std::string& Folder, mode_t Mode, bool AllowUnnamed);
  // Removes the file unless it was published.
  ~TTemporaryFile();
  TTemporaryFile(const TTemporaryFile&) = delete;
  TTemporaryFile& operator=(const TTemporaryFile&) = delete;

  int Fd() const { return FFd; }
  // A path that opens the file while it is being made.
  std::string Path() const;
  // Gives the file the name Name in its folder, replacing a regular file of
  // that name when Replace (any other kind of file there is refused); else
  // a file of that name, even one made a moment before, is left as it is
  // (ECopyExists). Raises ECopyWrite.
  void Publish(const std::string& Name, const std::string& ShownName, bool Replace);

private:
  int FFolder;
  std::string FFolderName;
  int FFd = -1;
  std::string FName;  // the temporary name, "" while the file is unnamed
  bool FPublished = false;

  void CreateNamed(mode_t Mode);
  void LinkNamed();
  void RemoveNamed();
  void RenameNoReplace(const std::string& Name, const std::string& ShownName);
};

// Why an existing file Target may not be replaced by a copy ("'out.edf' is a
// device: ..."), or "" for a regular file.
std::string TargetRefusal(const struct stat& Target, const std::string& ShownName);
