// SPDX-License-Identifier: GPL-3.0-or-later
#include "window/help.h"

#include "quemador_version.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QScreen>
#include <QShortcut>
#include <QTextDocumentFragment>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <QWidget>

#include <array>
#include <mutex>

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

// Qt's What's This popup is announced to screen readers as a tooltip, named with its
// text: Orca speaks a tooltip that appears after F1 (here Shift+F1) is pressed.
QAccessibleInterface* whats_this_accessible(const QString& class_name, QObject* object)
{
    if (class_name == QLatin1String("QWhatsThat") && object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::ToolTip);
    return nullptr;
}

// Shows a control's What's This at a point, the popup named with its plain text.
void show_whats_this(QWidget* control, QPoint where)
{
    QWhatsThis::showText(where, control->whatsThis(), control);
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->setAccessibleName(
            QTextDocumentFragment::fromHtml(control->whatsThis()).toPlainText());
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
    show_whats_this(focused, focused->mapToGlobal(QPoint(0, focused->height())));
}

// A control pointed at in What's This mode shows its text the same way.
class WhatsThisPointedAt : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::WhatsThis)
            return false;
        auto* control = static_cast<QWidget*>(watched);
        if (control->whatsThis().isEmpty())
            return false;
        show_whats_this(control, static_cast<QHelpEvent*>(event)->globalPos());
        return true;
    }
};

} // namespace

void install_help(QWidget* window)
{
    static std::once_flag accessible_factory;
    std::call_once(accessible_factory, [] { QAccessible::installFactory(whats_this_accessible); });
    auto* pointed_at = new WhatsThisPointedAt(window);

    for (const ControlHelp& help : control_help) {
        auto* control = window->findChild<QWidget*>(text(help.name));
        if (control == nullptr)
            continue;
        set_help(control, help);
        control->installEventFilter(pointed_at);
        if (help.label != nullptr) {
            if (auto* label = window->findChild<QWidget*>(text(help.label))) {
                set_help(label, help);
                label->installEventFilter(pointed_at);
            }
        }
        if (help.description != nullptr) {
            control->setAccessibleDescription(text(help.description));
            control->setProperty("baseDescription", text(help.description));
            control->setProperty("baseToolTip", text(help.tooltip));
        }
    }
    if (auto* unit = window->findChild<QWidget*>(text(efficiency_unit_label))) {
        set_help(unit, control_help.back());
        unit->installEventFilter(pointed_at);
    }

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
el recuadro junto a las lecturas (se llega a él con Tab), en una línea con el nombre
de la casilla y lo esencial; el texto completo aparece al dejar el ratón sobre la
casilla. Un lector de pantalla anuncia tras cada cálculo los resultados y el primer
aviso, y lee el aviso completo con la descripción de la casilla:</p>
<ul>
<li>un texto que no es del todo un número: «3,5» se lee como 3, «150 ºC» como
150 °F, una casilla vacía como 0; y un número partido por espacios: «3 5» se lee
como 35;</li>
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
Copyright 2026 Equipo Quemador1.</p>
<p>Quemador1 es software libre: puede redistribuirlo y modificarlo según los términos
de la Licencia Pública General de GNU (GPL) publicada por la Free Software Foundation,
en su versión 3 o, a su elección, cualquier versión posterior.</p>
<p>Se distribuye con la esperanza de que sea útil, pero SIN NINGUNA GARANTÍA, ni
siquiera la garantía implícita de COMERCIABILIDAD o de IDONEIDAD PARA UN FIN
DETERMINADO. Los detalles están en el texto de la licencia, que acompaña al programa
(en Debian, /usr/share/common-licenses/GPL-3) y se puede leer en
https://www.gnu.org/licenses/gpl-3.0.html.</p>
)")
        .replace(QStringLiteral("@VERSION@"), QStringLiteral(QUEMADOR_VERSION));
}

} // namespace

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent), page_(new QTextEdit(this))
{
    setObjectName(QStringLiteral("Ayuda"));
    setWindowTitle(QStringLiteral("Ayuda de Quemador1"));

    // A read-only text with a cursor: a screen reader reads it as a named text, line by
    // line as the arrow keys move, and the keys that move the cursor scroll it.
    page_->setObjectName(QStringLiteral("Texto_Ayuda"));
    page_->setAccessibleName(QStringLiteral("Ayuda de Quemador1"));
    page_->setReadOnly(true);
    page_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    page_->setTabChangesFocus(true);
    page_->setHtml(help_text());

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(page_);
    layout->addWidget(buttons);
    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    resize(fitted_size(screen->availableGeometry().size()));
}

QSize HelpWindow::fitted_size(QSize available)
{
    return readable_size.boundedTo(available * 9 / 10);
}

void HelpWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    page_->setFocus(Qt::OtherFocusReason);
}

} // namespace quemador
