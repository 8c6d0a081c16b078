// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"
#include "test_support.h"
#include "window/help.h"
#include "window/main_window.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QFrame>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

using namespace quemador;

class TestMainWindow : public QObject {
    Q_OBJECT

    std::unique_ptr<MainWindow> window;
    std::vector<RuntimeError> reported;

    template <typename T = QWidget> [[nodiscard]] T* control(const QString& name) const
    {
        auto* found = window->findChild<T*>(name);
        if (found == nullptr)
            qFatal("no control %s", qPrintable(name));
        return found;
    }
    [[nodiscard]] QLineEdit* box(const QString& name) const { return control<QLineEdit>(name); }
    void click(const QString& name) const { QTest::mouseClick(control(name), Qt::LeftButton); }
    [[nodiscard]] QString shown(const QString& name) const { return box(name)->text(); }

    static QString text_of(QWidget* w)
    {
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            return edit->text();
        if (auto* label = qobject_cast<QLabel*>(w))
            return label->text();
        return qobject_cast<QAbstractButton*>(w)->text();
    }

private slots:
    void init()
    {
        reported.clear();
        window = std::make_unique<MainWindow>(
            [this](QWidget*, const RuntimeError& error) { reported.push_back(error); });
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    void cleanup() { window.reset(); }

    void initial_contents_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");

        const auto row = [](const char* name, const QString& text) {
            QTest::newRow(name) << QString(name) << text;
        };
        row("Opcion_Gas_Natural", "Option1");
        row("Opcion_Fuel_Oil", "Option2");
        row("O2", "0");
        row("CO2", "10");
        row("Label1", "Gas Natural");
        row("Label2", "Fuel Oil Nº 2");
        row("Label3", "% vol O2 ( Orsat )");
        row("Label4", "% vol CO2 ( Orsat )");
        row("Temp_stack", "300");
        row("Label5", "Temperatura gas chimenea (ºF)");
        row("Calcular", "Calcular");
        row("Label6", "Exceso aire");
        row("Label7", "Eficiencia");
        row("Relacion_AF", " ");
        row("Eficiencia", "");
        row("Label8", "%");
    }

