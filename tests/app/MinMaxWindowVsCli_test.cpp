// The digital min/max report two ways: the window's Tools / Check digital
// min/max values and vellicor-check --minmax on the same file. A user who
// switches between them must read the same lines.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTextBlock>

#include "DialogRecorder.h"
#include "WindowProbe.h"
#include "app/uFormResults.h"
#include "app/uMain.h"

namespace {

using testkit::EdfBytes;
using testkit::With;

struct TCliReport {
  int Exit = -1;
  QStringList Lines;   // the min/max report lines as the memo shows them
  int SampleFindings = 0;
  QString Malformed;   // what did not look like a valid file's report
};

// The command line's JSON carries the report lines as built for the results
// window; the heading's own line break is the memo's empty line.
TCliReport RunCommandLine(const QString& Path) {
  TCliReport R;
  QProcess P;
  P.start(QStringLiteral(VELLICOR_CHECK_EXE), {QStringLiteral("--json"), QStringLiteral("--minmax"), Path});
  if (!P.waitForFinished(30000) || P.exitStatus() != QProcess::NormalExit) {
    R.Malformed = QStringLiteral("did not finish");
    return R;
  }
  R.Exit = P.exitCode();
  const QByteArray Out = P.readAllStandardOutput();
  const QJsonObject O = QJsonDocument::fromJson(Out).object();
  if (!O[QStringLiteral("valid")].toBool() || !O[QStringLiteral("minmax")].isArray()) {
    R.Malformed = QString::fromUtf8(Out);
    return R;
  }
  for (const QJsonValue& Line : O[QStringLiteral("minmax")].toArray())
    R.Lines << Line.toString().split(QStringLiteral("\r\n"));
  for (const QJsonValue& F : O[QStringLiteral("findings")].toArray())
    if (F[QStringLiteral("rule")].toString().startsWith(QStringLiteral("samples."))) ++R.SampleFindings;
  return R;
}

class MinMaxWindowVsCli : public ::testing::Test {
protected:
  void SetUp() override { ShowAndSettle(Form); }

  // Opens the file in the window and runs the command; the results window's lines.
  QStringList RunWindow(const QString& Path) {
    Form.OpenFile(Path);
    EXPECT_TRUE(ToolsEnabled(Form)) << "the header of a scanned file must be valid";
    QStringList Lines;
    int Reports = 0;
    Recorder.OnExecModal = [&](QDialog& Dialog) {
      ++Reports;
      auto* Results = qobject_cast<TFormResults*>(&Dialog);
      EXPECT_NE(Results, nullptr);
      if (Results)
        for (QTextBlock B = Results->Memo1->document()->begin(); B.isValid(); B = B.next())
          Lines << B.text();
      return int(QDialog::Accepted);
    };
    Form.Checkdigitalminmaxvalues1Click();
    Recorder.OnExecModal = nullptr;
    EXPECT_EQ(Reports, 1);
    return Lines;
  }

  testkit::TempDir Folder;
  TDialogRecorder Recorder;
  TForm1 Form{QStringList()};
};

TEST_F(MinMaxWindowVsCli, BothShowTheSameReportLines) {
  const struct {
    const char* Name;
    EdfBytes Edf;
    int Findings;
  } Cases[] = {
      {"samples up to both limits",
       With(EdfBytes::Valid(2, 50, 3),
            [](EdfBytes& E) {
              E.Sample = [](int, int, int I) -> int16_t { return I == 0 ? -2048 : I == 1 ? 2047 : int16_t(I * 7); };
            }),
       0},
      {"one signal below, one above",
       With(EdfBytes::Valid(3, 20, 4),
            [](EdfBytes& E) {
              E.Signals[0][0] = "EEG Fpz-Cz";
              E.Signals[2][0] = "EMG submental";
              E.Sample = [](int R, int S, int I) -> int16_t {
                if (S == 0 && R == 1 && I == 4) return -2049;
                if (S == 2 && R == 3 && I == 19) return 2048;
                return int16_t(I - 10);
              };
            }),
       2},
      {"one signal beyond both of its own limits",
       With(EdfBytes::Valid(2, 10, 2),
            [](EdfBytes& E) {
              E.Signals[1][5] = "-100";
              E.Signals[1][6] = "100";
              E.Sample = [](int R, int S, int I) -> int16_t {
                if (S == 1 && I == 9) return R == 0 ? -101 : 3000;
                return 0;
              };
            }),
       2},
      {"annotation-like signal over the whole 16-bit range",
       With(EdfBytes::Valid(2, 30, 2),
            [](EdfBytes& E) {
              E.Signals[1][0] = "EDF Annotations";
              E.Signals[1][2] = "";
              E.Signals[1][5] = "-32768";
              E.Signals[1][6] = "32767";
              E.Sample = [](int R, int S, int I) -> int16_t {
                if (S == 1) return I == 0 ? -32768 : I == 1 ? 32767 : int16_t(R * 256 + I);
                return S == 0 && R == 1 && I == 29 ? 5000 : 0;
              };
            }),
       1},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(C.Name);
    const QString Path = WriteEdf(Folder, "scan.edf", C.Edf);
    const QStringList Window = RunWindow(Path);
    const TCliReport Cli = RunCommandLine(Path);
    ASSERT_TRUE(Cli.Malformed.isEmpty()) << Cli.Malformed.toStdString();
    EXPECT_EQ(Cli.Exit, 0) << "findings in the data leave the header verdict valid";
    EXPECT_EQ(Cli.Lines.join(QLatin1Char('|')).toStdString(), Window.join(QLatin1Char('|')).toStdString());
    EXPECT_EQ(Cli.SampleFindings, C.Findings);
    // Neither side may agree by showing nothing.
    if (C.Findings == 0) {
      EXPECT_EQ(Window, QStringList{QStringLiteral("No errors found")});
    } else {
      ASSERT_EQ(Window.size(), C.Findings + 2);
      EXPECT_EQ(Window[0], QStringLiteral("Found %1 errors:").arg(C.Findings));
      EXPECT_EQ(Window[1], QString());
    }
  }
  EXPECT_TRUE(Recorder.Messages.empty());
}

}  // namespace
