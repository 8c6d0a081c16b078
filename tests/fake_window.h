#pragma once

#include "calculation/calculate_command.h"

#include <map>
#include <string>
#include <vector>

// A window for the calculate command: holds the texts and option states, and logs
// every access so that tests can check what was consulted and in which order.
class FakeWindow : public quemador::CalculatorWindow {
public:
    [[nodiscard]] std::string text(TextBox box) const override
    {
        log.push_back("get " + name(box));
        return texts_.at(box);
    }
    void set_text(TextBox box, std::string_view text) override
    {
        log.push_back("set " + name(box));
        texts_[box] = std::string(text);
    }
    [[nodiscard]] bool is_on(OptionButton option) const override
    {
        const bool gas = option == OptionButton::Opcion_Gas_Natural;
        log.push_back(gas ? "is_on Opcion_Gas_Natural" : "is_on Opcion_Fuel_Oil");
        return gas ? gas_on : oil_on;
    }
    [[nodiscard]] quemador::WindowState& state() override { return state_; }

    // Direct access for the test itself, not logged.
    std::string& box(TextBox b) { return texts_[b]; }
    void choose_gas(bool gas)
    {
        gas_on = gas;
        oil_on = !gas;
    }

    bool gas_on = true;
    bool oil_on = false;
    mutable std::vector<std::string> log;

private:
    static std::string name(TextBox box)
    {
        switch (box) {
        case TextBox::O2:
            return "O2";
        case TextBox::CO2:
            return "CO2";
        case TextBox::Temp_stack:
            return "Temp_stack";
        case TextBox::Relacion_AF:
            return "Relacion_AF";
        case TextBox::Eficiencia:
            return "Eficiencia";
        }
        return "?";
    }

    std::map<TextBox, std::string> texts_{{TextBox::O2, "0"},
                                          {TextBox::CO2, "10"},
                                          {TextBox::Temp_stack, "300"},
                                          {TextBox::Relacion_AF, " "},
                                          {TextBox::Eficiencia, ""}};
    quemador::WindowState state_;
};
