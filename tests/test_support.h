// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "runtime/runtime_error.h"

#include <QString>
#include <QTest>

#include <optional>
#include <string>

// Exact comparison of doubles (QCOMPARE on doubles is fuzzy), -0 and +0 alike.
#define QCOMPARE_EXACT(actual, expected)                                                           \
    do {                                                                                           \
        const double a_ = (actual);                                                                \
        const double e_ = (expected);                                                              \
        QVERIFY2(                                                                                  \
            a_ == e_,                                                                              \
            qPrintable(                                                                            \
                QStringLiteral("got %1, expected %2").arg(a_, 0, 'g', 17).arg(e_, 0, 'g', 17)));   \
    } while (false)

// Runs f and returns the RuntimeError it raised, if any.
template <typename F> std::optional<quemador::RuntimeError> runtime_error_of(F&& f)
{
    try {
        f();
    } catch (const quemador::RuntimeError& e) {
        return e;
    }
    return std::nullopt;
}

inline QString q(const std::string& s) { return QString::fromStdString(s); }
