// A stand-in for the dialog seam: records what the program would have shown
// and answers from what the test prepared, so that nothing waits for a person.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include <QString>
#include <QStringList>
#include <QUrl>

#include "app/uDialogs.h"

struct TShownMessage {
  QString Text;
  QString Caption;
  TMsgIcon Icon;
};

class TDialogRecorder : public IDialogs {
public:
  enum TMode { Record, FailOnUse };

  // Takes over the seam until destroyed, then gives it back.
  explicit TDialogRecorder(TMode Mode = Record);
  ~TDialogRecorder() override;
  TDialogRecorder(const TDialogRecorder&) = delete;
  TDialogRecorder& operator=(const TDialogRecorder&) = delete;

  void ShowMessage(const QString& Text, const QString& Caption, TMsgIcon Icon) override;
  std::optional<QString> GetOpenFileName(QWidget* Parent) override;
  std::optional<QString> GetSaveFileName(QWidget* Parent, const QString& Caption,
                                         const QString& Suggested) override;
  int ExecModal(QDialog& Dialog) override;
  bool OpenUrl(const QUrl& Url) override;

  std::vector<TShownMessage> Messages;
  // The answers of the file-open dialog, one per call; running out fails.
  std::deque<std::optional<QString>> OpenAnswers;
  int OpenCalls = 0;
  // The answers of the file-save dialog, one per call; running out fails.
  // The names it was started at, one per call.
  std::deque<std::optional<QString>> SaveAnswers;
  QStringList SaveSuggestions;
  // Stands in for the modal loop; without it a modal window fails the test.
  std::function<int(QDialog&)> OnExecModal;
  std::vector<QUrl> OpenedUrls;
  bool OpenUrlSucceeds = true;

private:
  TMode FMode;
  IDialogs* FPrevious;
};
