#include "DialogRecorder.h"

#include <gtest/gtest.h>

#include <QDialog>

TDialogRecorder::TDialogRecorder(TMode Mode) : FMode(Mode), FPrevious(SetDialogsForTesting(this)) {}

TDialogRecorder::~TDialogRecorder() { SetDialogsForTesting(FPrevious); }

void TDialogRecorder::ShowMessage(const QString& Text, const QString& Caption, TMsgIcon Icon) {
  if (FMode == FailOnUse) ADD_FAILURE() << "unexpected message box: " << Text.toStdString();
  Messages.push_back({Text, Caption, Icon});
}

std::optional<QString> TDialogRecorder::GetOpenFileName(QWidget*) {
  ++OpenCalls;
  if (FMode == FailOnUse || OpenAnswers.empty()) {
    ADD_FAILURE() << "unexpected file-open dialog";
    return std::nullopt;
  }
  // Copied out by value: GCC 12 at -O2 warns falsely about a copied optional<QString>.
  const bool HasAnswer = OpenAnswers.front().has_value();
  const QString Answer = OpenAnswers.front().value_or(QString());
  OpenAnswers.pop_front();
  if (!HasAnswer) return std::nullopt;
  return Answer;
}

std::optional<QString> TDialogRecorder::GetSaveFileName(QWidget*, const QString&, const QString& Suggested) {
  SaveSuggestions << Suggested;
  if (FMode == FailOnUse || SaveAnswers.empty()) {
    ADD_FAILURE() << "unexpected file-save dialog";
    return std::nullopt;
  }
  const bool HasAnswer = SaveAnswers.front().has_value();
  const QString Answer = SaveAnswers.front().value_or(QString());
  SaveAnswers.pop_front();
  if (!HasAnswer) return std::nullopt;
  return Answer;
}

int TDialogRecorder::ExecModal(QDialog& Dialog) {
  if (FMode == FailOnUse || !OnExecModal) {
    ADD_FAILURE() << "unexpected modal window " << Dialog.objectName().toStdString();
    return QDialog::Rejected;
  }
  return OnExecModal(Dialog);
}

bool TDialogRecorder::OpenUrl(const QUrl& Url) {
  if (FMode == FailOnUse) ADD_FAILURE() << "unexpected link opened: " << Url.toString().toStdString();
  OpenedUrls.push_back(Url);
  return OpenUrlSucceeds;
}
