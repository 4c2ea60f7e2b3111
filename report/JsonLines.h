// Reading JSON Lines files of any size in large blocks: memory stays that of
// the longest line, whatever the file's size.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Calls OnLine with each line (without its line feed; a last line without
// one too) and its number from 1. "" when the whole file was read, else why
// not.
std::string ForEachLine(const std::string& Path,
                        const std::function<void(std::string_view Line, int64_t Number)>& OnLine);

// Line made ready for RapidJSON's in-place parse (kParseInsituFlag): copied
// into Buffer and followed by NULs, so that the reader's 16-byte scans stay
// inside the copy. nullptr when the line holds bytes that are not UTF-8 or a
// NUL (which would end the parse early): no line of ours does.
char* InsituCopy(std::string& Buffer, std::string_view Line);
