// What the program's windows share: the design font and the placement of a
// window centred on its owner.
#pragma once

#include <QFont>

class QWidget;

// "MS Sans Serif", 13 pixels high, falling back to the platform's sans serif.
QFont DesignFont();

// Places Window centred on Owner, or, without owner, on the application's
// visible main window (or the primary screen when there is none).
void CentreOnOwner(QWidget& Window, const QWidget* Owner);
