#include "cli/FileList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Opening the file is the only test that tells the truth about permissions
// (access() says yes to root, and ACLs are not in the mode bits).
std::string ReadError(const std::string& Path) {
  struct stat st {};
  if (stat(Path.c_str(), &st) != 0) return std::strerror(errno);
  if (S_ISDIR(st.st_mode)) return std::strerror(EISDIR);
  const int fd = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  close(fd);
  return "";
}

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
      const std::string path = e.path().string();
      Files.push_back({path, ReadError(path)});
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
      out.push_back({p, ReadError(p)});
    }
  }
  return out;
}
