// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The calculator's help, in Spanish: a tooltip, a What's This paragraph and an
// accessible description with its unit on each control, and the help window that F1
// opens (how to use it, what the numbers mean, name, version and licence). The What's
// This popup reaches screen readers as a tooltip named with its text.

#include <QDialog>
#include <QSize>
#include <QString>

class QTextEdit;
class QWidget;

namespace quemador {

// Sets the help texts that the window's form gives on its controls, found by their
// object names, and on their labels, and binds F1 to the help window and Shift+F1 to
// the focused control's What's This.
// Each input and result also keeps its accessible description in the dynamic
// property "baseDescription", and its tooltip in "baseToolTip", for messages that
// add to them.
void install_help(QWidget* window);

// The help window: one read-only page of text (resources/help/ayuda.html, from the
// program's resources), which has the focus when it opens, and a close button; Escape
// closes it. It opens at a readable size, or smaller where the
// screen has not the room, and the page scrolls inside.
class HelpWindow : public QDialog {
    Q_OBJECT

public:
    static constexpr QSize readable_size{560, 600};

    explicit HelpWindow(QWidget* parent = nullptr);

    // The window's size on a screen whose available area is `available`: the readable
    // size, cut to 90 % of that area in each direction, so that the whole window with
    // its frame and its buttons is on the screen.
    static QSize fitted_size(QSize available);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QTextEdit* page_;
};

} // namespace quemador
