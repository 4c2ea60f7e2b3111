#include "util/uFormatSettings.h"

const TFormatSettings& EnglishUSFormatSettings() {
  static const TFormatSettings settings{};
  return settings;
}

TFormatSettings& ProcessFormatSettings() {
  static TFormatSettings settings = EnglishUSFormatSettings();
  return settings;
}

void UsePointAsDecimalSeparator() {
  TFormatSettings& Settings = ProcessFormatSettings();
  Settings.DecimalSeparator = '.';
  if (Settings.ThousandSeparator == '.') Settings.ThousandSeparator = ',';
}
