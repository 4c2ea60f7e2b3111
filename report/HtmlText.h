// Text from files and names, escaped for HTML element content and quoted
// attribute values alike.
#pragma once

#include <string>
#include <string_view>

// Text must be UTF-8 (the JSON lines are). & < > " ' become references;
// tab, line feed and carriage return become numeric references; the other
// control characters, which HTML forbids, become U+FFFD.
void AppendHtml(std::string& Out, std::string_view Text);
std::string EscapeHtml(std::string_view Text);
