#include "support/CommandLine.h"

bool TakeOptionValue(int Argc, char** Argv, int& I, const std::string& Long, const std::string& Short,
                     std::string& Value, std::string& Error) {
  const std::string A = Argv[I];
  if (A.rfind(Long + "=", 0) == 0) {
    Value = A.substr(Long.size() + 1);
    return true;
  }
  if (!Short.empty() && A.size() > Short.size() && A.rfind(Short, 0) == 0 && A[1] != '-') {
    Value = A.substr(Short.size());
    return true;
  }
  // An empty Short matches no argument, not the empty one.
  if (A != Long && (Short.empty() || A != Short)) return false;
  if (I + 1 >= Argc) {
    Error = "option '" + A + "' needs a value";
    return true;
  }
  Value = Argv[++I];
  return true;
}
