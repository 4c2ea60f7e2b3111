// The progress window of a long check, with the rest of the application
// switched off so that only Cancel can be operated, and the same clean-up on
// every way out: windows on again, progress hidden, the cancel message only
// after a cancel, the window freed.
#pragma once

#include <memory>
#include <vector>

#include <QPointer>
#include <QString>
#include <QWidget>

class TFormProgress;

class TProgressSession {
public:
  // Shows the progress window with Caption; CancelText is the message shown
  // if the user cancels.
  TProgressSession(const QString& Caption, const QString& CancelText);
  ~TProgressSession();  // ends the session if End was not called
  TProgressSession(const TProgressSession&) = delete;
  TProgressSession& operator=(const TProgressSession&) = delete;

  TFormProgress& Window() { return *FForm; }
  // Shows Percent, lets the window events through (Cancel among them) and
  // says whether to go on.
  bool Step(int Percent) { return Step(*FForm, Percent); }
  static bool Step(TFormProgress& Window, int Percent);
  // The clean-up; later calls do nothing. The cancel message is shown when
  // Cancel was pressed, or, for a check that knows better (a press after its
  // last step changes nothing), when Cancelled says so.
  void End();
  void End(bool Cancelled);

private:
  std::unique_ptr<TFormProgress> FForm;
  std::vector<QPointer<QWidget>> FDisabled;
  QString FCancelText;
};
