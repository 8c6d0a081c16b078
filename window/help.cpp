#include "window/help.h"

#include "quemador_version.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <QWidget>

#include <array>

namespace quemador {
namespace {

// The help of one control. A label shows its control's help, so that hovering over
// the caption tells the same as hovering over the box.
struct ControlHelp {
    const char* name;
    const char* label;
    const char* tooltip;
    const char* whats_this;
    const char* description; // accessible description with the unit; none for the options
};

// clang-format off
const std::array<ControlHelp, 8> control_help{{
    {"Opcion_Gas_Natural", "Label1",
     "Gas natural: calcula con los coeficientes del gas natural.",
     "<p><b>Gas natural.</b> Elija esta opción cuando la caldera quema gas natural. "
     "El cálculo usa entonces las correlaciones del gas natural, que concuerdan con la "
     "tabla publicada por el Departamento de Energía de EE. UU. (véase la ayuda, F1).</p>"
     "<p>Solo una de las dos opciones de combustible está activa. Cambiar de opción no "
     "recalcula: pulse <b>Calcular</b>.</p>",
     nullptr},
    {"Opcion_Fuel_Oil", "Label2",
     "Fuel oil nº 2 (gasóleo): calcula con los coeficientes del fuel oil nº 2.",
     "<p><b>Fuel oil nº 2.</b> Elija esta opción cuando la caldera quema gasóleo o fuel oil "
     "ligero (nº 2). El cálculo usa las correlaciones de este combustible.</p>"
     "<p>Solo una de las dos opciones de combustible está activa. Cambiar de opción no "
     "recalcula: pulse <b>Calcular</b>.</p>",
     nullptr},
    {"O2", "Label3",
     "Oxígeno en los humos, % en volumen (base seca, análisis Orsat).\n"
     "Habitual en calderas: 2–8 %. Debe ser menor que el 20.9 % del aire.",
     "<p><b>Oxígeno en los humos</b>, en % en volumen sobre gas seco, como lo da un análisis "
     "Orsat o un analizador electrónico.</p>"
     "<p>De él sale el exceso de aire. Una caldera de gas bien ajustada suele estar entre "
     "2 y 4 %; con fuel oil, entre 3 y 5 %. Más oxígeno significa más aire del necesario y "
     "más calor perdido por la chimenea.</p>"
     "<p>El aire contiene un 20.9 % de oxígeno: una lectura de 20.9 % o más no corresponde "
     "a ningún humo real. Escriba el número con punto decimal (3.5).</p>",
     "Oxígeno en los humos, por ciento en volumen"},
    {"CO2", "Label4",
     "Dióxido de carbono en los humos, % en volumen (Orsat).\n"
     "Al calcular se comprueba que cuadre con el O2; no cambia los resultados.\n"
     "Habitual: gas natural 8–11 %, fuel oil 10–14 %.",
     "<p><b>Dióxido de carbono en los humos</b>, en % en volumen sobre gas seco (Orsat).</p>"
     "<p>La casilla guarda la lectura junto a las demás, pero el cálculo no la usa: el "
     "exceso de aire sale solo del oxígeno. Sirve para comprobar el análisis: con más "
     "oxígeno, menos CO<sub>2</sub>, y al pulsar <b>Calcular</b> se avisa si no cuadra "
     "con el O<sub>2</sub> para el combustible elegido. Valores habituales: gas natural "
     "8–11 %, fuel oil 10–14 %.</p>",
     "Dióxido de carbono en los humos, por ciento en volumen; no cambia los resultados"},
    {"Temp_stack", "Label5",
     "Temperatura de los humos en la chimenea, en °F (temperatura absoluta, no la "
     "diferencia con el aire).\n"
     "Calderas en buen estado: 250–600 °F. De °C a °F: °F = °C × 9/5 + 32.",
     "<p><b>Temperatura de los humos</b> a la salida de la caldera, en grados Fahrenheit. "
     "Escriba la temperatura medida, no la diferencia con la del aire.</p>"
     "<p>El cálculo supone aire de combustión a unos 60 °F (16 °C). Para una temperatura "
     "en °C: °F = °C × 9/5 + 32; por ejemplo, 180 °C × 9/5 + 32 = 356 °F.</p>"
     "<p>Una caldera en buen estado suele dar de 250 a 600 °F; más temperatura significa "
     "más calor perdido por la chimenea.</p>",
     "Temperatura de los humos, grados Fahrenheit"},
    {"Calcular", nullptr,
     "Calcula el exceso de aire y la eficiencia.\n"
     "Con el teclado: Espacio cuando el botón tiene el foco. F1: ayuda.",
     "<p><b>Calcular</b> lee el combustible elegido y las tres lecturas, y escribe el exceso "
     "de aire y la eficiencia, redondeados a centésimas.</p>"
     "<p>Con el teclado, lleve el foco al botón con Tab y pulse Espacio. Intro no calcula. "
     "Nada se recalcula hasta que se pulsa el botón.</p>",
     nullptr},
    {"Relacion_AF", "Label6",
     "Exceso de aire sobre el necesario para quemar el combustible, en %.\n"
     "Habitual: 10–50 %.",
     "<p><b>Exceso de aire</b>: el aire que entra por encima del estrictamente necesario "
     "para quemar todo el combustible, en % de este. Sale solo de la lectura de oxígeno "
     "y del combustible.</p>"
     "<p>Algo de exceso asegura una combustión completa; demasiado enfría la llama y se "
     "lleva calor por la chimenea. Habitual: 10–50 %. Se muestra redondeado a "
     "centésimas.</p>",
     "Exceso aire, por ciento"},
    {"Eficiencia", "Label7",
     "Eficiencia de combustión bruta (sobre el poder calorífico superior), en %.\n"
     "Un analizador europeo muestra la neta, unos 9–10 puntos más en gas natural.",
     "<p><b>Eficiencia de combustión</b>, en %: la parte del calor del combustible que no "
     "se pierde con los humos secos y el vapor de agua por la chimenea.</p>"
     "<p>Es una eficiencia <b>bruta</b>, sobre el poder calorífico superior, como las "
     "tablas de EE. UU. Los analizadores europeos suelen mostrar la <b>neta</b> (fórmula "
     "de Siegert, poder calorífico inferior), unos 9–10 puntos más alta en gas natural. "
     "Habitual en gas natural: 75–85 %. Se muestra redondeada a centésimas.</p>",
     "Eficiencia, por ciento"},
}};
// clang-format on

// The "%" beside the efficiency box, the table's last control, shows its help too.
constexpr const char* efficiency_unit_label = "Label8";

QString text(const char* utf8) { return QString::fromUtf8(utf8); }

void set_help(QWidget* control, const ControlHelp& help)
{
    control->setToolTip(text(help.tooltip));
    control->setWhatsThis(text(help.whats_this));
}

// Shows the focused control's What's This beside it; with no such text, lets the
// user point at a control instead.
void show_focused_whats_this()
{
    QWidget* focused = QApplication::focusWidget();
    if (focused == nullptr || focused->whatsThis().isEmpty()) {
        QWhatsThis::enterWhatsThisMode();
        return;
    }
    QWhatsThis::showText(focused->mapToGlobal(QPoint(0, focused->height())), focused->whatsThis(),
                         focused);
}

} // namespace

void install_help(QWidget* window)
{
    for (const ControlHelp& help : control_help) {
        auto* control = window->findChild<QWidget*>(text(help.name));
        if (control == nullptr)
            continue;
        set_help(control, help);
        if (help.label != nullptr) {
            if (auto* label = window->findChild<QWidget*>(text(help.label)))
                set_help(label, help);
        }
        if (help.description != nullptr) {
            control->setAccessibleDescription(text(help.description));
            control->setProperty("baseDescription", text(help.description));
        }
    }
    if (auto* unit = window->findChild<QWidget*>(text(efficiency_unit_label)))
        set_help(unit, control_help.back());

    auto* help = new QShortcut(QKeySequence::HelpContents, window);
    QObject::connect(help, &QShortcut::activated, window, [window] {
        auto* help_window = window->findChild<HelpWindow*>();
        if (help_window == nullptr)
            help_window = new HelpWindow(window);
        help_window->show();
        help_window->raise();
        help_window->activateWindow();
    });

    auto* whats_this = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F1), window);
    QObject::connect(whats_this, &QShortcut::activated, window, show_focused_whats_this);
}

