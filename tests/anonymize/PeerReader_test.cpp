// A de-identified copy is read by a strict library of another project
// (EDFlib) exactly as the original is: it opens whenever the original opens,
// with the same signals, records, samples and annotations, and the
// identification the reader gives back is the anonymous one.
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "anonymize/NamedRecording.h"
#include "testkit/PlusBytes.h"
#include "testkit/RealFiles.h"

#ifdef VELLICOR_TEST_EDFLIB
#include <edflib.h>
#endif

namespace {

#ifdef VELLICOR_TEST_EDFLIB

// What the peer reads of a file: its open status, and when it opened, the
// layout, the first samples of every signal and every annotation.
struct TPeerView {
  int Open = -1;
  int FileType = -1;
  std::string Code, Name;
  long long Records = 0;
  std::vector<std::vector<int>> Samples;
  std::vector<std::string> Annotations;  // onset, duration and text
};

TPeerView ReadWithPeer(const std::string& Path) {
  TPeerView V;
  edf_hdr_struct Hdr{};
  V.Open = edfopen_file_readonly(Path.c_str(), &Hdr, EDFLIB_READ_ALL_ANNOTATIONS);
  if (V.Open != 0) {
    V.FileType = Hdr.filetype;  // the error code
    return V;
  }
  V.FileType = Hdr.filetype;
  V.Code = Hdr.patientcode;
  V.Name = Hdr.patient_name;
  V.Records = Hdr.datarecords_in_file;
  for (int s = 0; s < Hdr.edfsignals; ++s) {
    std::vector<int> Buffer(static_cast<size_t>(std::min<long long>(Hdr.signalparam[s].smp_in_file, 4096)));
    const int Got = edfread_digital_samples(Hdr.handle, s, static_cast<int>(Buffer.size()), Buffer.data());
    Buffer.resize(static_cast<size_t>(std::max(Got, 0)));
    V.Samples.push_back(Buffer);
  }
  for (long long a = 0; a < Hdr.annotations_in_file; ++a) {
    edf_annotation_struct A{};
    if (edf_get_annotation(Hdr.handle, static_cast<int>(a), &A) != 0) continue;
    V.Annotations.push_back(std::to_string(A.onset) + " " + std::to_string(A.duration_l) + " " + A.annotation);
  }
  edfclose_file(Hdr.handle);
  return V;
}

// The annotation texts may only differ where a name was overwritten with X.
bool SameBarX(const std::string& Original, const std::string& Copy) {
  if (Original.size() != Copy.size()) return false;
  for (size_t i = 0; i < Original.size(); ++i)
    if (Original[i] != Copy[i] && Copy[i] != 'X') return false;
  return true;
}

TEST(PeerReader, TheDeidentifiedCopyReadsAsTheOriginalDoes) {
  testkit::TempDir Dir;
  std::vector<std::string> Inputs;
  Inputs.push_back(Dir.File("named.edf"));
  named::Named().Write(Inputs.back());
  if (const std::string Real = testkit::RealTestDataDir(); !Real.empty())
    for (const testkit::RealFile& F : testkit::RealFiles()) Inputs.push_back(Real + "/" + F.Name);
  else
    std::printf("the real test files are not there: only the planted file is read\n");
  int Copied = 0;
  size_t Opened = 0;
  for (const std::string& In : Inputs) {
    const std::string Out = Dir.File("copy" + std::to_string(Copied) + ".edf");
    const std::string Line = std::string(VELLICOR_ANONYMIZE_EXE) + " '" + In + "' '" + Out + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(Line.c_str()), 0) << In;
    ++Copied;
    const TPeerView Original = ReadWithPeer(In);
    const TPeerView Copy = ReadWithPeer(Out);
    EXPECT_EQ(Copy.Open, Original.Open) << In;
    EXPECT_EQ(Copy.FileType, Original.FileType) << In;
    if (Original.Open != 0) continue;
    ++Opened;
    EXPECT_EQ(Copy.Records, Original.Records) << In;
    EXPECT_EQ(Copy.Samples, Original.Samples) << In;
    ASSERT_EQ(Copy.Annotations.size(), Original.Annotations.size()) << In;
    for (size_t a = 0; a < Copy.Annotations.size(); ++a)
      EXPECT_TRUE(SameBarX(Original.Annotations[a], Copy.Annotations[a]))
          << In << ": " << Copy.Annotations[a];
    // EDF+ and BDF+: the reader finds no code and no name (X, which it
    // gives back as it is or as nothing).
    if (Copy.FileType == EDFLIB_FILETYPE_EDFPLUS || Copy.FileType == EDFLIB_FILETYPE_BDFPLUS) {
      EXPECT_TRUE(Copy.Code.empty() || Copy.Code == "X") << In << ": " << Copy.Code;
      EXPECT_TRUE(Copy.Name.empty() || Copy.Name == "X") << In << ": " << Copy.Name;
    }
  }
  // The strict reader opens every one of these files.
  EXPECT_EQ(Opened, Inputs.size());
  // The planted file names its patient in its annotations; the peer must
  // have found them replaced.
  ASSERT_EQ(ReadWithPeer(Inputs[0]).Name, "Haagse Harry");
  const TPeerView Planted = ReadWithPeer(Dir.File("copy0.edf"));
  ASSERT_EQ(Planted.Open, 0);
  for (const std::string& A : Planted.Annotations)
    for (const std::string& Token : named::TokenStrings) EXPECT_FALSE(named::Holds(A, Token)) << A;
}

#else

TEST(PeerReader, TheDeidentifiedCopyReadsAsTheOriginalDoes) {
  GTEST_SKIP() << "EDFlib (Debian's libedf-dev) was not found when this was built: the peer reader is not tried";
}

#endif

}  // namespace
