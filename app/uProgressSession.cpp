#include "app/uProgressSession.h"

#include <QApplication>
#include <QProgressBar>

#include "app/uDialogs.h"
#include "app/uFormProgress.h"

TProgressSession::TProgressSession(const QString& Caption, const QString& CancelText)
    : FForm(std::make_unique<TFormProgress>()), FCancelText(CancelText) {
  FForm->setWindowTitle(Caption);
  // Every visible, enabled top-level window but the progress goes off; the
  // list says which to switch on again (one already off stays off).
  for (QWidget* Window : QApplication::topLevelWidgets()) {
    if (Window == FForm.get() || !Window->isVisible() || !Window->isEnabled()) continue;
    Window->setEnabled(false);
    FDisabled.emplace_back(Window);
  }
  FForm->show();
}

TProgressSession::~TProgressSession() { End(); }

bool TProgressSession::Step(TFormProgress& Window, int Percent) {
  Window.ProgressBar->setValue(Percent);
  QCoreApplication::processEvents();
  return !Window.Cancelled();
}

void TProgressSession::End() { End(FForm && FForm->Cancelled()); }

void TProgressSession::End(bool Cancelled) {
  const std::unique_ptr<TFormProgress> Form = std::move(FForm);
  if (!Form) return;
  for (const QPointer<QWidget>& Window : FDisabled)
    if (Window) Window->setEnabled(true);
  FDisabled.clear();
  Form->hide();
  if (Cancelled)
    Dialogs().ShowMessage(FCancelText, QStringLiteral("User cancelled operation"), TMsgIcon::Warning);
}
