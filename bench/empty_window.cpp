// SPDX-License-Identifier: GPL-3.0-or-later
// The baseline for start-up time and memory: an empty Qt window of the calculator's size.

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Ventana vacía"));
    window.resize(312, 213);
    window.show();
    return QApplication::exec();
}
