// SPDX-License-Identifier: GPL-3.0-or-later
// The second baseline for start-up time and memory: a bare Qt program with the
// calculator's sixteen controls and its rule (same classes, texts and geometry in
// pixels) and nothing else: no font, icon, translations or wiring.

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

namespace {

template <typename Control>
void add(QWidget* window, const char* text, int left, int top, int width, int height)
{
    (new Control(QString::fromUtf8(text), window))->setGeometry(left, top, width, height);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Controles sin más"));
    window.resize(312, 213);
    add<QRadioButton>(&window, "Option1", 24, 16, 17, 14);
    add<QRadioButton>(&window, "Option2", 24, 40, 17, 14);
    add<QLineEdit>(&window, "0", 16, 72, 33, 19);
    add<QLineEdit>(&window, "10", 16, 96, 33, 19);
    add<QLabel>(&window, "Gas Natural", 48, 16, 65, 17);
    add<QLabel>(&window, "Fuel Oil Nº 2", 48, 40, 81, 25);
    add<QLabel>(&window, "% vol O2 ( Orsat )", 56, 72, 185, 17);
    add<QLabel>(&window, "% vol CO2 ( Orsat )", 56, 96, 89, 17);
    add<QLineEdit>(&window, "300", 16, 120, 33, 19);
    add<QLabel>(&window, "Temperatura gas chimenea (ºF)", 64, 120, 177, 17);
    add<QPushButton>(&window, "Calcular", 224, 8, 65, 33);
    add<QLabel>(&window, "Exceso aire", 16, 152, 89, 17);
    add<QLabel>(&window, "Eficiencia", 16, 176, 105, 17);
    add<QLineEdit>(&window, " ", 152, 152, 65, 19);
    add<QLineEdit>(&window, "", 152, 176, 65, 19);
    add<QLabel>(&window, "%", 224, 176, 41, 17);
    auto* line = new QFrame(&window);
    line->setFrameStyle(QFrame::HLine | QFrame::Plain);
    line->setGeometry(0, 144, 305, 1);
    window.show();
    return QApplication::exec();
}
