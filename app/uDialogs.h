// The one seam through which the program hands control to the user or the
// desktop: modal message boxes, the file-open dialog, modal windows and the
// shell's "open" of a link. Tests swap it for a recorder so that nothing waits
// for a person.
#pragma once

#include <optional>

#include <QString>
#include <QStringList>

class QDialog;
class QUrl;
class QWidget;

enum class TMsgIcon { Error, Warning /* exclamation */, Information };

class IDialogs {
public:
  virtual ~IDialogs() = default;

  // A modal message box without owner window and with one OK button.
  virtual void ShowMessage(const QString& Text, const QString& Caption, TMsgIcon Icon) = 0;

  // The file-open dialog: an existing file, hidden files shown, no title of
  // its own; the filters OpenFileFilters(), all files first and chosen.
  // Empty when the user cancels.
  virtual std::optional<QString> GetOpenFileName(QWidget* Parent) = 0;

  // The file-save dialog for a new file, titled Caption and starting at
  // Suggested; it asks before an existing file is replaced. Empty when the
  // user cancels, and in stand-ins that do not answer it.
  virtual std::optional<QString> GetSaveFileName(QWidget* /*Parent*/, const QString& /*Caption*/,
                                                 const QString& /*Suggested*/) {
    return std::nullopt;
  }

  // Shows Dialog modally and gives its result code.
  virtual int ExecModal(QDialog& Dialog) = 0;

  // Hands Url to the desktop's handler; false when that failed.
  virtual bool OpenUrl(const QUrl& Url) = 0;
};

// The open dialog's name filters: "All files (*)" (the default: the format
// is the file's first byte, not its name) and "EDF and BDF files (*.edf
// *.bdf)", which Qt matches in any letter case.
QStringList OpenFileFilters();

// The implementation in force: the real one unless a test replaced it.
IDialogs& Dialogs();

// Replaces the implementation (nullptr restores the real one) and gives back
// the one that was in force, so that a test can put it back.
IDialogs* SetDialogsForTesting(IDialogs* Replacement);
