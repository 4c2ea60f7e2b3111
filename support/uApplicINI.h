// Where the program's settings files are, and reading single values from
// them. Nothing is ever written to a settings file.
#pragma once

#include <string>

// Process-wide paths, offered to the library's users.
extern std::string SharedIniPath;  // "m:\applic.qzr\Applic.INI" from load on
extern std::string AppIniPath;     // the program file with extension ".ini"
extern std::string AppName;        // base name of the program file

// Start-up: fills AppIniPath (only when empty) and AppName from the program file.
void InitApplicINI();
// Shutdown: empties all three paths.
void DoneApplicINI();

// The trimmed value of Key in Section (both case-insensitive); the trimmed
// default when the file lacks it; the default unchanged when the file is missing.
std::string ReadIniString(const std::string& Path, const std::string& Section,
                          const std::string& Key, const std::string& Default);
// ReadIniString on SharedIniPath.
std::string ReadSharedIniString(const std::string& Section, const std::string& Key,
                                const std::string& Default);
