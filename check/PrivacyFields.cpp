#include "check/PrivacyFields.h"

#include <algorithm>
#include <string>

#include "check/PrivacyTokens.h"
#include "edf/uEDF.h"
#include "edf/uEDFFileInfo.h"
#include "edf/uEDFLayout.h"
#include "edf/uEDFSignalInfo.h"
#include "util/uUtf8.h"
#include "util/udStr.h"

namespace {

TIdFields Split(std::string_view Raw, size_t Count) {
  TIdFields F;
  const size_t End = Raw.find_last_not_of(' ');
  F.Text = End == std::string_view::npos ? std::string_view{} : Raw.substr(0, End + 1);
  size_t Begin = 0;
  for (size_t i = 0; i <= F.Text.size(); ++i) {
    if (i == F.Text.size() || F.Text[i] == ' ') {
      F.Sub.push_back({Begin, F.Text.substr(Begin, i - Begin)});
      Begin = i + 1;
    }
  }
  F.Structured = !F.Text.empty() && F.Sub.size() >= Count &&
                 std::none_of(F.Sub.begin(), F.Sub.end(), [](const TIdSubfield& S) { return S.Text.empty(); });
  return F;
}

}  // namespace

TIdFields PatientFields(std::string_view Raw) { return Split(Raw, PatientSubfields); }

TIdFields RecordingFields(std::string_view Raw) {
  TIdFields F = Split(Raw, RecordingSubfields);
  F.Structured = F.Structured && F.Sub.front().Text == "Startdate";
  return F;
}

bool Unknown(std::string_view Subfield) { return Subfield == "X"; }

bool UnknownName(std::string_view Name) {
  bool Any = false;
  for (size_t i = 0; i < Name.size();) {
    const size_t L = Utf8SequenceLength(reinterpret_cast<const unsigned char*>(Name.data()) + i, Name.size() - i);
    if (WordCharAt(Name, i)) {
      // Each letter or digit is an X standing alone.
      if (Name[i] != 'X' || WordCharBefore(Name, i) || WordCharAt(Name, i + 1)) return false;
      Any = true;
    }
    i += L == 0 ? 1 : L;
  }
  return Any;
}

bool OnlyXWords(std::string_view Text) {
  for (size_t i = 0; i < Text.size();) {
    const size_t Begin = Text.find_first_not_of(' ', i);
    if (Begin == std::string_view::npos) break;
    const size_t End = std::min(Text.find(' ', Begin), Text.size());
    if (Text.substr(Begin, End - Begin) != "X") return false;
    i = End;
  }
  return true;
}

bool PlusFile(const TCustomEDFFile& F) {
  if (F.FileInfo() == nullptr) return false;
  const std::string Head = UpperCaseAscii(F.FileInfo()->OriginalHeader()[gfReserved].substr(0, 4));
  return Head == "EDF+" || Head == "BDF+";
}

std::vector<int> AnnotationSignals(const TCustomEDFFile& F) {
  std::vector<int> Out;
  if (F.FileInfo() == nullptr) return Out;
  const bool Bdf = EDFFormatOf(F.FileInfo()->OriginalHeader()[gfVersion]) == TEDFFormat::BDF;
  const std::string Label = PadRight(Bdf ? "BDF Annotations" : "EDF Annotations", 16);
  for (int s = 0; s < F.SignalCount(); ++s)
    if (F.GetSignal(s)->RawHeader()[sfSignalLabel] == Label) Out.push_back(s);
  return Out;
}
