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
#include <QTextEdit>

#include <map>
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

namespace {

// Creates one control of the form on the window, in its place.
QWidget* make_control(const form::Control& row, QWidget* window)
{
    const QString text = from_utf8(row.text);
    QWidget* control = nullptr;
    switch (row.kind) {
    case form::Kind::option_button:
        control = new QRadioButton(text, window);
        break;
    case form::Kind::text_box:
        control = new QLineEdit(text, window);
        break;
    case form::Kind::command_button: {
        auto* button = new QPushButton(text, window);
        // No default button: Enter does not calculate; Space on the focused button does.
        button->setAutoDefault(false);
        control = button;
        break;
    }
    case form::Kind::label:
        control = new QLabel(text, window);
        static_cast<QLabel*>(control)->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        break;
    case form::Kind::line: {
        auto* line = new QFrame(window);
        line->setFrameStyle(QFrame::HLine | QFrame::Plain);
        control = line;
        break;
    }
    case form::Kind::advice_panel:
        control = new QTextEdit(window);
        control->setAccessibleName(from_utf8(row.name));
        break;
    case form::Kind::announcement:
        control = new QWidget(window);
        break;
    }
    control->setObjectName(from_utf8(row.name));
    const form::Twips& at = row.twips;
    if (row.kind == form::Kind::line) // one pixel high, both ends drawn
        control->setGeometry(pixels(at.left), pixels(at.top), pixels(at.width) + 1, 1);
    else
        control->setGeometry(pixels(at.left), pixels(at.top), pixels(at.width), pixels(at.height));
    if (!row.tab_stop)
        control->setFocusPolicy(Qt::NoFocus);
    return control;
}

} // namespace

MainWindow::MainWindow(ErrorReporter report_error, QWidget* parent)
    : QWidget(parent), report_error_(std::move(report_error))
{
    static std::once_flag accessible_factory;
    std::call_once(accessible_factory, [] { QAccessible::installFactory(window_accessible); });

    const form::Window& form = form::window();
    setObjectName(from_utf8(form.name));
    setWindowTitle(from_utf8(form.caption));
    setFont(window_font());
    resize(pixels(form.width), pixels(form.height));

    // Created in tab order: the focus moves through the controls in this sequence.
    // There is no layout, so resizing moves nothing.
    std::map<form::Kind, QWidget*> first_of_kind;
    for (const form::Control& row : form::controls()) {
        QWidget* control = make_control(row, this);
        first_of_kind.try_emplace(row.kind, control);
        if (row.part != form::Part::none && row.kind != form::Kind::label)
            parts_[row.part] = control;
    }
    for (const form::Control& row : form::controls()) {
        // The two option buttons share this parent and so form one exclusive group.
        if (row.on)
            button(row.part)->setChecked(true);
        if (row.kind != form::Kind::label || row.unit)
            continue;
        // What a screen reader announces is what a sighted user reads beside each
        // control; a click on a fuel's name chooses it.
        QWidget* named = part(row.part);
        named->setAccessibleName(from_utf8(row.text));
        if (auto* option = qobject_cast<QRadioButton*>(named))
            new ClickThrough(findChild<QLabel*>(from_utf8(row.name)), option);
    }

    const auto reading = [this](Input input) {
        const form::Control& row = form::control(form::part(input));
        return AdviceDisplay::Subject{from_utf8(form::brief_name(row)), {box(row.part)}};
    };
    advice_ = new AdviceDisplay(this,
                                {{Input::O2, reading(Input::O2)},
                                 {Input::CO2, reading(Input::CO2)},
                                 {Input::Temp_stack, reading(Input::Temp_stack)},
                                 {about_results,
                                  {AdviceDisplay::results_heading(),
                                   {box(form::Part::excess_air), box(form::Part::efficiency)}}}},
                                button(form::Part::gas_option), part(form::Part::calculate),
                                static_cast<QTextEdit*>(first_of_kind.at(form::Kind::advice_panel)),
                                first_of_kind.at(form::Kind::announcement));

    connect(button(form::Part::calculate), &QAbstractButton::clicked, this,
            &MainWindow::calcular_clicked);
    install_help(this);
}

void MainWindow::calcular_clicked()
{
    ClickReadings readings;
    try {
        readings = Calcular_Click(*this);
    } catch (const RuntimeError& error) {
        advice_->failed();
        report_error_(this, error);
        if (const auto culprit = error.input()) {
            QLineEdit* culprit_box = box(form::part(*culprit));
            culprit_box->setFocus(Qt::OtherFocusReason);
            culprit_box->selectAll();
        }
        return;
    }
    advice_->calculated(calculation_advice(readings, state_));
}

QLineEdit* MainWindow::box(form::Part part) const
{
    return static_cast<QLineEdit*>(this->part(part));
}

QAbstractButton* MainWindow::button(form::Part part) const
{
    return static_cast<QAbstractButton*>(this->part(part));
}

std::string MainWindow::text(Input box) const
{
    return this->box(form::part(box))->text().toStdString();
}

void MainWindow::set_text(ResultBox box, std::string_view text)
{
    QLineEdit* edit =
        this->box(box == ResultBox::Relacion_AF ? form::Part::excess_air : form::Part::efficiency);
    edit->setText(from_utf8(text));
    edit->setCursorPosition(0); // a long result shows its sign and leading digits
}

bool MainWindow::is_on(OptionButton option) const
{
    return button(option == OptionButton::Opcion_Gas_Natural ? form::Part::gas_option
                                                             : form::Part::fuel_oil_option)
        ->isChecked();
}

} // namespace quemador
