// The archive page: one self-contained HTML file for a whole check run,
// built from the JSON lines of vellicor-check --json alone, so a run with
// --html and --summarize over its lines give the same page. Tiles, the rules
// table and the file list are written as HTML (they show without scripts);
// each file's details are drawn by the page's script from the embedded lines.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "report/PageData.h"
#include "report/ReportLine.h"
#include "report/Summary.h"

class TReportPage {
public:
  // Adds a line of a file, checked or not read, as the next row; a summary
  // line is skipped. False when the line is neither.
  bool AddLine(std::string_view Line);

  const TSummary& Summary() const { return FSummary; }
  size_t Files() const { return FRows.size(); }

  // The page. Generated (when, as text) is the only part that differs
  // between two pages of the same lines; Program names the writer.
  std::string Html(const std::string& Generated, const std::string& Program) const;

private:
  struct TRow {
    std::string File;
    std::string Format;
    TFileStatus Status = TFileStatus::Unread;
    int64_t Errors = 0;
    int64_t Warnings = 0;
    double Usable = -1;
    std::string Rules;  // " id id ... ": the rule filter looks for " id "
  };

  void AppendHead(std::string& Out, const std::string& Generated, const std::string& Program) const;
  void AppendTiles(std::string& Out) const;
  void AppendRules(std::string& Out) const;
  void AppendFiles(std::string& Out) const;

  std::vector<TRow> FRows;
  TPageData FData;
  TSummary FSummary;
  std::map<std::string, int64_t> FFormats;
  std::map<std::string, std::set<std::string>> FSeverities;  // per rule, as the lines give them
  unsigned FChecks = 0;
};

// The current time as the page shows it: "2026-05-04 13:07:12 UTC".
std::string PageTimeNow();
