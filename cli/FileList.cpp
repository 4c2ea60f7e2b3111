#include "cli/FileList.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::vector<TFileListEntry> ExpandPaths(const std::vector<std::string>& Paths, bool Recursive) {
  std::vector<TFileListEntry> out;
  for (const std::string& p : Paths) {
    std::error_code ec;
    if (!Recursive || !fs::is_directory(p, ec)) {
      out.push_back({p, ""});
      continue;
    }
    // Folders that cannot be listed first, then the files, which are only
    // opened once, by the check itself.
    std::vector<TFileListEntry> files;
    for (TWalkEntry& e : WalkRecordings(p)) {
      TFileListEntry Entry{e.Relative.empty() ? p : (fs::path(p) / e.Relative).string(), std::move(e.Error)};
      (e.Folder ? out : files).push_back(std::move(Entry));
    }
    std::sort(files.begin(), files.end(),
              [](const TFileListEntry& a, const TFileListEntry& b) { return a.Path < b.Path; });
    // Nothing to check is not success: a mistyped folder must not pass a batch.
    if (files.empty()) out.push_back({p, NoFilesError});
    out.insert(out.end(), files.begin(), files.end());
  }
  return out;
}
