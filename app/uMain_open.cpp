// Opening a file, from the creation of the file object on: the judgement of
// its headers comes whole from the check; the window only shows it.
#include <memory>

#include <QFile>

#include "app/uDialogs.h"
#include "app/uFileName.h"
#include "app/uMain.h"
#include "app/uQtText.h"
#include "check/HeaderJudgement.h"
#include "edf/uEDF.h"

void TForm1::OpenFileContinue(const QString& FileName) {
  // Stored at once, so that a failed open keeps its object until the next one.
  FEdfFile = std::make_unique<TEDFFile>();
  THeaderJudgement Judgement;
  try {
    FEdfFile->SetFileName(EncodeFileName(FileName).toStdString());
    JudgeOpenFile(*FEdfFile, Judgement);
  } catch (...) {
    // Whatever was judged before the error stays on show.
    ShowJudgement(Judgement);
    Dialogs().ShowMessage(QString::fromLatin1(ReadErrorText),
                          QStringLiteral("File open error"), TMsgIcon::Error);
    RzLabel21->setText(QString::fromLatin1(VerdictText(Judgement.Format, false)));
    RzLabel21->SetBlinking(true);
    return;
  }
  ShowJudgement(Judgement);
  RzLabel21->setText(Latin1Text(Judgement.VerdictText));
  RzLabel21->SetBlinking(!Judgement.Verdict);
  SetToolsEnabled(Judgement.Verdict);
  setWindowTitle(QStringLiteral("Vellicor - ") + DecodeFileName(QByteArray::fromStdString(FEdfFile->FileName())));
}

void TForm1::ShowJudgement(const THeaderJudgement& Judgement) {
  ShowFileHeader(Judgement.General);
  ShowSignalView(Judgement.Signal);

  RzLabel22->setText(Latin1Text(Judgement.DataBlockLine));
  SetLabelBackground(RzLabel22,
                     Judgement.DataBlockTooLarge ? QColor(ErrorColour) : ColorBtnFace());
  RzLabel23->setText(Latin1Text(Judgement.DurationRemark));
  RzLabel24->setText(Latin1Text(Judgement.SizeRemark));
}
