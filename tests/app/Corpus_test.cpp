// The bad-input corpus: every single-field fault of a few valid files, judged
// three ways (the library, the command-line checker, the window). The three
// must agree case by case, only the EDataFile family may be raised, and no
// file may change. Where the field rules predict the outcome, it is checked too.
//
// To keep the generated files (e.g. as fuzzing seeds), set
// VELLICOR_CORPUS_KEEP to an existing folder.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <typeinfo>
#include <vector>

#include <QAction>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>

#include "CorpusCases.h"
#include "DialogRecorder.h"
#include "app/uMain.h"
#include "edf/uDataFileErrors.h"
#include "edf/uEDF.h"
#include "testkit/EdfBytes.h"

namespace {

using corpus::TCorpusCase;
using corpus::TExpect;

std::string MarkName(TFieldMark M) {
  switch (M) {
    case TFieldMark::Error: return "error";
    case TFieldMark::Warning: return "warning";
    default: return "none";
  }
}

QString Q(const std::string& S) { return QString::fromStdString(S); }
// QStrings are compared as UTF-8 so that a failure prints readable text.
std::string U(const QString& S) { return S.toStdString(); }

// --- the library -------------------------------------------------------------

struct TLibraryOutcome {
  THeaderJudgement J;
  std::vector<TSignalView> Signals;  // every signal, strict; empty when raised
  bool Raised = false;               // an EDataFile-family error, a clean refusal
  std::string Foreign;               // any other error: a fault
};

TLibraryOutcome JudgeWithLibrary(const std::string& Path) {
  TLibraryOutcome R;
  try {
    TEDFFile F;
    F.SetFileName(Path);
    try {
      JudgeOpenFile(F, R.J);
      R.Signals = DescribeAllSignals(F);
    } catch (const EDataFile&) {
      R.Raised = true;
    }
  } catch (const std::exception& E) {
    R.Foreign = std::string(typeid(E).name()) + ": " + E.what();
  } catch (...) {
    R.Foreign = "an unknown error";
  }
  return R;
}

bool LibraryValid(const TLibraryOutcome& L) { return !L.Raised && L.Foreign.empty() && L.J.Verdict; }

// --- the command line --------------------------------------------------------

struct TCliRun {
  bool Finished = false;
  QProcess::ExitStatus Status = QProcess::CrashExit;
  int ExitCode = -1;
  QString Errors;
  std::map<std::string, QJsonObject> ByFile;
  int Lines = 0;
};

// One run over every file, as a batch job would do it.
TCliRun RunCommandLine(const std::vector<std::string>& Paths) {
  TCliRun R;
  QStringList Arguments{QStringLiteral("--json")};
  for (const std::string& P : Paths) Arguments << Q(P);
  QProcess P;
  QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
  Env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));  // "." decimals, as in this process
  P.setProcessEnvironment(Env);
  P.start(QStringLiteral(VELLICOR_CHECK_EXE), Arguments);
  R.Finished = P.waitForFinished(60000);
  R.Status = P.exitStatus();
  R.ExitCode = P.exitCode();
  R.Errors = QString::fromLocal8Bit(P.readAllStandardError());
  for (const QByteArray& Line : P.readAllStandardOutput().split('\n')) {
    if (Line.isEmpty()) continue;
    ++R.Lines;
    const QJsonObject O = QJsonDocument::fromJson(Line).object();
    R.ByFile[O.value("file").toString().toStdString()] = O;
  }
  return R;
}

// --- the window --------------------------------------------------------------

struct TWindowOutcome {
  QString Verdict;
  bool ToolsEnabled = false;
  std::vector<QString> Messages;
  std::string Escaped;  // an error that came out of OpenFile
  std::array<QRgb, 10> General{};
  std::array<QRgb, 10> Signal{};
  // Texts and tool tips of the general boxes, as the bytes they stand for.
  std::array<std::string, 10> GeneralText, GeneralTip;
  QString DataBlock, Duration, Size;
  QRgb DataBlockBackground = 0;
};

template <class T>
T* Child(QWidget& Form, const QString& Name) {
  T* Found = Form.findChild<T*>(Name);
  if (!Found) throw std::runtime_error("no widget " + Name.toStdString());
  return Found;
}

