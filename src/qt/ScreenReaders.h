#pragma once

#include <QString>

class QWidget;

// What screen readers need beyond the controls' own texts.
namespace meridial::screen_readers {

// Announces a plain top-level widget as a window, as the main window and the dialogs are
// announced; Qt gives such a widget the role of a client area.
void AnnounceAsWindow(QWidget* window);

// Names a control through a label no one sees. Qt on Linux announces a list, and a label, by
// its value and reaches its name through the label that has it as buddy; a control under a
// column head, or a status panel, has no such label of its own.
void NameThroughLabel(QWidget* control, const QString& name);

// Every list under root with an accessible name but no label of its own gets one.
void NameUnlabelledLists(QWidget* root);

}  // namespace meridial::screen_readers
