#include "testkit/PlusBytes.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace testkit {

std::string Tal(const std::string& Onset, const std::vector<std::string>& Texts) {
  std::string Out = Onset + '\x14';
  for (const std::string& Text : Texts) Out += Text + '\x14';
  return Out + '\0';
}

std::string TimeKeeping(const std::string& Onset) { return Tal(Onset, {""}); }

PlusBytes PlusBytes::Valid(int Records, bool Bdf) {
  PlusBytes P;
  P.SampleBytes = Bdf ? 3 : 2;
  P.Records = Records;
  EdfBytes& H = P.Header;
  H = EdfBytes::Valid(3, 10, 0);
  if (Bdf) H.General[0] = "\xFF" "BIOSEMI";
  H.General[6] = Bdf ? "BDF+C" : "EDF+C";
  H.General[7] = std::to_string(Records);
  H.Signals[2] = {Bdf ? "BDF Annotations" : "EDF Annotations", "", "", "-1", "1",
                  Bdf ? "-8388608" : "-32768", Bdf ? "8388607" : "32767", "", "30", ""};
  P.AnnotationSignals = {2};
  P.Annotations = [](int r, int) { return TimeKeeping('+' + std::to_string(r)); };
  return P;
}

int64_t PlusBytes::HeaderSize() const { return 256 * (static_cast<int64_t>(Header.Signals.size()) + 1); }

int64_t PlusBytes::SignalBytes(int s) const { return int64_t{Header.SamplesOf(s)} * SampleBytes; }

int64_t PlusBytes::RecordBytes() const {
  int64_t Sum = 0;
  for (int s = 0; s < static_cast<int>(Header.Signals.size()); ++s) Sum += SignalBytes(s);
  return Sum;
}

int64_t PlusBytes::At(int r, int s, int64_t i) const {
  int64_t Offset = HeaderSize() + r * RecordBytes();
  for (int k = 0; k < s; ++k) Offset += SignalBytes(k);
  return Offset + i;
}

namespace {

std::string RecordOf(const PlusBytes& P, int r) {
  std::string Out;
  for (int s = 0; s < static_cast<int>(P.Header.Signals.size()); ++s) {
    const auto Size = static_cast<size_t>(P.SignalBytes(s));
    std::string Bytes;
    if (std::find(P.AnnotationSignals.begin(), P.AnnotationSignals.end(), s) != P.AnnotationSignals.end() &&
        P.Annotations)
      Bytes = P.Annotations(r, s).substr(0, Size);
    Bytes.resize(Size, '\0');
    Out += Bytes;
  }
  return Out;
}

}  // namespace

std::string PlusBytes::Bytes() const {
  std::string Out = Header.HeaderBytes();
  for (int r = 0; r < Records; ++r) Out += RecordOf(*this, r);
  return Out + Tail;
}

void PlusBytes::Write(const std::string& Path) const {
  std::ofstream F(Path, std::ios::binary | std::ios::trunc);
  const std::string Head = Header.HeaderBytes();
  F.write(Head.data(), static_cast<std::streamsize>(Head.size()));
  for (int r = 0; r < Records; ++r) {
    const std::string Record = RecordOf(*this, r);
    F.write(Record.data(), static_cast<std::streamsize>(Record.size()));
  }
  F.write(Tail.data(), static_cast<std::streamsize>(Tail.size()));
  if (!F) throw std::runtime_error("cannot write " + Path);
}

}  // namespace testkit
