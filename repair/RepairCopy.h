// Writing the repaired copy of a file: the original is only ever read, the
// copy appears whole or not at all.
#pragma once

#include <stdexcept>
#include <string>

struct TRepairPlan;

// The copy could not be written; nothing was left behind.
class ERepairWrite : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The copy's name is the original's own: the same path, a hard link or a
// symbolic link to it.
class ERepairSameFile : public ERepairWrite {
public:
  using ERepairWrite::ERepairWrite;
};

// True when Out names the file In names (same device and inode).
bool SameFile(const std::string& In, const std::string& Out);

// Writes the copy that Plan describes to Out: the original's bytes up to the
// plan's output size with the field changes in place; the data block is
// copied byte for byte in one sequential pass (by the kernel's file-to-file
// copy where the file systems allow it, else in large blocks). The copy is written under a temporary name in Out's
// folder, flushed to the disk, judged (it must come out as the plan said),
// and only then renamed to Out, replacing a file of that name. Raises
// ERepairSameFile before anything is written when Out is the original, and
// ERepairWrite when the original changed since it was planned or the copy
// cannot be written; then no temporary file and no Out is left.
void WriteRepairedCopy(const TRepairPlan& Plan, const std::string& Out);

// Bytes read and written per call when a copy goes through a buffer.
inline constexpr int64_t RepairCopyBlockBytes = int64_t{8} << 20;
