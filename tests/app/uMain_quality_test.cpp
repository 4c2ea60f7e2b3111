// Tools / Check signal quality in the window: the map drawn offscreen for a
// file with planted runs (the colour of known cells, their tool tips), the
// results list and its double-click, the picture saved through the dialog
// seam, and the progress window's Cancel.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolTip>

#include "DialogRecorder.h"
#include "WindowProbe.h"
#include "app/uFormProgress.h"
#include "app/uFormQuality.h"
#include "app/uMain.h"
#include "app/uQualityMap.h"
#include "report/QualityStates.h"
#include "testkit/PlantedRuns.h"

namespace {

using testkit::EdfBytes;

// Presses Cancel at the first block of records read.
class TCancellingForm : public TForm1 {
public:
  using TForm1::TForm1;
  bool Cancel = false;

protected:
  bool QualityBlockRead(TFormProgress& Progress, int Percent) override {
    if (Cancel) Progress.RzButton1->click();
    return TForm1::QualityBlockRead(Progress, Percent);
  }
};

// Three signals of 200 samples in 180 records of 1 s: six epochs of 30 s.
// Signal 1 is flat through epoch 2 and out of its digital range in epoch 5,
// signal 2 clipped in epoch 1, signal 3 a percentage (not judged).
EdfBytes Planted() {
  EdfBytes E = testkit::With(EdfBytes::Valid(3, 200, 180), [](EdfBytes& F) { F.Signals[2][2].assign(1, '%'); });
  E.Sample = testkit::PlantedSamples(E, {{0, 6000, 12000, 9}, {1, 100, 103, 2047}, {0, 26000, 26001, 3000}});
  return E;
}

class UMainQuality : public ::testing::Test {
protected:
  void SetUp() override { ShowAndSettle(Form); }
  QString Open(const EdfBytes& E) {
    const QString Path = WriteEdf(Folder, "q.edf", E);
    Form.OpenFile(Path);
    return Path;
  }
  void Run() { Form.findChild<QAction*>(QStringLiteral("Checksignalquality1"))->trigger(); }

  testkit::TempDir Folder;
  TDialogRecorder Recorder;
  TCancellingForm Form{QStringList()};
};

// What the results window shows of Planted(), opened from Path.
void ExpectPlantedResults(TFormQuality& Results, TForm1& Form, TDialogRecorder& Recorder, const QString& Path,
                          const testkit::TempDir& Folder) {
  EXPECT_EQ(Results.windowTitle(), QStringLiteral("Results of signal quality check"));
  Results.show();
  QApplication::processEvents();
  TQualityMap& Map = *Results.QualityMap1;

  // Each cell in its state's colour from the shared table.
  const QImage Picture = Map.Image();
  const struct {
    int Signal;
    int64_t Epoch;
    char State;
  } Cells[] = {{0, 0, '.'}, {0, 1, 'f'}, {0, 2, '.'}, {0, 4, 'r'}, {1, 0, 'c'}, {1, 5, '.'}, {2, 3, '-'}};
  for (const auto& C : Cells) {
    const QRect Cell = Map.CellRect(C.Signal, C.Epoch);
    ASSERT_FALSE(Cell.isEmpty());
    EXPECT_EQ(QColor(Picture.pixel(Cell.center())), QColor(QString::fromLatin1(FindQualityState(C.State)->Colour)))
        << C.Signal << " " << C.Epoch << " " << C.State;
  }

  // The tool tip of the flat cell, as the map's own tool-tip event shows it.
  const QPoint Flat = Map.CellRect(0, 1).center();
  QHelpEvent Help(QEvent::ToolTip, Flat, Map.mapToGlobal(Flat));
  QApplication::sendEvent(&Map, &Help);
  const QStringList Tip = QToolTip::text().split(QLatin1Char('\n'));
  EXPECT_EQ(Tip.value(0), QStringLiteral("signal 1 (Signal 1), epoch 2 from 04:05:36 (30 s): flat"));
  // Header 4 * 256 bytes, records of 1200: sample 6000 opens record 31.
  EXPECT_TRUE(Tip.value(1).startsWith(
      QStringLiteral("warning [quality.flat] data record 31, signal 1 (Signal 1), byte 37024: flat at 9 ")))
      << Tip.join('\n').toStdString();

  // The list: heading, findings, summaries; a double-click on the clipped
  // run shows signal 2's header.
  QListWidget& List = *Results.FindingList1;
  ASSERT_GE(List.count(), 1);
  EXPECT_EQ(List.item(0)->text(), QStringLiteral("Signal quality of 180 data records, epochs of 30 s:"));
  const QList<QListWidgetItem*> Clipped = List.findItems(QStringLiteral("[quality.clipped]"), Qt::MatchContains);
  ASSERT_EQ(Clipped.size(), 1);
  emit List.itemDoubleClicked(Clipped[0]);
  EXPECT_EQ(Form.SignalIndex(), 1);
  EXPECT_EQ(FindBox(Form, 1)->text(), QStringLiteral("Signal 2"));
  EXPECT_EQ(List.findItems(QStringLiteral("signal 2 (Signal 2): usable 83 % of 6 epochs; flat 0 s; clipped 3 "),
                           Qt::MatchStartsWith)
                .size(),
            1);

  // File / Save image... writes the map; the open file is refused as a target.
  const QString Png = QString::fromStdString(Folder.File("map.png"));
  Recorder.SaveAnswers = {Png, Path};
  Results.Saveimage1->trigger();
  Results.Saveimage1->trigger();
  EXPECT_EQ(Recorder.SaveSuggestions.value(0), QString::fromStdString(Folder.File("q-quality.png")));
  EXPECT_EQ(QImage(Png).size(), Map.size());
  ASSERT_EQ(Recorder.Messages.size(), 1u);
  EXPECT_EQ(Recorder.Messages[0].Text,
            QStringLiteral("The image must not replace the open file: it is never written."));
  Results.hide();
}

TEST_F(UMainQuality, MapListAndPictureShowThePlantedRuns) {
  const QString Path = Open(Planted());
  const std::string Edf = testkit::ReadFileBytes(Path.toStdString());
  int Shown = 0;
  Recorder.OnExecModal = [&](QDialog& Dialog) {
    ++Shown;
    auto* Results = qobject_cast<TFormQuality*>(&Dialog);
    EXPECT_NE(Results, nullptr);
    if (Results) ExpectPlantedResults(*Results, Form, Recorder, Path, Folder);
    return 0;
  };
  Run();
  EXPECT_EQ(Shown, 1);
  EXPECT_TRUE(testkit::ReadFileBytes(Path.toStdString()) == Edf) << "the open file was changed";
}

TEST_F(UMainQuality, CancelStopsThePassWithOneMessageAndNoResults) {
  // Enough records for several blocks of reading.
  Open(EdfBytes::Valid(4, 500, 2000));
  Form.Cancel = true;
  int Results = 0;
  Recorder.OnExecModal = [&](QDialog&) { return ++Results, 0; };
  Run();
  EXPECT_EQ(Results, 0);
  ASSERT_EQ(Recorder.Messages.size(), 1u);
  EXPECT_EQ(Recorder.Messages[0].Text, QStringLiteral("The signal quality check\r\nhas been aborted by the user"));
  EXPECT_TRUE(Form.isEnabled());
}

}  // namespace
