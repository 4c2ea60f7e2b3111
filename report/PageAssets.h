// The page's style sheet and script, built in from report/page.css and
// report/page.js.
#pragma once

extern const char kPageStyle[];
extern const char kPageScript[];
// SHA-256 of the script element's text ("\n" and the script), in hex: the
// page lets only this script run.
extern const char kPageScriptSha256[];
