#include "cli/FileList.h"


#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Walks one folder; symbolic links to folders are not followed, so a link
// loop cannot make the walk endless. Folders that cannot be listed are
// reported as entries of their own.
void Walk(const fs::path& Folder, std::vector<TFileListEntry>& Files,
          std::vector<TFileListEntry>& Errors) {
  std::error_code ec;
  fs::directory_iterator it(Folder, ec);
  if (ec) {
    Errors.push_back({Folder.string(), ec.message()});
    return;
  }
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) {
      Errors.push_back({Folder.string(), ec.message()});
      return;
    }
    const fs::directory_entry& e = *it;
    std::error_code sec;
    const bool realFolder = !e.is_symlink(sec) && e.is_directory(sec);
    if (realFolder) {
      Walk(e.path(), Files, Errors);
    } else if (HasRecordingExtension(e.path().filename().string()) && !e.is_directory(sec)) {
      // The type comes with the folder listing: a FIFO named x.edf is
      // skipped without being opened (opening one would wait for a writer).
      // Files are only opened once, by the check itself.
      Files.push_back({e.path().string(), e.is_regular_file(sec) ? "" : "not a regular file"});
    }
  }
  if (ec) Errors.push_back({Folder.string(), ec.message()});
}

}  // namespace

namespace {

// The last four characters in lower case; "" for a shorter name.
std::string Extension(const std::string& Name) {
  if (Name.size() < 4) return "";
  std::string ext = Name.substr(Name.size() - 4);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return ext;
}

}  // namespace

bool HasEdfExtension(const std::string& Name) { return Extension(Name) == ".edf"; }

bool HasRecordingExtension(const std::string& Name) {
  const std::string ext = Extension(Name);
  return ext == ".edf" || ext == ".bdf";
}

std::vector<TFileListEntry> ExpandPaths(const std::vector<std::string>& Paths, bool Recursive) {
  std::vector<TFileListEntry> out;
  for (const std::string& p : Paths) {
    std::error_code ec;
    if (Recursive && fs::is_directory(p, ec)) {
      std::vector<TFileListEntry> files, errors;
      Walk(fs::path(p), files, errors);
      std::sort(files.begin(), files.end(),
                [](const TFileListEntry& a, const TFileListEntry& b) { return a.Path < b.Path; });
      out.insert(out.end(), errors.begin(), errors.end());
      // Nothing to check is not success: a mistyped folder must not pass a batch.
      if (files.empty()) out.push_back({p, NoFilesError});
      out.insert(out.end(), files.begin(), files.end());
    } else {
      out.push_back({p, ""});
    }
  }
  return out;
}
