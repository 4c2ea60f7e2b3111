// The digital min/max report two ways: the window's Tools / Check digital
// min/max values and vellicor-check --minmax on the same file. A user who
// switches between them must read the same lines.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTextBlock>

#include "DialogRecorder.h"
#include "WindowProbe.h"
#include "app/uMain.h"
#include "check/uFormResults.h"

namespace {

using testkit::EdfBytes;
using testkit::With;

struct TCliReport {
  int Exit = -1;
  QStringList Lines;   // the min/max lines, without the two-blank indent
  QString Malformed;   // what did not look like a valid file's report
};

// The command line prints the verdict, the data block line, then the report
// indented by two blanks, its empty line left empty.
TCliReport RunCommandLine(const QString& Path) {
  TCliReport R;
  QProcess P;
  P.start(QStringLiteral(VELLICOR_CHECK_EXE), {QStringLiteral("--minmax"), Path});
  if (!P.waitForFinished(30000) || P.exitStatus() != QProcess::NormalExit) {
    R.Malformed = QStringLiteral("did not finish");
    return R;
  }
  R.Exit = P.exitCode();
  QStringList Out = QString::fromUtf8(P.readAllStandardOutput()).split(QLatin1Char('\n'));
  if (Out.size() < 3 || !Out.last().isEmpty() ||
      Out[0] != Path + QStringLiteral(": File has a valid EDF fileheader.") ||
      !Out[1].startsWith(QStringLiteral("  Datablock size = "))) {
    R.Malformed = Out.join(QLatin1Char('\n'));
    return R;
  }
  for (int I = 2; I < Out.size() - 1; ++I) {
    if (Out[I].isEmpty()) {
      R.Lines << QString();
    } else if (Out[I].startsWith(QStringLiteral("  ")) && Out[I].size() > 2 && Out[I][2] != QLatin1Char(' ')) {
      R.Lines << Out[I].mid(2);
    } else {
      R.Malformed = QStringLiteral("line ") + QString::number(I) + QStringLiteral(": ") + Out[I];
      return R;
    }
  }
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
