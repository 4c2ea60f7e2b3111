// JSON string literals as the JSON Lines and the report page write them.
// Control characters use the lowercase \u00xx form, as do the line breaks
// U+0085, U+2028 and U+2029; everything else from U+0020 on is written as
// UTF-8, as the earlier Qt-built lines did, so a line of one release
// compares equal to the same line of the next.
#pragma once

#include <string>
#include <string_view>

enum class TJsonEscape {
  Plain,
  // Also '<' as \u003c: the text then cannot close the <script> element it
  // is embedded in, nor open a comment there.
  ForScript
};

// Bytes of an 8-bit header text: each byte is the character of the same
// code (Latin-1), so a reader recovers the exact bytes.
void AppendJsonLatin1(std::string& Out, std::string_view Bytes, TJsonEscape Escape = TJsonEscape::Plain);
// UTF-8 text; each byte that is not part of a well-formed sequence becomes
// U+FFFD.
void AppendJsonUtf8(std::string& Out, std::string_view Text, TJsonEscape Escape = TJsonEscape::Plain);

// True when every byte belongs to a well-formed UTF-8 sequence.
bool IsUtf8(std::string_view Text);
