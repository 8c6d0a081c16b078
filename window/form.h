// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The calculator window's form, as data: the window itself, then each control in tab
// order with its name, kind, caption or initial text, place and size in twips, whether
// the Tab key stops at it, and its help. The window's constructor builds the controls
// from it, the help and the accessibility set-up read it, and nothing else in the
// window writes a control's name or caption.
//
// A control and the labels beside it belong to one part of the calculator: a label of
// a part names its control (its caption is the control's accessible name, and a click
// on it acts on an option button) and shows the control's help; a unit label, such as
// the "%" after the efficiency, shows the help without naming.

#include "runtime/runtime_error.h"

#include <span>
#include <string_view>

namespace quemador::form {

enum class Kind {
    option_button,
    text_box,
    command_button,
    label,
    line,         // a rule from (left, top) to (left + width, top)
    advice_panel, // the read-only list of advice on the readings, hidden until there is some
    announcement, // an empty, hidden widget announced to screen readers after a calculation
};

// The part of the calculator that a control or a label belongs to.
enum class Part {
    none,
    gas_option,
    fuel_oil_option,
    o2,
    co2,
    temp_stack,
    calculate,
    excess_air,
    efficiency,
};

struct Twips {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

// A control's help. Empty fields are not set.
struct Help {
    std::string_view tooltip = {};
    std::string_view whats_this = {}; // rich text
    // What a screen reader reads after the control's name, with the unit; the window's
    // later messages add to it.
    std::string_view description = {};
};

struct Control {
    std::string_view name;
    Kind kind;
    Part part = Part::none;
    std::string_view text = {}; // caption, or initial text of a text box
    Twips twips = {};
    bool tab_stop = false;
    bool on = false;             // an option button on at start
    bool unit = false;           // a label that gives its part's unit rather than its name
    Help help = {};              // on the control of a part; its labels show the same
    std::string_view brief = {}; // how the advice panel names a box, when not by its name
};

struct Window {
    std::string_view name;
    std::string_view caption;
    int width; // client area, twips
    int height;
};

const Window& window();

// Every control, in tab order.
std::span<const Control> controls();

// The control of a part, and the label that names it; the label is null for a part
// without one.
const Control& control(Part part);
const Control* label(Part part);

// The first control of a kind.
const Control& first(Kind kind);

// The part of an input box.
Part part(Input input);

// What the advice panel calls a box: its brief name, or else its name.
std::string_view brief_name(const Control& control);

// The caption of an input box, as its label shows it.
std::string_view caption(Input input);

} // namespace quemador::form