TWindowOutcome OpenInWindow(TForm1& Form, TDialogRecorder& Recorder, const std::string& Path) {
  TWindowOutcome W;
  Recorder.Messages.clear();
  try {
    Form.OpenFile(Q(Path));
  } catch (const std::exception& E) {
    W.Escaped = E.what();
  } catch (...) {
    W.Escaped = "an unknown error";
  }
  for (const TShownMessage& M : Recorder.Messages) W.Messages.push_back(M.Text);
  W.Verdict = Child<QLabel>(Form, QStringLiteral("RzLabel21"))->text();
  W.ToolsEnabled = Child<QMenu>(Form, QStringLiteral("Tools1"))->menuAction()->isEnabled();
  const auto Box = [&](int N) { return Child<QLineEdit>(Form, QStringLiteral("RzEdit%1").arg(N)); };
  for (size_t k = 0; k < 10; ++k) {
    const QLineEdit* G = Box(11 + static_cast<int>(k));
    W.General[k] = BoxColour(G).rgb();
    W.GeneralText[k] = G->text().toLatin1().toStdString();
    W.GeneralTip[k] = G->toolTip().toLatin1().toStdString();
    W.Signal[k] = BoxColour(Box(1 + static_cast<int>(k))).rgb();
  }
  W.DataBlock = Child<QLabel>(Form, QStringLiteral("RzLabel22"))->text();
  W.DataBlockBackground = LabelBackground(Child<QLabel>(Form, QStringLiteral("RzLabel22"))).rgb();
  W.Duration = Child<QLabel>(Form, QStringLiteral("RzLabel23"))->text();
  W.Size = Child<QLabel>(Form, QStringLiteral("RzLabel24"))->text();
  return W;
}

QRgb BoxRgb(TFieldMark M) {
  switch (M) {
    case TFieldMark::Error: return QColor(ErrorColour).rgb();
    case TFieldMark::Warning: return QColor(WarningColour).rgb();
    default: return ColorWindow().rgb();
  }
}

// --- the corpus, judged once for all tests ----------------------------------

struct TCorpusRun {
  testkit::TempDir Dir;
  std::vector<TCorpusCase> Cases;
  std::vector<std::string> Paths;
  std::vector<int64_t> MTimes;
  std::vector<TLibraryOutcome> Library;
  TCliRun Cli;
  std::vector<TWindowOutcome> Window;
  std::vector<bool> SameBytes, SameMTime;
};

class Corpus : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    try {
      Run = std::make_unique<TCorpusRun>();
      Build(*Run);
    } catch (const std::exception& E) {
      BuildError = E.what();
    }
  }
  static void TearDownTestSuite() { Run.reset(); }

  void SetUp() override { ASSERT_EQ(BuildError, "") << "building the corpus failed"; }

  static void Build(TCorpusRun& R) {
    const std::string BaseFolder = R.Dir.File("bases");
    const std::string CaseFolder = R.Dir.File("cases");
    std::filesystem::create_directory(BaseFolder);
    std::filesystem::create_directory(CaseFolder);
    R.Cases = corpus::BuildCases(corpus::WriteBaseFiles(BaseFolder));
    const char* Keep = std::getenv("VELLICOR_CORPUS_KEEP");
    for (const TCorpusCase& C : R.Cases) {
      R.Paths.push_back(CaseFolder + "/" + C.Name + ".edf");
      testkit::WriteFileBytes(R.Paths.back(), C.Bytes);
      if (Keep && *Keep) testkit::WriteFileBytes(std::string(Keep) + "/" + C.Name + ".edf", C.Bytes);
    }
    // Old enough that any write during the checks shows in the time stamp.
    for (const std::string& P : R.Paths) {
      std::filesystem::last_write_time(P, std::filesystem::file_time_type::clock::now() -
                                              std::chrono::hours(24));
      R.MTimes.push_back(testkit::FileMTimeNs(P));
    }

    for (const std::string& P : R.Paths) R.Library.push_back(JudgeWithLibrary(P));
    R.Cli = RunCommandLine(R.Paths);
    {
      TDialogRecorder Recorder;
      TForm1 Form{QStringList()};
      for (const std::string& P : R.Paths) R.Window.push_back(OpenInWindow(Form, Recorder, P));
    }  // the window lets go of the last file

    for (size_t i = 0; i < R.Cases.size(); ++i) {
      R.SameBytes.push_back(testkit::ReadFileBytes(R.Paths[i]) == R.Cases[i].Bytes);
      R.SameMTime.push_back(testkit::FileMTimeNs(R.Paths[i]) == R.MTimes[i]);
    }
  }

  static std::unique_ptr<TCorpusRun> Run;
  static std::string BuildError;
};

std::unique_ptr<TCorpusRun> Corpus::Run;
std::string Corpus::BuildError;

