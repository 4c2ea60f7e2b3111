// The command line as the file system spells it: names that are not UTF-8
// reach the window byte for byte, so the file they name can be opened.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QCoreApplication>

#include "DialogRecorder.h"
#include "WindowProbe.h"
#include "app/uFileName.h"
#include "app/uMain.h"
#include "testkit/EdfBytes.h"

namespace {

TEST(UMainArgs, EveryArgumentLeadsBackToItsExactBytes) {
  const struct {
    const char* What;
    QByteArray Bytes;
    bool Utf8;
  } Cases[] = {
      {"Latin-1 e acute", "\xE9.edf", false},
      {"UTF-8 e acute", "caf\xC3\xA9.edf", true},
      {"a surrogate spelled in UTF-8", "\xED\xB2\x80.edf", false},
      {"a four-byte character whose low half lies in the escape range", "\xF0\x90\x82\x80.edf",
       true},
      {"an overlong slash", "\xC0\xAF.edf", false},
      {"a sequence cut at the end", "x\xE2\x82", false},
      {"bad bytes around text", "\xFF" "a" "\xFE", false},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.What);
    const char* Argv[] = {"vellicor", C.Bytes.constData()};
    const QStringList Arguments = CommandLineArguments(2, Argv);
    ASSERT_EQ(Arguments.size(), 1);
    EXPECT_EQ(EncodeFileName(Arguments.first()), C.Bytes);
    if (C.Utf8) {
      EXPECT_EQ(Arguments.first(), QString::fromUtf8(C.Bytes));
    }
  }
  // Two names that differ in one bad byte stay two names.
  EXPECT_NE(DecodeFileName("\xE9.edf"), DecodeFileName("\xE8.edf"));
}

class TWatchedForm : public TForm1 {
public:
  using TForm1::TForm1;
  void OpenFile(const QString& FileName) override { Opened << FileName; }
  QStringList Opened;
};

TEST(UMainArgs, ANameWithByteE9AsTheOnlyArgumentReachesOpenFileByteForByte) {
  testkit::TempDir Folder;
  const std::string Path = Folder.File("\xE9.edf");
  testkit::WriteFileBytes(Path, testkit::EdfBytes::Valid().Bytes());
  TDialogRecorder Recorder;
  const char* Argv[] = {"vellicor", Path.c_str()};
  TWatchedForm Form(CommandLineArguments(2, Argv));
  Form.show();
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  ASSERT_EQ(Form.Opened.size(), 1) << "the name was not taken for an existing file";
  EXPECT_EQ(EncodeFileName(Form.Opened.first()).toStdString(), Path);
  EXPECT_TRUE(Recorder.Messages.empty());
}

TEST(UMainArgs, TheWindowOpensAndJudgesTheFileANonUtf8NameNames) {
  testkit::TempDir Folder;
  const std::string Path = Folder.File("\xE9.edf");
  testkit::WriteFileBytes(Path, testkit::EdfBytes::Valid().Bytes());
  TDialogRecorder Recorder;
  const char* Argv[] = {"vellicor", Path.c_str()};
  TForm1 Form(CommandLineArguments(2, Argv));
  ShowAndSettle(Form);
  EXPECT_TRUE(Recorder.Messages.empty());
  EXPECT_TRUE(ToolsEnabled(Form));
  EXPECT_EQ(EncodeFileName(Form.windowTitle()).toStdString(), "Vellicor - " + Path);
}

}  // namespace
