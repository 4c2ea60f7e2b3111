#include "testkit/RealFiles.h"

#include <algorithm>
#include <filesystem>

namespace testkit {

std::vector<std::string> UntabledRealFiles(const std::string& Dir) {
  std::vector<std::string> paths;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(Dir, error)) {
    const std::string name = entry.path().filename().string();
    const std::string extension = entry.path().extension().string();
    if (!(extension == ".edf" || extension == ".bdf") ||
        std::any_of(RealFiles().begin(), RealFiles().end(),
                    [&](const RealFile& file) { return file.Name == name; }))
      continue;
    paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace testkit
