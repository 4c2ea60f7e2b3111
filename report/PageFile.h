// Where the page goes: checked before a run starts, written atomically at
// its end, so a long run never ends without its page, and a reader never
// sees half a page.
#pragma once

#include <string>
#include <vector>

// "" when Path can take the page; otherwise why not: its folder is missing
// or not writable, it is a folder, or it is one of Inputs (the files the run
// reads, which are never written).
std::string PageTargetProblem(const std::string& Path, const std::vector<std::string>& Inputs);

// Writes Text to a temporary file beside Path, syncs it and renames it to
// Path. "" on success, otherwise the reason (and no file is left behind).
std::string WritePageFile(const std::string& Path, const std::string& Text);
