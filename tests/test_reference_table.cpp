// SPDX-License-Identifier: GPL-3.0-or-later
// Holds the natural-gas model to the published US DOE efficiency table in
// docs/data/. The table's temperatures are net (flue gas minus combustion air); the
// model takes the absolute stack temperature and assumes combustion air at about
// 60 °F, so each table cell is compared with the model at net + 60 °F.

#include "calculation/calculate_command.h"

#include <QFile>
#include <QTest>

#include <cmath>
#include <numeric>

using namespace quemador;

namespace {

constexpr double tolerance = 0.6;       // points, any single cell
constexpr double mean_tolerance = 0.25; // points, mean absolute difference
constexpr int expected_cells = 25;

struct Cell {
    double o2;
    double net_temperature;
    double efficiency;
};

// The cells of the table: a header row names the net temperatures ("net_300F"), each
// data row gives the excess air, the oxygen reading and one efficiency per temperature.
QList<Cell> reference_cells()
{
    QFile file(QStringLiteral(QUEMADOR_REFERENCE_TABLE));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        qFatal("cannot read %s", QUEMADOR_REFERENCE_TABLE);
    QList<double> temperatures;
    QList<Cell> cells;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList fields = line.split(u',');
        if (temperatures.isEmpty()) {
            for (QString field : fields.mid(2))
                temperatures << field.remove(QStringLiteral("net_")).chopped(1).toDouble();
            continue;
        }
        for (qsizetype i = 0; i < temperatures.size(); ++i)
            cells.push_back(
                {fields.at(1).toDouble(), temperatures.at(i), fields.at(i + 2).toDouble()});
    }
    return cells;
}

double model_efficiency(const Cell& cell)
{
    return calculate({Fuel::natural_gas,
                      cell.o2,
                      std::nullopt,
                      cell.net_temperature + combustion_air_temp,
                      {}})
        .efficiency;
}

} // namespace

class TestReferenceTable : public QObject {
    Q_OBJECT

private slots:
    void each_cell_within_tolerance_data()
    {
        QTest::addColumn<double>("o2");
        QTest::addColumn<double>("netTemperature");
        QTest::addColumn<double>("published");

        for (const Cell& cell : reference_cells())
            QTest::addRow("O2 %g %%, net %g °F", cell.o2, cell.net_temperature)
                << cell.o2 << cell.net_temperature << cell.efficiency;
    }

    void each_cell_within_tolerance()
    {
        QFETCH(double, o2);
        QFETCH(double, netTemperature);
        QFETCH(double, published);

        const double ours = model_efficiency({o2, netTemperature, published});
        QVERIFY2(
            std::abs(ours - published) <= tolerance,
            qPrintable(QStringLiteral("model %1, table %2").arg(ours, 0, 'f', 2).arg(published)));
    }

    void mean_difference_is_small()
    {
        const QList<Cell> cells = reference_cells();
        QCOMPARE(cells.size(), expected_cells);
        const double total =
            std::accumulate(cells.begin(), cells.end(), 0.0, [](double sum, const Cell& cell) {
                return sum + std::abs(model_efficiency(cell) - cell.efficiency);
            });
        const double mean = total / double(cells.size());
        qInfo("mean absolute difference %.3f points over %lld cells", mean,
              static_cast<long long>(cells.size()));
        QVERIFY2(mean < mean_tolerance, qPrintable(QString::number(mean, 'f', 3)));
    }
};

QTEST_APPLESS_MAIN(TestReferenceTable)
#include "test_reference_table.moc"