void ExpectPredictedMarks(const TCorpusCase& C, const TLibraryOutcome& L) {
  for (size_t k = 0; k < 10; ++k)
    EXPECT_EQ(MarkName(L.J.General[k].Mark), MarkName(C.GeneralMarks[k])) << "general " << L.J.General[k].Caption;
  if (C.SignalCount >= 0) {
    EXPECT_EQ(static_cast<int>(L.Signals.size()), C.SignalCount);
  }
  for (const TSignalView& S : L.Signals) {
    const bool Patched = S.Index == C.MarkedSignal;
    for (size_t f = 0; f < 10; ++f)
      EXPECT_EQ(MarkName(S.Fields[f].Mark), MarkName(Patched ? C.SignalMarks[f] : TFieldMark::None))
          << "signal " << S.Index + 1 << " " << S.Fields[f].Caption;
    EXPECT_EQ(S.CalibrationRemark, Patched && C.Uncalibrated ? CalibrationRemarkText : "")
        << "signal " << S.Index + 1;
  }
  EXPECT_EQ(L.J.SizeRemark, C.SizeRemark);
  EXPECT_EQ(L.J.DurationRemark, C.DurationRemark);
  EXPECT_EQ(L.J.DataBlockTooLarge, C.DataBlockTooLarge);
}

void ExpectPredictedReason(const TCorpusCase& C, const TLibraryOutcome& L) {
  if (C.ReasonSignal < 0) {
    EXPECT_EQ(L.J.General[static_cast<size_t>(C.ReasonField)].Reason, C.Reason);
  } else if (C.ReasonSignal < static_cast<int>(L.Signals.size())) {
    EXPECT_EQ(L.Signals[static_cast<size_t>(C.ReasonSignal)].Fields[static_cast<size_t>(C.ReasonField)].Reason,
              C.Reason);
  } else {
    ADD_FAILURE() << "no signal " << C.ReasonSignal + 1;
  }
}

TEST_F(Corpus, LibraryJudgesEveryFaultAsTheFieldRulesPredict) {
  const TCorpusRun& R = *Run;
  // The table must not shrink unnoticed.
  EXPECT_GE(R.Cases.size(), 400u);
  int Raised = 0, Predicted = 0;
  for (size_t i = 0; i < R.Cases.size(); ++i) {
    const TCorpusCase& C = R.Cases[i];
    const TLibraryOutcome& L = R.Library[i];
    SCOPED_TRACE(C.Name);
    EXPECT_EQ(L.Foreign, "") << "only the EDataFile family may be raised";
    Raised += L.Raised;
    if (C.Verdict != TExpect::Unpredicted) {
      ++Predicted;
      EXPECT_EQ(LibraryValid(L), C.Verdict == TExpect::Valid);
    }
    if (!C.PredictMarks) continue;
    ASSERT_FALSE(L.Raised);
    ExpectPredictedMarks(C, L);
    if (C.ReasonField >= 0) ExpectPredictedReason(C, L);
    if (C.Verdict == TExpect::Valid) {
      EXPECT_EQ(L.J.DataBlockLine, "Datablock size = " + std::to_string(C.DataBlockBytes) + " bytes");
    }
  }
  std::printf("[ corpus   ] %zu cases checked (%d with a predicted verdict, %d refused with an EDataFile error)\n",
              R.Cases.size(), Predicted, Raised);
}