namespace {

// The help text as rich text, with the program's version.
QString help_text()
{
    return QString::fromUtf8(R"(
<h2>Quemador1: calculador de eficiencia de calderas</h2>

<h3>Cómo se usa</h3>
<ol>
<li>Elija el combustible: <b>Gas Natural</b> o <b>Fuel Oil Nº 2</b>.</li>
<li>Escriba el oxígeno de los humos (% en volumen), la lectura de CO<sub>2</sub> y la
temperatura de los humos en °F. Use el punto como separador decimal (3.5): una coma
termina el número y un texto que no es un número cuenta como 0.</li>
<li>Pulse <b>Calcular</b> (o Espacio con el botón enfocado). Intro no calcula.</li>
</ol>
<p>Con el teclado: Tab pasa de una casilla a otra; las flechas cambian de combustible.
Mayús+F1 explica la casilla que tiene el foco; F1 abre esta ayuda; Escape la cierra.</p>

<h3>Qué significan los resultados</h3>
<p><b>Exceso aire</b>: el aire que entra por encima del necesario para quemar todo el
combustible, en %. Sale solo del oxígeno: 3 % de O<sub>2</sub> con gas natural son un
15.66 % de exceso de aire.</p>
<p><b>Eficiencia</b>: la parte del calor del combustible que no se pierde por la
chimenea, en %. Baja cuando sube la temperatura de los humos y cuando sube el exceso de
aire. Ambos resultados se redondean a centésimas. No se recortan: fuera del uso normal
pueden salir negativos o por encima de 100, y entonces no significan nada.</p>

<h3>Eficiencia bruta y neta</h3>
<p>El programa da la eficiencia <b>bruta</b>, referida al poder calorífico superior,
como las tablas del Departamento de Energía de EE. UU. y la eficiencia «estándar» de
los analizadores estadounidenses. Los analizadores europeos, los habituales en España,
muestran la eficiencia <b>neta</b> (fórmula de Siegert, referida al poder calorífico
inferior): no cuentan como pérdida el calor del vapor de agua de los humos, y por eso
dan unos 9–10 puntos más con gas natural y unos 5–6 con gasóleo. Ninguna de las dos
está mal; compare siempre la misma.</p>
<p>En palabras, la fórmula de Siegert resta de 100 la pérdida por humos: la diferencia
entre la temperatura de los humos y la del aire, en °C, multiplicada por A2 dividido
entre 21 menos el O<sub>2</sub>, más B (A2 = 0.66 y B = 0.009 para el gas natural;
0.68 y 0.007 para el gasóleo). Ejemplo con gas natural, 3 % de O<sub>2</sub>, humos a
180 °C y aire a 20 °C: la pérdida es 160 × (0.66 / 18 + 0.009) = 7.31, y la neta,
92.69 %. Este programa, con los 356 °F de los humos, da 82.61 % bruta; con el aire
corregido (humos menos aire más 60 °F: 348 °F), 82.8 %. La orden
<code>quemador1-calc --combustible gas --o2 3 --temp 180 --celsius --aire 20</code>
da las tres cifras, y con <code>--objetivo-o2 2</code> también el combustible que
ahorraría ajustar el quemador a 2 % de O<sub>2</sub>.</p>

<h3>La temperatura: en °F y con el aire a 60 °F</h3>
<p>Escriba la temperatura <b>medida</b> de los humos, no la diferencia con la del aire.
Las correlaciones suponen aire de combustión a unos 60 °F (16 °C). Si el aire está
mucho más caliente o más frío, escriba la temperatura de los humos menos la del aire,
más 60 °F.</p>
<p>Si mide en grados Celsius: <b>°F = °C × 9/5 + 32</b>. Ejemplo: humos a 180 °C son
180 × 9/5 + 32 = 324 + 32 = 356 °F. Con gas natural y 3 % de O<sub>2</sub>, 356 °F da
un exceso de aire de 15.66 % y una eficiencia de 82.61 %.</p>

<h3>Las lecturas Orsat y la casilla de CO<sub>2</sub></h3>
<p>El oxígeno y el dióxido de carbono se leen en % en volumen sobre gas seco, como los
da un análisis Orsat o un analizador electrónico. El cálculo usa solo el oxígeno. La
casilla de CO<sub>2</sub> guarda la lectura para tenerla a la vista y comprobar el
análisis (más oxígeno, menos CO<sub>2</sub>), pero no cambia ningún resultado.</p>

<h3>Avisos sobre las lecturas</h3>
<p>Cada vez que pulsa <b>Calcular</b>, el programa revisa las lecturas sin cambiar
ningún resultado. Si algo no cuadra, la casilla queda resaltada y el aviso aparece en
el recuadro junto a las lecturas (se llega a él con Tab):</p>
<ul>
<li>un texto que no es del todo un número: «3,5» se lee como 3, «150 ºC» como
150 °F, una casilla vacía como 0;</li>
<li>un oxígeno negativo o del 20.9 % del aire o más, o una temperatura de humos por
debajo de los 60 °F del aire de combustión;</li>
<li>un CO<sub>2</sub> que no cuadra con el O<sub>2</sub> para el combustible
elegido (por ejemplo, aire que entra en la muestra, o el otro combustible
seleccionado);</li>
<li>resultados fuera de lo que cubre la correlación (eficiencia fuera de 0–100 % o
exceso de aire negativo).</li>
</ul>
<p>El aviso de una casilla desaparece al corregirla. Si cambia una lectura o el
combustible después de calcular, los resultados se muestran atenuados hasta que
vuelve a pulsar <b>Calcular</b>.</p>

<h3>Si aparece un informe de error</h3>
<p>Un oxígeno muy cercano al 21 % del aire (de unos 20.99 a 21.03 %) no tiene
resultado: aparece «Error 11 en tiempo de ejecución: División por cero» o «Error 6 en
tiempo de ejecución: Desbordamiento». Un número demasiado grande para el cálculo da
también «Error 6». El mensaje dice qué casilla lo causó. Pulse Aceptar: la ventana
sigue abierta con todo lo que escribió, las casillas de resultados vacías y el foco en
esa casilla, con su texto seleccionado. Corrija la lectura y pulse Calcular de
nuevo.
Por encima de esas lecturas el programa vuelve a dar números, pero ningún humo real
tiene 21 % o más de oxígeno.</p>

<h3>Acerca de</h3>
<p><b>Quemador1</b>, versión @VERSION@.<br>
Copyright 2026 Equipo Quemador1. Todos los derechos reservados.</p>
)")
        .replace(QStringLiteral("@VERSION@"), QStringLiteral(QUEMADOR_VERSION));
}

} // namespace

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Ayuda"));
    setWindowTitle(QStringLiteral("Ayuda de Quemador1"));

    auto* page = new QTextBrowser(this);
    page->setObjectName(QStringLiteral("Texto_Ayuda"));
    page->setAccessibleName(QStringLiteral("Ayuda de Quemador1"));
    page->setHtml(help_text());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(page);
    layout->addWidget(buttons);
    resize(560, 600);
    page->setFocus();
}

} // namespace quemador
