// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/form.h"

#include "calculation/fuel.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

namespace quemador::form {
namespace {

// The fuel options' What's This: a paragraph of each, then one they share.
constexpr std::string_view same_for_both_fuels =
    "<p>Solo una de las dos opciones de combustible está activa. Cambiar de opción no "
    "recalcula: pulse <b>Calcular</b>.</p>";
const std::string gas_whats_this =
    "<p><b>Gas natural.</b> Elija esta opción cuando la caldera quema gas natural. El cálculo usa "
    "entonces las correlaciones del gas natural, que concuerdan con la tabla publicada por el "
    "Departamento de Energía de EE. UU. (véase la ayuda, F1).</p>" +
    std::string(same_for_both_fuels);
const std::string fuel_oil_whats_this =
    "<p><b>Fuel oil nº 2.</b> Elija esta opción cuando la caldera quema gasóleo o fuel oil "
    "ligero (nº 2). El cálculo usa las correlaciones de este combustible.</p>" +
    std::string(same_for_both_fuels);

// The form in tab order, as the window is created: the controls created later lie
// over the earlier ones (the advice panel over the right end of the O2 caption's
// label). The option buttons are 210 twips high: the style's 14-pixel round mark
// needs one pixel more than 195 to keep its bottom row.
std::array<Control, 19> make_controls()
{
    using enum Kind;
    // clang-format off
    return {{
        {.name = "Opcion_Gas_Natural", .kind = option_button, .part = Part::gas_option,
         .text = "Option1", .twips = {360, 240, 255, 210}, .tab_stop = true, .on = true,
         .help = {.tooltip = "Gas natural: calcula con los coeficientes del gas natural.",
                  .whats_this = gas_whats_this}},
        {.name = "Opcion_Fuel_Oil", .kind = option_button, .part = Part::fuel_oil_option,
         .text = "Option2", .twips = {360, 600, 255, 210}, .tab_stop = true,
         .help = {.tooltip = "Fuel oil nº 2 (gasóleo): calcula con los coeficientes del fuel oil "
                             "nº 2.",
                  .whats_this = fuel_oil_whats_this}},
        {.name = "O2", .kind = text_box, .part = Part::o2,
         .text = "0", .twips = {240, 1080, 495, 285}, .tab_stop = true,
         .help = {.tooltip = "Oxígeno en los humos, % en volumen (base seca, análisis Orsat).\n"
                             "Habitual en calderas: 2–8 %. Debe ser menor que el 20.9 % del aire.",
                  .whats_this =
                      "<p><b>Oxígeno en los humos</b>, en % en volumen sobre gas seco, como lo da "
                      "un análisis Orsat o un analizador electrónico.</p>"
                      "<p>De él sale el exceso de aire. Una caldera de gas bien ajustada suele "
                      "estar entre 2 y 4 %; con fuel oil, entre 3 y 5 %. Más oxígeno significa "
                      "más aire del necesario y más calor perdido por la chimenea.</p>"
                      "<p>El aire contiene un 20.9 % de oxígeno: una lectura de 20.9 % o más no "
                      "corresponde a ningún humo real. Escriba el número con punto decimal "
                      "(3.5).</p>",
                  .description = "Oxígeno en los humos, por ciento en volumen"}},
        {.name = "CO2", .kind = text_box, .part = Part::co2,
         .text = "10", .twips = {240, 1440, 495, 285}, .tab_stop = true,
         .help = {.tooltip = "Dióxido de carbono en los humos, % en volumen (Orsat).\n"
                             "Al calcular se comprueba que cuadre con el O2; no cambia los "
                             "resultados.\n"
                             "Habitual: gas natural 8–11 %, fuel oil 10–14 %.",
                  .whats_this =
                      "<p><b>Dióxido de carbono en los humos</b>, en % en volumen sobre gas seco "
                      "(Orsat).</p>"
                      "<p>La casilla guarda la lectura junto a las demás, pero el cálculo no la "
                      "usa: el exceso de aire sale solo del oxígeno. Sirve para comprobar el "
                      "análisis: con más oxígeno, menos CO<sub>2</sub>, y al pulsar "
                      "<b>Calcular</b> se avisa si no cuadra con el O<sub>2</sub> para el "
                      "combustible elegido. Valores habituales: gas natural 8–11 %, fuel oil "
                      "10–14 %.</p>",
                  .description = "Dióxido de carbono en los humos, por ciento en volumen; no "
                                 "cambia los resultados"}},
        {.name = "Label1", .kind = label, .part = Part::gas_option,
         .text = facts(Fuel::natural_gas).caption, .twips = {720, 240, 975, 255}},
        {.name = "Label2", .kind = label, .part = Part::fuel_oil_option,
         .text = facts(Fuel::fuel_oil_no2).caption, .twips = {720, 600, 1215, 375}},
        {.name = "Label3", .kind = label, .part = Part::o2,
         .text = "% vol O2 ( Orsat )", .twips = {840, 1080, 2775, 255}},
        {.name = "Label4", .kind = label, .part = Part::co2,
         .text = "% vol CO2 ( Orsat )", .twips = {840, 1440, 1335, 255}},
        {.name = "Temp_stack", .kind = text_box, .part = Part::temp_stack,
         .text = "300", .twips = {240, 1800, 495, 285}, .tab_stop = true,
         .help = {.tooltip = "Temperatura de los humos en la chimenea, en °F (temperatura "
                             "absoluta, no la diferencia con el aire).\n"
                             "Calderas en buen estado: 250–600 °F. De °C a °F: °F = °C × 9/5 + "
                             "32.",
                  .whats_this =
                      "<p><b>Temperatura de los humos</b> a la salida de la caldera, en grados "
                      "Fahrenheit. Escriba la temperatura medida, no la diferencia con la del "
                      "aire.</p>"
                      "<p>El cálculo supone aire de combustión a unos 60 °F (16 °C). Para una "
                      "temperatura en °C: °F = °C × 9/5 + 32; por ejemplo, 180 °C × 9/5 + 32 = "
                      "356 °F.</p>"
                      "<p>Una caldera en buen estado suele dar de 250 a 600 °F; más temperatura "
                      "significa más calor perdido por la chimenea.</p>",
                  .description = "Temperatura de los humos, grados Fahrenheit"},
         .brief = "Temperatura"},
        {.name = "Label5", .kind = label, .part = Part::temp_stack,
         .text = "Temperatura gas chimenea (ºF)", .twips = {960, 1800, 2655, 255}},
        {.name = "Calcular", .kind = command_button, .part = Part::calculate,
         .text = "Calcular", .twips = {3360, 120, 975, 495}, .tab_stop = true,
         .help = {.tooltip = "Calcula el exceso de aire y la eficiencia.\n"
                             "Con el teclado: Espacio cuando el botón tiene el foco. F1: ayuda.",
                  .whats_this =
                      "<p><b>Calcular</b> lee el combustible elegido y las tres lecturas, y "
                      "escribe el exceso de aire y la eficiencia, redondeados a centésimas.</p>"
                      "<p>Con el teclado, lleve el foco al botón con Tab y pulse Espacio. Intro "
                      "no calcula. Nada se recalcula hasta que se pulsa el botón.</p>"}},
        {.name = "Label6", .kind = label, .part = Part::excess_air,
         .text = "Exceso aire", .twips = {240, 2280, 1335, 255}},
        {.name = "Label7", .kind = label, .part = Part::efficiency,
         .text = "Eficiencia", .twips = {240, 2640, 1575, 255}},
        {.name = "Relacion_AF", .kind = text_box, .part = Part::excess_air,
         .text = " ", .twips = {2280, 2280, 975, 285}, .tab_stop = true,
         .help = {.tooltip = "Exceso de aire sobre el necesario para quemar el combustible, en "
                             "%.\n"
                             "Habitual: 10–50 %.",
                  .whats_this =
                      "<p><b>Exceso de aire</b>: el aire que entra por encima del estrictamente "
                      "necesario para quemar todo el combustible, en % de este. Sale solo de la "
                      "lectura de oxígeno y del combustible.</p>"
                      "<p>Algo de exceso asegura una combustión completa; demasiado enfría la "
                      "llama y se lleva calor por la chimenea. Habitual: 10–50 %. Se muestra "
                      "redondeado a centésimas.</p>",
                  .description = "Exceso aire, por ciento"}},
        {.name = "Eficiencia", .kind = text_box, .part = Part::efficiency,
         .text = "", .twips = {2280, 2640, 975, 285}, .tab_stop = true,
         .help = {.tooltip = "Eficiencia de combustión bruta (sobre el poder calorífico "
                             "superior), en %.\n"
                             "Un analizador europeo muestra la neta, unos 9–10 puntos más en gas "
                             "natural.",
                  .whats_this =
                      "<p><b>Eficiencia de combustión</b>, en %: la parte del calor del "
                      "combustible que no se pierde con los humos secos y el vapor de agua por "
                      "la chimenea.</p>"
                      "<p>Es una eficiencia <b>bruta</b>, sobre el poder calorífico superior, "
                      "como las tablas de EE. UU. Los analizadores europeos suelen mostrar la "
                      "<b>neta</b> (fórmula de Siegert, poder calorífico inferior), unos 9–10 "
                      "puntos más alta en gas natural. Habitual en gas natural: 75–85 %. Se "
                      "muestra redondeada a centésimas.</p>",
                  .description = "Eficiencia, por ciento"}},
        {.name = "Label8", .kind = label, .part = Part::efficiency,
         .text = "%", .twips = {3360, 2640, 615, 255}, .unit = true},
        {.name = "Line1", .kind = line, .twips = {0, 2160, 4560, 0}},
        // Right of the O2 and CO2 captions, below "Calcular"; named to screen readers by
        // its name.
        {.name = "Avisos", .kind = advice_panel, .twips = {2250, 690, 2370, 1050},
         .tab_stop = true},
        {.name = "Anuncio", .kind = announcement},
    }};
    // clang-format on
}

const Control* find(auto matches)
{
    const auto all = controls();
    const auto found = std::find_if(all.begin(), all.end(), matches);
    return found == all.end() ? nullptr : &*found;
}

} // namespace

const Window& window()
{
    static constexpr Window form_window{
        .name = "Quemador1",
        .caption = "Calculador de eficiencia de calderas",
        .width = 4680,
        .height = 3195,
    };
    return form_window;
}

std::span<const Control> controls()
{
    static const std::array<Control, 19> all = make_controls();
    return all;
}

const Control& control(Part part)
{
    const Control* found =
        find([part](const Control& c) { return c.part == part && c.kind != Kind::label; });
    if (found == nullptr)
        std::abort();
    return *found;
}

const Control& first(Kind kind)
{
    const Control* found = find([kind](const Control& c) { return c.kind == kind; });
    if (found == nullptr)
        std::abort();
    return *found;
}

const Control* label(Part part)
{
    return find(
        [part](const Control& c) { return c.part == part && c.kind == Kind::label && !c.unit; });
}

Part part(Input input)
{
    switch (input) {
    case Input::O2:
        return Part::o2;
    case Input::CO2:
        return Part::co2;
    case Input::Temp_stack:
        return Part::temp_stack;
    }
    std::abort();
}

std::string_view brief_name(const Control& control)
{
    return control.brief.empty() ? control.name : control.brief;
}

std::string_view caption(Input input) { return label(part(input))->text; }

} // namespace quemador::form
