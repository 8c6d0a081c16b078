// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Start-up of the application and the error report the user sees.

#include "runtime/runtime_error.h"

class QApplication;
class QIcon;
class QWidget;

namespace quemador {

// Answers --help and --version, or creates the application, shows the calculator
// window and runs the event loop until the window is closed. Returns the process's
// exit status (2 for an argument it does not know); without a display it says so and
// ends the process with status 1.
int run_application(int& argc, char** argv);

// The application's icon, from the images built into the executable: every size, each
// decoded when first asked for. The window system is offered the sizes up to 64.
QIcon application_icon();

// Loads Qt's Spanish translations, so that standard buttons read "Aceptar".
void install_spanish_translations(QApplication& app);

// Shows a run-time error in a modal message box titled with the window's caption.
// The application goes on once the user has closed it.
void show_error_report(QWidget* window, const RuntimeError& error);

} // namespace quemador
