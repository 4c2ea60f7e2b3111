// A file dropped on the main window is opened just as File / Open opens it:
// EDF or BDF, whatever its name, as its first byte says.
#include <optional>

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "app/uMain.h"

namespace {

// The one local file the drag carries; several files, folders and remote
// addresses are not taken, as the window checks one file at a time.
std::optional<QString> DroppedFile(const QMimeData* Data) {
  if (!Data || !Data->hasUrls()) return std::nullopt;
  const QList<QUrl> Urls = Data->urls();
  if (Urls.size() != 1 || !Urls.first().isLocalFile()) return std::nullopt;
  const QString FileName = Urls.first().toLocalFile();
  if (!QFileInfo(FileName).isFile()) return std::nullopt;
  return FileName;
}

}  // namespace

void TForm1::dragEnterEvent(QDragEnterEvent* Event) {
  if (DroppedFile(Event->mimeData()))
    Event->acceptProposedAction();
  else
    Event->ignore();
}

void TForm1::dropEvent(QDropEvent* Event) {
  const std::optional<QString> FileName = DroppedFile(Event->mimeData());
  if (!FileName) {
    Event->ignore();
    return;
  }
  Event->acceptProposedAction();
  OpenFile(*FileName);
}
