// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "calculation/calculate_command.h"

#include <map>
#include <string>
#include <vector>

// A window for the calculate command: holds the texts and option states, and logs
// every access so that tests can check what was consulted and in which order.
class FakeWindow : public quemador::CalculatorWindow {
public:
    using Input = quemador::Input;

    [[nodiscard]] std::string text(Input box) const override
    {
        log.emplace_back("get " + name(box));
        return inputs_.at(box);
    }
    void set_text(ResultBox box, std::string_view text) override
    {
        log.emplace_back(box == ResultBox::Relacion_AF ? "set Relacion_AF" : "set Eficiencia");
        results_[box] = std::string(text);
    }
    [[nodiscard]] bool is_on(OptionButton option) const override
    {
        const bool gas = option == OptionButton::Opcion_Gas_Natural;
        log.emplace_back(gas ? "is_on Opcion_Gas_Natural" : "is_on Opcion_Fuel_Oil");
        return gas ? gas_on : oil_on;
    }
    [[nodiscard]] quemador::WindowState& state() override { return state_; }

    // Direct access for the test itself, not logged.
    std::string& box(Input b) { return inputs_[b]; }
    std::string& box(ResultBox b) { return results_[b]; }
    void choose_gas(bool gas)
    {
        gas_on = gas;
        oil_on = !gas;
    }

    bool gas_on = true;
    bool oil_on = false;
    mutable std::vector<std::string> log;

private:
    static std::string name(Input box)
    {
        switch (box) {
        case Input::O2:
            return "O2";
        case Input::CO2:
            return "CO2";
        case Input::Temp_stack:
            return "Temp_stack";
        }
        return "?";
    }

    std::map<Input, std::string> inputs_{
        {Input::O2, "0"}, {Input::CO2, "10"}, {Input::Temp_stack, "300"}};
    std::map<ResultBox, std::string> results_{{ResultBox::Relacion_AF, " "},
                                              {ResultBox::Eficiencia, ""}};
    quemador::WindowState state_;
};
