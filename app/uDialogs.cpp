#include "app/uDialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>

namespace {

QMessageBox::Icon ToQtIcon(TMsgIcon Icon) {
  switch (Icon) {
    case TMsgIcon::Error: return QMessageBox::Critical;
    case TMsgIcon::Warning: return QMessageBox::Warning;
    case TMsgIcon::Information: return QMessageBox::Information;
  }
  return QMessageBox::NoIcon;
}

class TRealDialogs final : public IDialogs {
public:
  void ShowMessage(const QString& Text, const QString& Caption, TMsgIcon Icon) override {
    // A text may break its lines with CR LF; the box wants plain line feeds.
    QString Shown = Text;
    Shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox Box(ToQtIcon(Icon), Caption, Shown, QMessageBox::Ok);
    Box.exec();
  }

  std::optional<QString> GetOpenFileName(QWidget* Parent) override {
    QFileDialog Dialog(Parent);
    Dialog.setAcceptMode(QFileDialog::AcceptOpen);
    Dialog.setFileMode(QFileDialog::ExistingFile);
    Dialog.setFilter(Dialog.filter() | QDir::Hidden);
    Dialog.setNameFilters(OpenFileFilters());
    Dialog.selectNameFilter(OpenFileFilters().first());
    if (Dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList Files = Dialog.selectedFiles();
    if (Files.isEmpty()) return std::nullopt;
    return Files.first();
  }

  std::optional<QString> GetSaveFileName(QWidget* Parent, const QString& Caption,
                                         const QString& Suggested) override {
    QFileDialog Dialog(Parent, Caption);
    Dialog.setAcceptMode(QFileDialog::AcceptSave);
    Dialog.setFileMode(QFileDialog::AnyFile);
    Dialog.selectFile(Suggested);
    if (Dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList Files = Dialog.selectedFiles();
    if (Files.isEmpty()) return std::nullopt;
    return Files.first();
  }

  int ExecModal(QDialog& Dialog) override { return Dialog.exec(); }

  bool OpenUrl(const QUrl& Url) override { return QDesktopServices::openUrl(Url); }
};

TRealDialogs RealDialogs;
IDialogs* Current = &RealDialogs;

}  // namespace

QStringList OpenFileFilters() {
  return {QStringLiteral("All files (*)"), QStringLiteral("EDF and BDF files (*.edf *.bdf)")};
}

IDialogs& Dialogs() { return *Current; }

IDialogs* SetDialogsForTesting(IDialogs* Replacement) {
  IDialogs* Previous = Current;
  Current = Replacement ? Replacement : &RealDialogs;
  return Previous;
}
