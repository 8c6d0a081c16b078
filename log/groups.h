// SPDX-License-Identifier: GPL-3.0-or-later
// A log's rows counted together: each figure's totals, by boiler and month, and the
// boilers a log names.
#pragma once

#include "calculation/report.h"
#include "log/dates.h"
#include "log/summary.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quemador::log {

// Each figure over the rows calculated, by kind, and the analyser's efficiency less the
// net one.
struct Totals {
    std::array<Spread, figure_count> spreads{};
    Differences analyser;
    std::uint64_t read = 0;
    std::uint64_t with_notices = 0;

    // Takes in another set of rows' totals.
    void merge(const Totals& other)
    {
        for (std::size_t k = 0; k < spreads.size(); ++k)
            spreads.at(k).merge(other.spreads.at(k));
        analyser.merge(other.analyser);
        read += other.read;
        with_notices += other.with_notices;
    }
};

// Rows' totals by boiler and month, the last one found looked at first: rows come in
// runs of one boiler and one month. Past most_groups, the rows of every other group
// together. Rows whose month waits for the date column's order are held by boiler and
// date until it is settled.
class GroupTable {
public:
    static constexpr std::size_t others_boiler = static_cast<std::size_t>(-1);

    Totals& of(std::size_t boiler, std::int32_t month);

    Totals& waiting(std::size_t boiler, const AmbiguousDate& date)
    {
        return boiler == others_boiler ? others_ : waiting_[std::pair(boiler, date.key())];
    }

    // The date column's order is known: the rows that waited for it go to their months.
    void settle(DateOrder order);

    // The groups by boiler and month, in order.
    template <typename Each> void each(Each each) const
    {
        for (const auto& [key, index] : index_)
            each(key.first, key.second, groups_[index].second);
    }
    [[nodiscard]] const Totals& others() const { return others_; }

private:
    std::map<std::pair<std::size_t, std::int32_t>, std::size_t> index_;
    std::vector<std::pair<std::pair<std::size_t, std::int32_t>, Totals>> groups_;
    Totals others_;
    std::size_t last_ = static_cast<std::size_t>(-1);
    std::size_t last_boiler_ = 0;
    std::int32_t last_month_ = 0;
    std::map<std::pair<std::size_t, std::uint32_t>, Totals> waiting_;
};

// The boilers a log names: one for each name whatever its case, accents and the blanks
// around it, shown as the log first writes it, numbered in the order the log names
// them. Past most_groups of them, any other is one of the others.
class Boilers {
public:
    static constexpr std::size_t others = GroupTable::others_boiler;

    std::size_t of(std::string_view cell);

    [[nodiscard]] const std::string& name(std::size_t boiler) const { return names_[boiler]; }

    // Boilers written another way than first: how many ways, the first of them.
    [[nodiscard]] std::uint64_t respelled() const { return respelled_; }
    [[nodiscard]] const std::pair<std::string, std::string>& first_respelled() const
    {
        return first_respelled_;
    }

private:
    std::map<std::string, std::size_t, std::less<>> spellings_;
    std::map<std::string, std::size_t, std::less<>> keys_;
    std::vector<std::string> names_;
    std::size_t last_ = others;
    std::string last_spelling_;
    std::uint64_t respelled_ = 0;
    std::pair<std::string, std::string> first_respelled_;
};

} // namespace quemador::log
