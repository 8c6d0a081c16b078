#include "window/main_window.h"

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace quemador {
namespace {

int pixels(int twips) { return twips / MainWindow::twips_per_pixel; }

} // namespace

QFont MainWindow::window_font()
{
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setPixelSize(10);
    return font;
}

template <typename Control>
Control* MainWindow::add(const char* name, const QString& text, int left, int top, int width,
                         int height)
{
    auto* control = new Control(text, this);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(pixels(left), pixels(top), pixels(width), pixels(height));
    return control;
}

MainWindow::MainWindow(ErrorReporter report_error, QWidget* parent)
    : QWidget(parent), report_error_(std::move(report_error))
{
    setObjectName(QStringLiteral("Quemador1"));
    setWindowTitle(QStringLiteral("Calculador de eficiencia de calderas"));
    setFont(window_font());
    resize(pixels(4680), pixels(3195));

    // Created in tab order: the focus moves through the controls in this sequence.
    // Positions and sizes are in twips; there is no layout, so resizing moves nothing.
    Opcion_Gas_Natural = add<QRadioButton>("Opcion_Gas_Natural", "Option1", 360, 240, 255, 195);
    Opcion_Fuel_Oil = add<QRadioButton>("Opcion_Fuel_Oil", "Option2", 360, 600, 255, 195);
    O2 = add<QLineEdit>("O2", "0", 240, 1080, 495, 285);
    CO2 = add<QLineEdit>("CO2", "10", 240, 1440, 495, 285);
    auto* label1 = add<QLabel>("Label1", "Gas Natural", 720, 240, 975, 255);
    auto* label2 = add<QLabel>("Label2", "Fuel Oil Nº 2", 720, 600, 1215, 375);
    auto* label3 = add<QLabel>("Label3", "% vol O2 ( Orsat )", 840, 1080, 2775, 255);
    auto* label4 = add<QLabel>("Label4", "% vol CO2 ( Orsat )", 840, 1440, 1335, 255);
    Temp_stack = add<QLineEdit>("Temp_stack", "300", 240, 1800, 495, 285);
    auto* label5 = add<QLabel>("Label5", "Temperatura gas chimenea (ºF)", 960, 1800, 2655, 255);
    Calcular = add<QPushButton>("Calcular", "Calcular", 3360, 120, 975, 495);
    auto* label6 = add<QLabel>("Label6", "Exceso aire", 240, 2280, 1335, 255);
    auto* label7 = add<QLabel>("Label7", "Eficiencia", 240, 2640, 1575, 255);
    Relacion_AF = add<QLineEdit>("Relacion_AF", " ", 2280, 2280, 975, 285);
    Eficiencia = add<QLineEdit>("Eficiencia", "", 2280, 2640, 975, 285);
    add<QLabel>("Label8", "%", 3360, 2640, 615, 255);

    // The rule between inputs and results, from (0, 2160) to (4560, 2160).
    auto* line = new QFrame(this);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameStyle(QFrame::HLine | QFrame::Plain);
    line->setGeometry(0, pixels(2160), pixels(4560) + 1, 1);

    for (auto* label : findChildren<QLabel*>())
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The two option buttons share this parent and so form one exclusive group.
    Opcion_Gas_Natural->setChecked(true);

    // No default button: Enter does not calculate; Space on the focused button does.
    Calcular->setAutoDefault(false);

    // What a screen reader announces is what a sighted user reads beside each control.
    const auto name_after = [](QWidget* control, const QLabel* label) {
        control->setAccessibleName(label->text());
    };
    name_after(Opcion_Gas_Natural, label1);
    name_after(Opcion_Fuel_Oil, label2);
    name_after(O2, label3);
    name_after(CO2, label4);
    name_after(Temp_stack, label5);
    name_after(Relacion_AF, label6);
    name_after(Eficiencia, label7);

    connect(Calcular, &QPushButton::clicked, this, &MainWindow::calcular_clicked);
}

void MainWindow::calcular_clicked()
{
    try {
        Calcular_Click(*this);
    } catch (const RuntimeError& error) {
        report_error_(this, error);
    }
}

QLineEdit* MainWindow::box(TextBox box) const
{
    switch (box) {
    case TextBox::O2:
        return O2;
    case TextBox::CO2:
        return CO2;
    case TextBox::Temp_stack:
        return Temp_stack;
    case TextBox::Relacion_AF:
        return Relacion_AF;
    case TextBox::Eficiencia:
        return Eficiencia;
    }
    Q_UNREACHABLE();
}

std::string MainWindow::text(TextBox box) const { return this->box(box)->text().toStdString(); }

void MainWindow::set_text(TextBox box, std::string_view text)
{
    this->box(box)->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

bool MainWindow::is_on(OptionButton option) const
{
    return (option == OptionButton::Opcion_Gas_Natural ? Opcion_Gas_Natural : Opcion_Fuel_Oil)
        ->isChecked();
}

} // namespace quemador
