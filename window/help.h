#pragma once

// The calculator's help, in Spanish: a tooltip, a What's This paragraph and an
// accessible description with its unit on each control, and the help window that F1
// opens (how to use it, what the numbers mean, name, version and licence).

#include <QDialog>
#include <QString>

class QWidget;

namespace quemador {

// Sets the help texts on the window's controls, found by their object names, and
// binds F1 to the help window and Shift+F1 to the focused control's What's This.
// Each input and result also keeps its accessible description in the dynamic
// property "baseDescription", and its tooltip in "baseToolTip", for messages that
// add to them.
void install_help(QWidget* window);

// The help window: one read-only page of text and a close button; Escape closes it.
class HelpWindow : public QDialog {
    Q_OBJECT

public:
    explicit HelpWindow(QWidget* parent = nullptr);
};

} // namespace quemador
