#include "support/RecordingWalk.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

void Walk(const fs::path& Folder, const std::string& Relative, std::vector<TWalkEntry>& Entries) {
  const auto Fail = [&](const std::error_code& Ec) { Entries.push_back({Relative, Ec.message(), true}); };
  std::error_code Ec;
  fs::directory_iterator It(Folder, Ec);
  if (Ec) return Fail(Ec);
  for (; It != fs::directory_iterator(); It.increment(Ec)) {
    if (Ec) return Fail(Ec);
    const fs::directory_entry& E = *It;
    const std::string Name = E.path().filename().string();
    const std::string Child = Relative.empty() ? Name : Relative + "/" + Name;
    // The type comes with the listing: nothing is opened here.
    std::error_code TypeEc;
    if (!E.is_symlink(TypeEc) && E.is_directory(TypeEc))
      Walk(E.path(), Child, Entries);
    else if (HasRecordingExtension(Name) && !E.is_directory(TypeEc))
      Entries.push_back({Child, E.is_regular_file(TypeEc) ? "" : "not a regular file", false});
  }
  if (Ec) Fail(Ec);
}

// The last four characters in lower case; "" for a shorter name.
std::string Extension(const std::string& Name) {
  if (Name.size() < 4) return "";
  std::string Ext = Name.substr(Name.size() - 4);
  for (char& C : Ext)
    if (C >= 'A' && C <= 'Z') C = static_cast<char>(C + 32);
  return Ext;
}

}  // namespace

std::vector<TWalkEntry> WalkRecordings(const std::string& Root) {
  std::vector<TWalkEntry> Entries;
  Walk(fs::path(Root), "", Entries);
  return Entries;
}

bool HasEdfExtension(const std::string& Name) { return Extension(Name) == ".edf"; }

bool HasRecordingExtension(const std::string& Name) {
  const std::string Ext = Extension(Name);
  return Ext == ".edf" || Ext == ".bdf";
}
