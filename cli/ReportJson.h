// The report of one file as one JSON object on one line (JSON Lines), with
// the same content as the text form. The schema is described in the README.
#pragma once

#include <string>

#include "cli/CheckCommand.h"

// One compact JSON object followed by a line feed. Header texts are 8-bit
// bytes; each byte becomes the character of the same code (Latin-1), so a
// reader recovers the exact bytes.
std::string FormatReportJson(const TFileReport& R);
