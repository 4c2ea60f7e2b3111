// Writing a changed copy of a recording: the repaired copy and the
// de-identified copy both go through here. The original is only ever read;
// the copy appears under its name whole, checked and on the disk, or not at
// all.
//
// Use:
//   TCopyJob Job;
//   Job.Source = {InPath, PlannedSize, PlannedMTimeNs, PlannedHead};
//   Job.OutputSize = PlannedSize;                 // or less, to drop a cut tail
//   Job.Patches = {{168, "01.02.03"}, ...};       // sorted, not overlapping
//   Job.Verify = [](const std::string& Copy) { return JudgeCopy(Copy); };
//   WriteCopy(Job, OutPath);                      // raises ECopy... on failure
//
// What WriteCopy guarantees:
// - Before anything is written, OUT is refused when it names IN by any path
//   (ECopySameFile) or exists and is not a regular file (a folder, a device,
//   a symbolic link, a pipe: ECopyWrite).
// - IN must be a regular file that still has the planned size, head bytes
//   and (when given) modification time, else ECopySourceChanged ("'in.edf'
//   changed since the copy was planned; nothing written").
// - The copy is IN's bytes [0, OutputSize) with the patches written over
//   them; samples are copied as bytes, never decoded, by the kernel's
//   file-to-file copy where the two file systems allow it, else in blocks of
//   CopyBlockBytes.
// - The copy is made as an unnamed file in OUT's folder where the file
//   system allows (nothing is left even when the program is killed); else
//   under a short temporary name that is removed on every failure and on
//   SIGINT, SIGTERM and SIGHUP (the signal then ends the program as it
//   would have). Either way a legal OUT name never fails for its length.
// - The copy gets IN's permission bits as a new file gets them (masked by
//   the umask); an existing OUT is replaced, none of its own bits kept.
//   With NeverReplace an OUT that exists, or is made by anyone while the
//   copy is written, is left as it is (ECopyExists): the copy takes the name
//   only where none is (a link or a rename that refuses an existing name;
//   a file system that offers neither is an ECopyWrite, nothing written).
// - Once complete the copy is handed to Verify (a refusal is ECopyWrite
//   "'out.edf' not written: " + the reason), then flushed to the disk. IN's
//   size and modification time are compared with those at the start; a
//   difference is ECopySourceChanged in the words of the checker's
//   file.changed finding ("'in.edf': the file changed during the copy: 3168
//   bytes at the start, 3768 at the end; nothing written"). Only then does
//   the copy take OUT's name, replacing a regular file of that name, and the
//   folder is flushed too.
// - On every failure no copy and no temporary file is left, and an existing
//   OUT is as it was.
// Calls in one process run one after the other (the signal handlers that
// remove a named temporary file are process-wide).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

// The copy could not be written; nothing was left behind.
class ECopyWrite : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// OUT names IN itself: the same path, a hard link or a symbolic link to it.
class ECopySameFile : public ECopyWrite {
public:
  using ECopyWrite::ECopyWrite;
};

// OUT exists (or was made while the copy was written) and the job said
// never to replace it; it is as it was.
class ECopyExists : public ECopyWrite {
public:
  using ECopyWrite::ECopyWrite;
};

// IN is not as planned, or changed while it was copied (rule file.changed).
class ECopySourceChanged : public ECopyWrite {
public:
  using ECopyWrite::ECopyWrite;
};

// IN as it was when the changes were planned.
struct TCopySource {
  std::string Path;
  int64_t Size = 0;
  // Modification time in nanoseconds since the epoch; -1 when the plan did
  // not depend on the data bytes (then the time is taken when IN is opened
  // for the copy, and only changes during the copy count).
  int64_t MTimeNs = -1;
  // The first bytes of IN that the plan was made from.
  std::string Head;
};

// New bytes written over IN's at Offset.
struct TBytePatch {
  int64_t Offset = 0;
  std::string Bytes;
};

// Given a path that opens the finished copy for reading (a /proc/self/fd
// path for an unnamed file), returns "" when it may take OUT's name, else
// the reason it may not. It must not write to the copy.
using TCopyVerify = std::function<std::string(const std::string& CopyPath)>;

struct TCopyJob {
  TCopySource Source;
  int64_t OutputSize = 0;           // at most Source.Size
  std::vector<TBytePatch> Patches;  // by offset, not overlapping, inside [0, OutputSize)
  TCopyVerify Verify;               // may be empty
  // Leave an existing OUT as it is, even one made while the copy is written.
  bool NeverReplace = false;
  // False makes the copy under a temporary name even where the file system
  // could leave it unnamed: the path taken on file systems without unnamed
  // files, reached on purpose by tests.
  bool AllowUnnamed = true;
};

// True when Out names the file In names (same device and inode).
bool SameFile(const std::string& In, const std::string& Out);

// Raises ECopySameFile or ECopyWrite when OUT may not receive a copy of IN
// (see above); reads nothing and writes nothing.
void CheckCopyTarget(const std::string& In, const std::string& Out);

// Writes the copy Job describes to Out; see the guarantees above. Raises
// ECopyWrite (or its kinds) with a sentence naming the file and the reason;
// names in it are shown as DisplayName shows them. Patches out of order,
// overlapping or past OutputSize, or an OutputSize above Source.Size, are a
// caller's mistake: std::invalid_argument, before anything is written.
void WriteCopy(const TCopyJob& Job, const std::string& Out);

// Bytes read and written per call when a copy goes through a buffer.
inline constexpr int64_t CopyBlockBytes = int64_t{8} << 20;
