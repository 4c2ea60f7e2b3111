// An option that takes a value, as the programs' argument loops read it.
#pragma once

#include <string>

// When Argv[I] is the option Long ("--jobs") or Short ("-j", may be ""),
// takes its value and returns true: "--jobs=N", "-jN", or the next argument
// (I then moves past it). Error is set when no value follows.
bool TakeOptionValue(int Argc, char** Argv, int& I, const std::string& Long, const std::string& Short,
                     std::string& Value, std::string& Error);
