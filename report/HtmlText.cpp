#include "report/HtmlText.h"

void AppendHtml(std::string& Out, std::string_view Text) {
  for (const char Ch : Text) {
    switch (Ch) {
      case '&': Out += "&amp;"; break;
      case '<': Out += "&lt;"; break;
      case '>': Out += "&gt;"; break;
      case '"': Out += "&quot;"; break;
      case '\'': Out += "&#39;"; break;
      case '\t': Out += "&#9;"; break;
      case '\n': Out += "&#10;"; break;
      case '\r': Out += "&#13;"; break;
      default:
        if ((static_cast<unsigned char>(Ch) < 0x20) || Ch == 0x7F)
          Out += "\xEF\xBF\xBD";
        else
          Out += Ch;
    }
  }
}

std::string EscapeHtml(std::string_view Text) {
  std::string Out;
  AppendHtml(Out, Text);
  return Out;
}
