// Test helpers for the archive page: a small archive to check, the parts of
// a written page, and JSON lines as the quality check writes them.
#pragma once

#include <string>
#include <vector>

#include "testkit/EdfBytes.h"

namespace reporttest {

// Writes a valid EDF, an EDF with a bad StartDate, an EDF with a warning
// only, and a valid BDF into Dir; returns their paths and, third from last,
// a path that does not exist: a.edf, b.edf, c.edf, gone.edf, d.bdf.
std::vector<std::string> WriteSmallArchive(const testkit::TempDir& Dir);

// The page with the text of its generation time removed.
std::string WithoutTime(const std::string& Page);
// The text of <script ... id="Id">.
std::string ScriptText(const std::string& Page, const std::string& Id);

// Line (a checked file) with a "quality" key: one signal per map, judged
// unless its map is all '-', labels taken from the line's signals.
std::string WithQuality(const std::string& Line, const std::vector<std::string>& Maps, int EpochSeconds);

// Files of the large archive: 10,000, but a few hundred under the sanitizers,
// where building the lines alone takes minutes and sizes and times mean
// nothing; the same paths still run.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kArchiveFiles = 300;
#else
inline constexpr int kArchiveFiles = 10000;
#endif

// N lines of an archive as vellicor-check --json --minmax --conformance
// writes them, from the real test files when present (else the small
// archive): each file its own path, patient, start, length, and an 8-hour
// quality map with faults of its own. Scratch holds the files checked.
std::vector<std::string> ArchiveLines(int N, const testkit::TempDir& Scratch);

}  // namespace reporttest
