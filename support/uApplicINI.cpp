#include "support/uApplicINI.h"

#include <ini.h>
#include <strings.h>

#include <filesystem>
#include <system_error>

#include "support/udDisk.h"

std::string SharedIniPath = "m:\\applic.qzr\\Applic.INI";
std::string AppIniPath;
std::string AppName;

namespace {
// Blanks are the codes 0 to 32, as everywhere in the library.
bool IsBlank(char C) { return static_cast<unsigned char>(C) <= 32; }

std::string TrimBlanks(const std::string& S) {
  size_t First = 0;
  size_t Last = S.size();
  while (First < Last && IsBlank(S[First])) ++First;
  while (Last > First && IsBlank(S[Last - 1])) --Last;
  return S.substr(First, Last - First);
}

std::string ProgramPath() {
  std::error_code Ec;
  const auto Path = std::filesystem::read_symlink("/proc/self/exe", Ec);
  return Ec ? std::string() : Path.string();
}

struct TIniQuery {
  const std::string& Section;
  const std::string& Key;
  bool Found = false;
  std::string Value;
};

int TakeFirstMatch(void* User, const char* Section, const char* Name, const char* Value) {
  auto& Query = *static_cast<TIniQuery*>(User);
  // The first occurrence wins; a continuation line repeats the key and must
  // not replace it.
  if (!Query.Found && Name && strcasecmp(Section, Query.Section.c_str()) == 0 &&
      strcasecmp(Name, Query.Key.c_str()) == 0) {
    Query.Found = true;
    Query.Value = Value ? Value : "";
  }
  return 1;
}
}  // namespace

void InitApplicINI() {
  const std::string Program = ProgramPath();
  if (AppIniPath.empty() && !Program.empty())
    AppIniPath = std::filesystem::path(Program).replace_extension(".ini").string();
  AppName = FileBaseName(Program);
}

void DoneApplicINI() {
  SharedIniPath.clear();
  AppIniPath.clear();
  AppName.clear();
}

std::string ReadIniString(const std::string& Path, const std::string& Section,
                          const std::string& Key, const std::string& Default) {
  if (!FileExists(Path)) return Default;
  TIniQuery Query{Section, Key, false, {}};
  // A line inih cannot parse is skipped; the value read so far still counts.
  ini_parse(Path.c_str(), TakeFirstMatch, &Query);
  return TrimBlanks(Query.Found ? Query.Value : Default);
}

std::string ReadSharedIniString(const std::string& Section, const std::string& Key,
                                const std::string& Default) {
  return ReadIniString(SharedIniPath, Section, Key, Default);
}
