// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The calculator window, built from its form (window/form.h). The user types the
// readings and picks the fuel; a click of "Calcular" hands the window to
// Calcular_Click, which reads the boxes, runs the efficiency model on this window's
// state, writes the two results back and returns what it read; the advice on that is
// shown by an AdviceDisplay, with results that no longer match the inputs or were
// typed over. A run-time error goes to the error reporter given at construction, and
// the focus then goes to the box that caused it.

#include "calculation/calculate_command.h"
#include "runtime/runtime_error.h"
#include "window/form.h"

#include <QWidget>

#include <functional>
#include <map>

class QAbstractButton;
class QLineEdit;

namespace quemador {

class AdviceDisplay;

class MainWindow : public QWidget, public CalculatorWindow {
    Q_OBJECT

public:
    using ErrorReporter = std::function<void(QWidget* window, const RuntimeError& error)>;

    static constexpr int twips_per_pixel = 15;

    explicit MainWindow(ErrorReporter report_error, QWidget* parent = nullptr);

    // A fixed font, so that the layout does not depend on the desktop's font settings.
    // At this size every caption fits its label.
    static QFont window_font();

    [[nodiscard]] std::string text(Input box) const override;
    void set_text(ResultBox box, std::string_view text) override;
    [[nodiscard]] bool is_on(OptionButton option) const override;
    [[nodiscard]] WindowState& state() override { return state_; }

private:
    void calcular_clicked();
    [[nodiscard]] QWidget* part(form::Part part) const { return parts_.at(part); }
    [[nodiscard]] QLineEdit* box(form::Part part) const;
    [[nodiscard]] QAbstractButton* button(form::Part part) const;

    ErrorReporter report_error_;
    WindowState state_;
    // The control of each part of the calculator, as the form lists them.
    std::map<form::Part, QWidget*> parts_;

    AdviceDisplay* advice_;
};

} // namespace quemador