    void initial_contents()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QCOMPARE(text_of(control(name)), text);
    }

    void window_at_start()
    {
        QCOMPARE(window->windowTitle(), "Calculador de eficiencia de calderas");
        QCOMPARE(window->objectName(), "Quemador1");
        QVERIFY(control<QRadioButton>("Opcion_Gas_Natural")->isChecked());
        QVERIFY(!control<QRadioButton>("Opcion_Fuel_Oil")->isChecked());
        QCOMPARE(QApplication::focusWidget(), control("Opcion_Gas_Natural"));
        QCOMPARE(QFontInfo(window->font()).family(), "DejaVu Sans Condensed");
        QCOMPARE(QAccessible::queryAccessibleInterface(window.get())->role(), QAccessible::Window);
        QCOMPARE(QAccessible::queryAccessibleInterface(control("Line1"))->role(),
                 QAccessible::Separator);
    }

    void application_icon_has_every_size()
    {
        const QIcon icon = application_icon();
        for (const int size : {16, 32, 48, 64, 128, 256}) {
            const QImage image = icon.pixmap(size, size).toImage();
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY(image.pixelColor(size / 2, size / 2).alpha() == 255);
        }
    }

    void geometry_in_twips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");

        const auto row = [](const char* name, QRect twips) {
            QTest::newRow(name) << QString(name) << twips;
        };

        row("Opcion_Fuel_Oil", QRect(360, 600, 255, 210)); // one pixel taller: its mark whole
        row("O2", QRect(240, 1080, 495, 285));
        row("Label2", QRect(720, 600, 1215, 375));
        row("Label5", QRect(960, 1800, 2655, 255));
        row("Calcular", QRect(3360, 120, 975, 495));
        row("Eficiencia", QRect(2280, 2640, 975, 285));
        row("Label8", QRect(3360, 2640, 615, 255));
    }

    void geometry_in_twips()
    {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        const QRect g = control(name)->geometry();
        constexpr int k = MainWindow::twips_per_pixel;
        QCOMPARE(QRect(g.x() * k, g.y() * k, g.width() * k, g.height() * k), twips);
    }

    void option_marks_are_whole_data()
    {
        QTest::addColumn<QString>("name");
        for (const char* name : {"Opcion_Gas_Natural", "Opcion_Fuel_Oil"})
            QTest::newRow(name) << QString(name);
    }

    void option_marks_are_whole()
    {
        QFETCH(QString, name);
        auto* option = control<QRadioButton>(name);
        QStyleOptionButton look;
        look.initFrom(option);
        QVERIFY(option->rect().contains(
            option->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &look, option)));
    }

    void client_area_and_line_in_twips()
    {
        constexpr int k = MainWindow::twips_per_pixel;
        QCOMPARE(window->size() * k, QSize(4680, 3195));

        auto* line = control<QFrame>("Line1");
        QCOMPARE(line->frameShape(), QFrame::HLine);
        QCOMPARE(line->height(), 1);
        QCOMPARE(line->y() * k, 2160);
        QCOMPARE(line->x() * k, 0);
        QCOMPARE((line->x() + line->width() - 1) * k, 4560);
    }

    // Qt lets the Tab key stop only at the checked button of an exclusive group; both
    // stand in the focus chain in their order.
    void focus_moves_in_tab_order()
    {
        QStringList chain;
        QWidget* w = window.get();
        while ((w = w->nextInFocusChain()) != window.get()) {
            if (w->focusPolicy() != Qt::NoFocus && w->isVisibleTo(window.get()))
                chain << w->objectName();
        }
        QCOMPARE(chain,
                 QStringList({"Opcion_Gas_Natural", "Opcion_Fuel_Oil", "O2", "CO2", "Temp_stack",
                              "Calcular", "Relacion_AF", "Eficiencia"}));

        QStringList visited{QApplication::focusWidget()->objectName()};
        for (int i = 0; i < 6; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited,
                 QStringList({"Opcion_Gas_Natural", "O2", "CO2", "Temp_stack", "Calcular",
                              "Relacion_AF", "Eficiencia"}));

        for (auto* label : window->findChildren<QLabel*>())
            QCOMPARE(label->focusPolicy(), Qt::NoFocus);
        QCOMPARE(control("Line1")->focusPolicy(), Qt::NoFocus);
    }

    void fuel_options_are_exclusive()
    {
        auto* gas = control<QRadioButton>("Opcion_Gas_Natural");
        auto* oil = control<QRadioButton>("Opcion_Fuel_Oil");
        click("Opcion_Fuel_Oil");
        QVERIFY(oil->isChecked());
        QVERIFY(!gas->isChecked());
        QCOMPARE(shown("Eficiencia"), ""); // nothing calculated until "Calcular"
        click("Opcion_Gas_Natural");
        QVERIFY(gas->isChecked());
        QVERIFY(!oil->isChecked());

        // Clicking a fuel's name chooses it too.
        click("Label2");
        QVERIFY(oil->isChecked());
        click("Label1");
        QVERIFY(gas->isChecked());
    }

    void click_shows_results_data()
    {
        QTest::addColumn<QString>("fuel");
        QTest::addColumn<QString>("o2");
        QTest::addColumn<QString>("excessAir");
        QTest::addColumn<QString>("efficiency");

        const auto row = [](const QByteArray& row_name, const QString& fuel, const QString& o2,
                            const QString& excessAir, const QString& efficiency) {
            QTest::newRow(row_name.constData()) << fuel << o2 << excessAir << efficiency;
        };

        row("natural gas at start", "Opcion_Gas_Natural", "0", " 0", " 84.4");
        row("fuel oil at start", "Opcion_Fuel_Oil", "0", " 0", " 88.02");
        row("natural gas, O2 3", "Opcion_Gas_Natural", "3", " 15.66", " 83.94");
        row("letters in O2", "Opcion_Fuel_Oil", "abc", " 0", " 88.02");
    }

    void click_shows_results()
    {
        QFETCH(QString, fuel);
        QFETCH(QString, o2);
        QFETCH(QString, excessAir);
        QFETCH(QString, efficiency);

        click(fuel);
        box("O2")->setText(o2);
        for (int i = 0; i < 2; ++i) {
            click("Calcular");
            QCOMPARE(shown("Relacion_AF"), excessAir);
            QCOMPARE(shown("Eficiencia"), efficiency);
        }
        QVERIFY(reported.empty());
    }

    void carbon_dioxide_never_changes_a_result()
    {
        box("O2")->setText("5.5");
        QStringList results;
        for (const char* co2 : {"10", "0", "25", "abc", ""}) {
            box("CO2")->setText(co2);
            click("Calcular");
            results << shown("Relacion_AF") + " | " + shown("Eficiencia");
        }
        QCOMPARE(results, QStringList(results.size(), results.front()));
    }

    void only_click_or_space_calculates()
    {
        for (const char* name : {"O2", "CO2", "Temp_stack"}) {
            box(name)->setFocus();
            QTest::keyClick(box(name), Qt::Key_Return);
            QTest::keyClick(box(name), Qt::Key_Enter);
        }
        QCOMPARE(shown("Relacion_AF"), " ");
        QCOMPARE(shown("Eficiencia"), "");

        auto* calcular = control<QPushButton>("Calcular");
        QVERIFY(!calcular->isDefault());
        calcular->setFocus();
        QTest::keyClick(calcular, Qt::Key_Space);
        QCOMPARE(shown("Eficiencia"), " 84.4");
    }

    void resizing_moves_nothing()
    {
        const auto controls = window->findChildren<QWidget*>();
        const auto geometries = [&controls] {
            QList<QRect> all(controls.size());
            std::transform(controls.begin(), controls.end(), all.begin(),
                           [](const QWidget* c) { return c->geometry(); });
            return all;
        };
        const QList<QRect> before = geometries();
        for (const QSize size : {QSize(900, 700), QSize(150, 100)}) {
            window->resize(size);
            QApplication::processEvents();
            QCOMPARE(geometries(), before);
        }
    }

    // Every caption is readable in full, but the option buttons', which have no room
    // by design: their fuel names are the labels beside them.
    void captions_fit()
    {
        for (auto* label : window->findChildren<QLabel*>()) {
            const QSize needed = label->fontMetrics().size(0, label->text());
            QVERIFY2(label->contentsRect().width() >= needed.width() &&
                         label->contentsRect().height() >= needed.height(),
                     qPrintable(label->objectName()));
        }
        auto* calcular = control<QPushButton>("Calcular");
        const int margin =
            calcular->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, calcular);
        QVERIFY(calcular->fontMetrics().horizontalAdvance(calcular->text()) + 2 * margin <=
                calcular->width());
        // A long result, with room for the box's frame and margins.
        for (const char* name : {"Relacion_AF", "Eficiencia"})
            QVERIFY(box(name)->fontMetrics().horizontalAdvance("-133452.95") + 8 <=
                    box(name)->width());
    }

    void accessible_names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("accessibleName");

        const auto row = [](const char* name, const QString& accessibleName) {
            QTest::newRow(name) << QString(name) << accessibleName;
        };

        row("Opcion_Gas_Natural", "Gas Natural");
        row("Opcion_Fuel_Oil", "Fuel Oil Nº 2");
        row("O2", "% vol O2 ( Orsat )");
        row("CO2", "% vol CO2 ( Orsat )");
        row("Temp_stack", "Temperatura gas chimenea (ºF)");
        row("Relacion_AF", "Exceso aire");
        row("Eficiencia", "Eficiencia");
    }

    void accessible_names()
    {
        QFETCH(QString, name);
        QFETCH(QString, accessibleName);
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(control(name));
        QVERIFY(a != nullptr);
        QCOMPARE(a->text(QAccessible::Name), accessibleName);
    }

    // Each control and its caption explain themselves; inputs and results also tell a
    // screen reader their unit, from the same text that later messages build on.
    void help_on_every_control_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("inTooltip");
        QTest::addColumn<QString>("description");

        const auto row = [](const char* name, const QString& label, const QString& inTooltip,
                            const QString& description) {
            QTest::newRow(name) << QString(name) << label << inTooltip << description;
        };

        row("Opcion_Gas_Natural", "Label1", "gas natural", "");
        row("Opcion_Fuel_Oil", "Label2", "fuel oil nº 2", "");
        row("O2", "Label3", "2–8 %", "Oxígeno en los humos, por ciento en volumen");
        row("CO2", "Label4", "no cambia los resultados",
            "Dióxido de carbono en los humos, por ciento en volumen; no cambia los resultados");
        row("Temp_stack", "Label5", "250–600 °F", "Temperatura de los humos, grados Fahrenheit");
        row("Calcular", "", "Espacio", "");
        row("Relacion_AF", "Label6", "en %", "Exceso aire, por ciento");
        row("Eficiencia", "Label8", "bruta", "Eficiencia, por ciento");
    }

    void help_on_every_control()
    {
        QFETCH(QString, name);
        QFETCH(QString, label);
        QFETCH(QString, inTooltip);
        QFETCH(QString, description);

        QWidget* c = control(name);
        QVERIFY2(c->toolTip().contains(inTooltip), qPrintable(c->toolTip()));
        QVERIFY(c->whatsThis().size() > c->toolTip().size());
        if (!label.isEmpty())
            QCOMPARE(control(label)->toolTip(), c->toolTip());
        if (!description.isEmpty()) {
            QCOMPARE(QAccessible::queryAccessibleInterface(c)->text(QAccessible::Description),
                     description);
            QCOMPARE(c->property("baseDescription").toString(), description);
        }
    }

    void f1_opens_help_and_escape_closes_it()
    {
        box("Temp_stack")->setFocus();
        QTest::keyClick(box("Temp_stack"), Qt::Key_F1);
        auto* help = window->findChild<HelpWindow*>();
        QVERIFY(help != nullptr);
        QVERIFY(QTest::qWaitForWindowActive(help));
        auto* page = help->findChild<QTextEdit*>();
        QTRY_COMPARE(QApplication::focusWidget(), page);
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(page);
        QCOMPARE(read->role(), QAccessible::EditableText);
        QVERIFY(read->state().readOnly);
        QCOMPARE(read->text(QAccessible::Name), "Ayuda de Quemador1");
        QVERIFY(help->screen()->availableGeometry().contains(help->frameGeometry()));
        QTest::keyClick(page, Qt::Key_PageDown); // scrolls from the keyboard
        QVERIFY(page->verticalScrollBar()->value() > 0);
        const QString text = page->toPlainText();
        for (const char* expected :
             {"Quemador1, versión 1.0.0", "Licencia Pública General de GNU",
              "versión 3 o, a su elección, cualquier versión posterior", "356 °F", "neta", "60 °F"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);

        QTest::keyClick(page, Qt::Key_Escape);
        QVERIFY(!help->isVisible());
        QVERIFY(window->isVisible());

        window->activateWindow(); // a window manager's work, missing offscreen
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
        QTest::keyClick(box("Temp_stack"), Qt::Key_F1); // the same window again
        QCOMPARE(window->findChildren<HelpWindow*>().size(), 1);
        QVERIFY(help->isVisible());
    }

    // Shift+F1's explanation reaches a screen reader as a tooltip with its text.
    void whats_this_is_a_named_tooltip()
    {
        box("O2")->setFocus();
        QTest::keyClick(box("O2"), Qt::Key_F1, Qt::ShiftModifier);
        QAccessibleInterface* told =
            QAccessible::queryAccessibleInterface(QApplication::activePopupWidget());
        QVERIFY(told != nullptr);
        QCOMPARE(told->role(), QAccessible::ToolTip);
        QVERIFY(told->text(QAccessible::Name).startsWith("Oxígeno en los humos, en % en volumen"));
        QApplication::activePopupWidget()->close();
    }

    void help_window_fits_the_screen_data()
    {
        QTest::addColumn<QSize>("available");
        QTest::addColumn<QSize>("size");

        QTest::newRow("large screen: readable size") << QSize(1920, 1050) << QSize(560, 600);
        QTest::newRow("1280×1024 at 200 %") << QSize(640, 512) << QSize(560, 461);
        QTest::newRow("small screen: 90 % of it") << QSize(500, 400) << QSize(450, 360);
    }

    void help_window_fits_the_screen()
    {
        QFETCH(QSize, available);
        QFETCH(QSize, size);
        QCOMPARE(HelpWindow::fitted_size(available), size);
    }

    void long_result_shows_its_beginning()
    {
        box("O2")->setText("20.9");
        click("Calcular");
        QLineEdit* efficiency = box("Eficiencia");
        QCOMPARE(efficiency->text(), "-3.03754258900402E+42");
        QVERIFY(efficiency->fontMetrics().horizontalAdvance(efficiency->text()) >
                efficiency->width());
        QCOMPARE(efficiency->cursorPosition(), 0);
    }

    // Advice marks its box, is listed in the panel and added to the box's accessible
    // description after its base; editing the box, or a click that finds nothing, clears it.
    void advice_is_shown_and_cleared()
    {
        auto* panel = control("Avisos");
        QLineEdit* o2 = box("O2");
        const QString base = o2->property("baseDescription").toString();
        const QString advice = "«3,5» se lee como 3: la coma no separa decimales; escriba 3.5.";
        const auto shows_advice = [&](bool shown) {
            QCOMPARE(panel->isVisible(), shown);
            QCOMPARE(o2->font().bold(), shown);
            QCOMPARE(o2->accessibleDescription(), shown ? base + ". " + advice : base);
        };

        click("Calcular"); // the window as it starts
        QVERIFY(!panel->isVisible());

        o2->setText("3,5");
        click("Calcular");
        QCOMPARE(shown("Eficiencia"), " 83.94"); // advice beside the results, not instead
        shows_advice(true);
        QCOMPARE(qobject_cast<QTextEdit*>(panel)->toPlainText(), "⚠ O2: «3,5» se lee como 3");
        QVERIFY(o2->toolTip().startsWith(advice + "\n\n"));
        QCOMPARE(box("CO2")->accessibleDescription(), box("CO2")->property("baseDescription"));

        QTest::keyClick(o2, Qt::Key_End);
        QTest::keyClick(o2, Qt::Key_Backspace);
        shows_advice(false);

        o2->setText("3,5");
        click("Calcular");
        shows_advice(true);
        o2->setText("3.5");
        click("Calcular");
        shows_advice(false);
    }

    // Each click replaces the advice on show: checks on the model's results reach the
    // result boxes, and a click that ends in an error leaves no earlier advice behind.
    void advice_follows_each_click_data()
    {
        QTest::addColumn<QString>("first");  // O2 of a first click
        QTest::addColumn<QString>("second"); // O2 of the click looked at
        QTest::addColumn<QString>("name");   // the box whose description holds the advice
        QTest::addColumn<QString>("advice"); // empty: no advice on any box

        QTest::newRow("results outside the correlation")
            << "3"
            << "25"
            << "Relacion_AF"
            << "Resultados fuera de lo que cubre la correlación (exceso de aire -510.81 %";
        QTest::newRow("oxygen above the air's")
            << "3"
            << "25"
            << "O2"
            << "O2 de 25 %: los humos no pueden tener tanto oxígeno como el aire";
        QTest::newRow("an error clears the advice before it") << "3,5"
                                                              << "21"
                                                              << "O2"
                                                              << "";
    }

    void advice_follows_each_click()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QString, name);
        QFETCH(QString, advice);

        box("O2")->setText(first);
        click("Calcular");
        box("O2")->setText(second);
        click("Calcular");
        if (!advice.isEmpty()) {
            QVERIFY2(box(name)->accessibleDescription().contains(advice),
                     qPrintable(box(name)->accessibleDescription()));
            return;
        }
        for (const char* each : {"O2", "CO2", "Temp_stack", "Relacion_AF", "Eficiencia"})
            QCOMPARE(box(each)->accessibleDescription(), box(each)->property("baseDescription"));
        QVERIFY(!control("Avisos")->isVisible());
    }

    // Three bad readings at once: each notice is read whole in the panel, without
    // scrolling, and the panel keeps its place; more than it shows get a line each.
    void notices_read_whole_data()
    {
        QTest::addColumn<QStringList>("texts"); // O2, CO2, Temp_stack
        QTest::addColumn<QString>("listed");

        QTest::newRow("decimal commas and degrees C")
            << QStringList{"3,5", "9,8", "180 ºC"}
            << "⚠ O2: «3,5» se lee como 3\n⚠ CO2: «9,8» se lee como 9\n"
               "⚠ Temperatura: «180 ºC» se\nlee como 180 °F";
        QTest::newRow("blanks, CO2 off") << QStringList{"4 .0", "5", "3 50"}
                                         << "⚠ O2: «4 .0» se lee como 4\n⚠ CO2: no cuadra con el "
                                            "O2\n⚠ Temperatura: «3 50» se lee\ncomo 350";
        QTest::newRow("five notices") << QStringList{"2 5", "", "180 ºC"}
                                      << "⚠ O2: «2 5» se lee como 25\n⚠ O2: tanto oxígeno como "
                                         "el a…\n⚠ CO2: vacía, se lee como 0\n⚠ Temperatura: "
                                         "«180 ºC» se …\n⚠ Resultados: fuera de la cor…";
    }

    void notices_read_whole()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, listed);

        auto* panel = control<QTextEdit>("Avisos");
        const QRect place = panel->geometry();
        for (int i = 0; i < 3; ++i)
            box(QStringList{"O2", "CO2", "Temp_stack"}[i])->setText(texts[i]);
        click("Calcular");
        QApplication::processEvents();
        QCOMPARE(panel->toPlainText(), listed);
        QCOMPARE(panel->verticalScrollBar()->maximum(), 0);
        QCOMPARE(panel->geometry(), place);
    }

    // After a click a notification appears with the results and the first notice, for
    // screen readers to speak, and the focused button describes them the same way
    // until the results are out of date.
    void calcular_tells_the_results_data()
    {
        QTest::addColumn<QString>("co2");
        QTest::addColumn<QString>("told");

        const QString results = "Exceso aire: 15.66 %. Eficiencia: 83.94 %.";
        QTest::newRow("no notice") << "10" << results;
        QTest::newRow("two notices, the first in full") << "5,5"
                                                        << results +
                " 2 avisos; el primero: CO2: «5,5» se lee como 5: la coma no separa "
                "decimales; escriba 5.5.";
    }

    void calcular_tells_the_results()
    {
        QFETCH(QString, co2);
        QFETCH(QString, told);

        // Nothing to announce before the first click.
        QVERIFY(!control("Anuncio")->isVisible());
        auto* calcular = control<QPushButton>("Calcular");
        QAccessibleInterface* button = QAccessible::queryAccessibleInterface(calcular);
        const QString help = button->text(QAccessible::Description);
        box("O2")->setText("3");
        box("CO2")->setText(co2);
        click("Calcular");
        QCOMPARE(button->text(QAccessible::Description), told);

        QAccessibleInterface* notice = QAccessible::queryAccessibleInterface(control("Anuncio"));
        QVERIFY(notice->object()->property("visible").toBool());
        QCOMPARE(notice->role(), QAccessible::Notification);
        QCOMPARE((notice->text(QAccessible::Name) + ' ' + notice->text(QAccessible::Description))
                     .trimmed(),
                 told);

        QTest::keyClick(box("O2"), Qt::Key_0);
        QCOMPARE(button->text(QAccessible::Description), help);
    }

    void results_go_out_of_date_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("typed"); // a key typed in it, or else a click on it

        QTest::newRow("O2 edited") << "O2" << true;
        QTest::newRow("Temp_stack edited") << "Temp_stack" << true;
        QTest::newRow("fuel switched") << "Opcion_Fuel_Oil" << false;
        QTest::newRow("fuel switched by its name") << "Label2" << false;
    }

    void results_go_out_of_date()
    {
        QFETCH(QString, control);
        QFETCH(bool, typed);
        const auto change = [&] {
            if (typed)
                QTest::keyClick(this->control(control), Qt::Key_0);
            else
                click(control);
        };
        const auto out_of_date = [this](bool stale) {
            for (const char* name : {"Relacion_AF", "Eficiencia"}) {
                QCOMPARE(box(name)->font().italic(), stale);
                QCOMPARE(box(name)->accessibleDescription().contains("desactualizado"), stale);
            }
        };

        change(); // nothing calculated yet: nothing to mark
        out_of_date(false);
        if (typed) // back to the window as it starts
            QTest::keyClick(this->control(control), Qt::Key_Backspace);
        else
            click("Opcion_Gas_Natural");
        click("Calcular");
        change();
        out_of_date(true);
        QCOMPARE(shown("Eficiencia"), " 84.4"); // the results stay
        click("Calcular");
        out_of_date(false);
    }

    // A result box typed into holds no result: it is dimmed as out-of-date results are
    // and says why, stays editable, and the next click puts a result back.
    void typed_result_is_marked_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("calculated"); // a click before typing

        QTest::newRow("Eficiencia after a click") << "Eficiencia"
                                                  << "Relacion_AF" << true;
        QTest::newRow("Relacion_AF after a click") << "Relacion_AF"
                                                   << "Eficiencia" << true;
        QTest::newRow("Eficiencia before any click") << "Eficiencia"
                                                     << "Relacion_AF" << false;
    }

    void typed_result_is_marked()
    {
        QFETCH(QString, typed);
        QFETCH(QString, other);
        QFETCH(bool, calculated);
        const QString by_hand = "Escrito a mano, no calculado";
        const QString out_of_date = "desactualizado";
        // Whether a box is dimmed, and the note its tooltip and description hold (none).
        const auto dimmed = [&](const QString& name, const QString& note) {
            QLineEdit* b = box(name);
            QCOMPARE(b->font().italic(), !note.isEmpty());
            QCOMPARE(b->palette().color(QPalette::Text) ==
                         b->palette().color(QPalette::Disabled, QPalette::Text),
                     !note.isEmpty());
            for (const QString& each : {by_hand, out_of_date}) {
                QCOMPARE(b->accessibleDescription().contains(each), each == note);
                QCOMPARE(b->toolTip().contains(each), each == note);
            }
        };
        auto* calcular = control<QPushButton>("Calcular");

        if (calculated)
            click("Calcular");
        const QString before = shown(typed);
        QTest::keyClick(box(typed), Qt::Key_End);
        QTest::keyClick(box(typed), Qt::Key_7);
        QCOMPARE(shown(typed), before + "7");
        QVERIFY(!box(typed)->isReadOnly());
        dimmed(typed, by_hand);
        dimmed(other, "");
        QVERIFY(!calcular->accessibleDescription().contains(shown(typed).trimmed()));

        if (calculated) { // an edited reading leaves the other result out of date
            QTest::keyClick(box("O2"), Qt::Key_0);
            dimmed(other, out_of_date);
            dimmed(typed, by_hand);
            QTest::keyClick(box("O2"), Qt::Key_Backspace);
        }

        click("Calcular");
        QCOMPARE(shown("Eficiencia"), " 84.4");
        dimmed(typed, "");
        dimmed(other, "");
    }

    void errors_are_reported_and_the_window_goes_on_data()
    {
        QTest::addColumn<QString>("fuel");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("number");

        const auto row = [](const QByteArray& row_name, const QString& fuel, const QString& name,
                            const QString& text, int number) {
            QTest::newRow(row_name.constData()) << fuel << name << text << number;
        };

        row("O2 21, natural gas", "Opcion_Gas_Natural", "O2", "21", 11);
        row("O2 21, fuel oil", "Opcion_Fuel_Oil", "O2", "21", 11);
        row("1e999 in O2", "Opcion_Gas_Natural", "O2", "1e999", 6);
        row("1e999 in CO2", "Opcion_Gas_Natural", "CO2", "1e999", 6);
        row("1e999 in Temp_stack", "Opcion_Fuel_Oil", "Temp_stack", "1e999", 6);
    }

    void errors_are_reported_and_the_window_goes_on()
    {
        QFETCH(QString, fuel);
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(int, number);

        click(fuel);
        click("Calcular");
        box(name)->setText(text);
        click("Calcular");

        QCOMPARE(reported.size(), std::size_t{1});
        QCOMPARE(int(reported.front().number()), number);
        QVERIFY(window->isVisible());
        QCOMPARE(shown(name), text);
        QVERIFY(control<QRadioButton>(fuel)->isChecked());
        QCOMPARE(shown("Relacion_AF"), "");
        QCOMPARE(shown("Eficiencia"), "");
        // Ready to retype the box that caused it.
        QCOMPARE(QApplication::focusWidget(), box(name));
        QCOMPARE(box(name)->selectedText(), text);

        box(name)->setText(name == "O2" ? "3" : "300");
        click("Calcular");
        QCOMPARE(reported.size(), std::size_t{1});
        QVERIFY(!shown("Eficiencia").isEmpty());
    }

    void error_report_is_a_spanish_message_box_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("source");
        QTest::addColumn<int>("input");
        QTest::addColumn<QString>("message");

        const auto row = [](const QByteArray& row_name, int number, int source,
                            std::optional<Input> input, const QString& message) {
            QTest::newRow(row_name.constData())
                << number << source << (input ? int(*input) : -1) << message;
        };

        row("division by zero in the model", int(ErrorNumber::division_by_zero),
            int(ErrorSource::arithmetic), Input::O2,
            "Error 11 en tiempo de ejecución: División por cero\n\n"
            "Compruebe la lectura de oxígeno: debe ser menor que 21 %.");
        row("overflow in the model from the temperature", int(ErrorNumber::overflow),
            int(ErrorSource::arithmetic), Input::Temp_stack,
            "Error 6 en tiempo de ejecución: Desbordamiento\n\n"
            "Compruebe la temperatura del gas de chimenea: el valor escrito es demasiado grande "
            "para el cálculo.");
        row("overflow reading a box", int(ErrorNumber::overflow), int(ErrorSource::conversion),
            std::nullopt,
            "Error 6 en tiempo de ejecución: Desbordamiento\n\n"
            "Uno de los valores escritos es un número demasiado grande.");
        row("overflow reading CO2", int(ErrorNumber::overflow), int(ErrorSource::conversion),
            Input::CO2,
            "Error 6 en tiempo de ejecución: Desbordamiento\n\n"
            "El valor escrito en «% vol CO2 ( Orsat )» es un número demasiado grande.");
    }

    void error_report_is_a_spanish_message_box()
    {
        QFETCH(int, number);
        QFETCH(int, source);
        QFETCH(int, input);
        QFETCH(QString, message);

        QString title;
        QString text;
        QString button;
        QTimer::singleShot(0, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            title = box->windowTitle();
            text = box->text();
            button = box->buttons().value(0)->text();
            box->accept();
        });
        show_error_report(window.get(),
                          RuntimeError(ErrorNumber(number), ErrorSource(source),
                                       input < 0 ? std::nullopt : std::optional(Input(input))));

        QCOMPARE(title, window->windowTitle());
        QCOMPARE(text, message);
        QCOMPARE(button.remove('&'), "Aceptar");
    }
};

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    install_spanish_translations(app);
    TestMainWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_main_window.moc"
