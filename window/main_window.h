// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The calculator window. The user types the readings and picks the fuel; a click of
// "Calcular" hands the window to Calcular_Click, which reads the boxes, runs the
// efficiency model on this window's state and writes the two results back. A
// run-time error goes to the error reporter given at construction, and the focus
// then goes to the box that caused it. Advice on each calculation, and results that
// no longer match the inputs, are shown by an AdviceDisplay.

#include "calculation/calculate_command.h"
#include "runtime/runtime_error.h"

#include <QWidget>

#include <functional>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace quemador {

class AdviceDisplay;

class MainWindow : public QWidget, public CalculatorWindow {
    Q_OBJECT

public:
    using ErrorReporter = std::function<void(QWidget* window, const RuntimeError& error)>;

    static constexpr int twips_per_pixel = 15;

    explicit MainWindow(ErrorReporter report_error, QWidget* parent = nullptr);

    // A fixed font, so that the layout does not depend on the desktop's font settings.
    // At this size the widest caption, "% vol CO2 ( Orsat )", fits its label.
    static QFont window_font();

    // The caption of an input box, as its label shows it.
    static std::string_view caption(Input input);

    [[nodiscard]] std::string text(Input box) const override;
    void set_text(ResultBox box, std::string_view text) override;
    [[nodiscard]] bool is_on(OptionButton option) const override;
    [[nodiscard]] WindowState& state() override { return state_; }

private:
    void calcular_clicked();
    [[nodiscard]] QLineEdit* box(Input input) const;

    template <typename Control>
    Control* add(const char* name, const QString& text, int left, int top, int width, int height);

    ErrorReporter report_error_;
    WindowState state_;

    QRadioButton* Opcion_Gas_Natural;
    QRadioButton* Opcion_Fuel_Oil;
    QLineEdit* O2;
    QLineEdit* CO2;
    QLineEdit* Temp_stack;
    QPushButton* Calcular;
    QLineEdit* Relacion_AF;
    QLineEdit* Eficiencia;

    AdviceDisplay* advice_;
};

} // namespace quemador