TEST_F(Corpus, CommandLineGivesTheLibrarysJudgementForEveryFile) {
  const TCorpusRun& R = *Run;
  ASSERT_TRUE(R.Cli.Finished);
  ASSERT_EQ(R.Cli.Status, QProcess::NormalExit) << "the checker crashed";
  bool AnyInvalid = false;
  for (const TLibraryOutcome& L : R.Library) AnyInvalid = AnyInvalid || !LibraryValid(L);
  EXPECT_EQ(R.Cli.ExitCode, AnyInvalid ? 1 : 0) << R.Cli.Errors.toStdString();
  EXPECT_EQ(U(R.Cli.Errors), "") << "every file is readable";
  EXPECT_EQ(R.Cli.Lines, static_cast<int>(R.Cases.size()));

  for (size_t i = 0; i < R.Cases.size(); ++i) {
    SCOPED_TRACE(R.Cases[i].Name);
    const auto Found = R.Cli.ByFile.find(R.Paths[i]);
    ASSERT_NE(Found, R.Cli.ByFile.end()) << "no line for the file";
    const QJsonObject& O = Found->second;
    const TLibraryOutcome& L = R.Library[i];
    EXPECT_EQ(O.value("valid").toBool(), LibraryValid(L));
    EXPECT_EQ(O.contains("error"), L.Raised);
    const QJsonArray General = O.value("general").toArray();
    ASSERT_EQ(General.size(), 10);
    for (int k = 0; k < 10; ++k) {
      const TFieldView& V = L.J.General[static_cast<size_t>(k)];
      EXPECT_EQ(U(General[k]["mark"].toString()), MarkName(V.Mark)) << V.Caption;
      EXPECT_EQ(U(General[k]["reason"].toString()), V.Reason) << V.Caption;
      EXPECT_EQ(General[k]["raw"].toString().toLatin1().toStdString(), V.Raw) << V.Caption;
    }
    const QJsonObject Remarks = O.value("remarks").toObject();
    EXPECT_EQ(U(Remarks["dataBlock"].toString()), L.J.DataBlockLine);
    EXPECT_EQ(U(Remarks["sampleRecDuration"].toString()), L.J.DurationRemark);
    EXPECT_EQ(U(Remarks["nrDataRecords"].toString()), L.J.SizeRemark);
    EXPECT_EQ(O.value("dataBlockTooLarge").toBool(), L.J.DataBlockTooLarge);
    if (L.Raised) continue;  // the signals are then as far as the judgement got
    const QJsonArray Signals = O.value("signals").toArray();
    ASSERT_EQ(Signals.size(), static_cast<qsizetype>(L.Signals.size()));
    for (size_t s = 0; s < L.Signals.size(); ++s) {
      const QJsonObject JS = Signals[static_cast<qsizetype>(s)].toObject();
      const QJsonArray Fields = JS["fields"].toArray();
      ASSERT_EQ(Fields.size(), 10);
      for (int f = 0; f < 10; ++f) {
        const TFieldView& V = L.Signals[s].Fields[static_cast<size_t>(f)];
        EXPECT_EQ(U(Fields[f]["mark"].toString()), MarkName(V.Mark)) << "signal " << s + 1 << " " << V.Caption;
        EXPECT_EQ(U(Fields[f]["reason"].toString()), V.Reason) << "signal " << s + 1 << " " << V.Caption;
        EXPECT_EQ(Fields[f]["raw"].toString().toLatin1().toStdString(), V.Raw)
            << "signal " << s + 1 << " " << V.Caption;
      }
      EXPECT_EQ(U(JS["calibrationRemark"].toString()), L.Signals[s].CalibrationRemark);
    }
  }
}

TEST_F(Corpus, WindowShowsTheLibrarysVerdictForEveryFile) {
  const TCorpusRun& R = *Run;
  for (size_t i = 0; i < R.Cases.size(); ++i) {
    SCOPED_TRACE(R.Cases[i].Name);
    const TWindowOutcome& W = R.Window[i];
    const TLibraryOutcome& L = R.Library[i];
    EXPECT_EQ(W.Escaped, "") << "an error escaped OpenFile";
    EXPECT_EQ(U(W.Verdict), L.Raised ? VerdictInvalidText : L.J.VerdictText);
    EXPECT_EQ(W.ToolsEnabled, LibraryValid(L));
    std::vector<std::string> Shown;
    for (const QString& M : W.Messages) Shown.push_back(U(M));
    const std::vector<std::string> Expected =
        L.Raised ? std::vector<std::string>{"Error while reading file data"} : std::vector<std::string>{};
    EXPECT_EQ(Shown, Expected);
    if (L.Raised) continue;  // the boxes then show what was filled before the error
    for (size_t k = 0; k < 10; ++k) {
      const TFieldView& V = L.J.General[k];
      EXPECT_EQ(W.General[k], BoxRgb(V.Mark)) << "general " << V.Caption;
      EXPECT_EQ(W.GeneralText[k], V.Shown) << "general " << V.Caption;
      EXPECT_EQ(W.GeneralTip[k], V.Reason) << "general " << V.Caption;
    }
    for (size_t f = 0; f < 10; ++f) {
      const QRgb Want = L.J.Signal.InRange ? BoxRgb(L.J.Signal.Fields[f].Mark) : ColorInactiveCaptionText().rgb();
      EXPECT_EQ(W.Signal[f], Want) << "signal box " << L.J.Signal.Fields[f].Caption;
    }
    EXPECT_EQ(U(W.DataBlock), L.J.DataBlockLine);
    EXPECT_EQ(W.DataBlockBackground,
              L.J.DataBlockTooLarge ? QColor(ErrorColour).rgb() : ColorBtnFace().rgb());
    EXPECT_EQ(U(W.Duration), L.J.DurationRemark);
    EXPECT_EQ(U(W.Size), L.J.SizeRemark);
  }
}

TEST_F(Corpus, CheckingLeavesEveryFileUnchanged) {
  const TCorpusRun& R = *Run;
  for (size_t i = 0; i < R.Cases.size(); ++i) {
    SCOPED_TRACE(R.Cases[i].Name);
    EXPECT_TRUE(R.SameBytes[i]) << "the bytes changed";
    EXPECT_TRUE(R.SameMTime[i]) << "the modification time changed";
  }
}

}  // namespace
