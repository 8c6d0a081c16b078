// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/main_window.h"

#include "calculation/reading_advice.h"
#include "window/advice_display.h"
#include "window/help.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>

#include <mutex>

namespace quemador {
namespace {

int pixels(int twips) { return twips / MainWindow::twips_per_pixel; }

QString from_utf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

QFont MainWindow::window_font()
{
    QFont font(QStringLiteral("DejaVu Sans Condensed"));
    font.setPixelSize(10);
    return font;
}

std::string_view MainWindow::caption(Input input)
{
    switch (input) {
    case Input::O2:
        return "% vol O2 ( Orsat )";
    case Input::CO2:
        return "% vol CO2 ( Orsat )";
    case Input::Temp_stack:
        return "Temperatura gas chimenea (ºF)";
    }
    Q_UNREACHABLE();
}

namespace {

// The window is announced to screen readers as a window, not as a plain container,
// and the rule between inputs and results as a separator, not as a nameless frame.
QAccessibleInterface* window_accessible(const QString& class_name, QObject* object)
{
    if (class_name == QLatin1String(MainWindow::staticMetaObject.className()) &&
        object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
    if (auto* frame = qobject_cast<QFrame*>(object); class_name == QLatin1String("QFrame") &&
        frame != nullptr && frame->frameShape() == QFrame::HLine)
        return new QAccessibleWidget(frame, QAccessible::Separator);
    return nullptr;
}

// A click on a label acts as a click on the button it names.
class ClickThrough : public QObject {
public:
    ClickThrough(QLabel* label, QAbstractButton* button) : QObject(label), button_(button)
    {
        label->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::MouseButtonRelease)
            return false;
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton ||
            !static_cast<QWidget*>(watched)->rect().contains(mouse->position().toPoint()))
            return false;
        button_->setFocus(Qt::MouseFocusReason);
        button_->click();
        return true;
    }

private:
    QAbstractButton* button_;
};

} // namespace

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
    static std::once_flag accessible_factory;
    std::call_once(accessible_factory, [] { QAccessible::installFactory(window_accessible); });

    setObjectName(QStringLiteral("Quemador1"));
    setWindowTitle(QStringLiteral("Calculador de eficiencia de calderas"));
    setFont(window_font());
    resize(pixels(4680), pixels(3195));

    // Created in tab order: the focus moves through the controls in this sequence.
    // Positions and sizes are in twips; there is no layout, so resizing moves nothing.
    // The option buttons are 210 twips high, not 195: one pixel more, so that the
    // style's 14-pixel round mark keeps its bottom row.
    Opcion_Gas_Natural = add<QRadioButton>("Opcion_Gas_Natural", "Option1", 360, 240, 255, 210);
    Opcion_Fuel_Oil = add<QRadioButton>("Opcion_Fuel_Oil", "Option2", 360, 600, 255, 210);
    O2 = add<QLineEdit>("O2", "0", 240, 1080, 495, 285);
    CO2 = add<QLineEdit>("CO2", "10", 240, 1440, 495, 285);
    auto* label1 =
        add<QLabel>("Label1", from_utf8(facts(Fuel::natural_gas).caption), 720, 240, 975, 255);
    auto* label2 =
        add<QLabel>("Label2", from_utf8(facts(Fuel::fuel_oil_no2).caption), 720, 600, 1215, 375);
    auto* label3 = add<QLabel>("Label3", from_utf8(caption(Input::O2)), 840, 1080, 2775, 255);
    auto* label4 = add<QLabel>("Label4", from_utf8(caption(Input::CO2)), 840, 1440, 1335, 255);
    Temp_stack = add<QLineEdit>("Temp_stack", "300", 240, 1800, 495, 285);
    auto* label5 =
        add<QLabel>("Label5", from_utf8(caption(Input::Temp_stack)), 960, 1800, 2655, 255);
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

    new ClickThrough(label1, Opcion_Gas_Natural);
    new ClickThrough(label2, Opcion_Fuel_Oil);

    // The advice panel sits right of the O2 and CO2 captions, below "Calcular".
    advice_ = new AdviceDisplay(this,
                                {{Input::O2, {O2}},
                                 {Input::CO2, {CO2}},
                                 {Input::Temp_stack, {Temp_stack}},
                                 {about_results, {Relacion_AF, Eficiencia}}},
                                Opcion_Gas_Natural, Calcular,
                                QRect(pixels(2250), pixels(690), pixels(2370), pixels(1050)));

    connect(Calcular, &QPushButton::clicked, this, &MainWindow::calcular_clicked);
    install_help(this);
}

void MainWindow::calcular_clicked()
{
    try {
        Calcular_Click(*this);
    } catch (const RuntimeError& error) {
        advice_->failed();
        report_error_(this, error);
        if (const auto culprit = error.input()) {
            box(*culprit)->setFocus(Qt::OtherFocusReason);
            box(*culprit)->selectAll();
        }
        return;
    }
    const Fuel fuel = Opcion_Fuel_Oil->isChecked() ? Fuel::fuel_oil_no2 : Fuel::natural_gas;
    advice_->calculated(calculation_advice(fuel, text(Input::O2), text(Input::CO2),
                                           text(Input::Temp_stack), state_));
}

QLineEdit* MainWindow::box(Input input) const
{
    switch (input) {
    case Input::O2:
        return O2;
    case Input::CO2:
        return CO2;
    case Input::Temp_stack:
        return Temp_stack;
    }
    Q_UNREACHABLE();
}

std::string MainWindow::text(Input box) const { return this->box(box)->text().toStdString(); }

void MainWindow::set_text(ResultBox box, std::string_view text)
{
    QLineEdit* edit = box == ResultBox::Relacion_AF ? Relacion_AF : Eficiencia;
    edit->setText(from_utf8(text));
    edit->setCursorPosition(0); // a long result shows its sign and leading digits
}

bool MainWindow::is_on(OptionButton option) const
{
    return (option == OptionButton::Opcion_Gas_Natural ? Opcion_Gas_Natural : Opcion_Fuel_Oil)
        ->isChecked();
}

} // namespace quemador
