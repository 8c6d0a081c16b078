// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/groups.h"

#include "text/names.h"
#include "text/numbers.h"

namespace quemador::log {

Totals& GroupTable::of(std::size_t boiler, std::int32_t month)
{
    if (last_ < groups_.size() && month == last_month_ && boiler == last_boiler_)
        return groups_[last_].second;
    if (boiler == others_boiler ||
        (groups_.size() >= most_groups && !index_.contains(std::pair(boiler, month))))
        return others_;
    const auto [at, added] = index_.emplace(std::pair(boiler, month), groups_.size());
    if (added)
        groups_.emplace_back(std::pair(boiler, month), Totals{});
    last_ = at->second;
    last_boiler_ = boiler;
    last_month_ = month;
    return groups_[last_].second;
}

void GroupTable::settle(DateOrder order)
{
    for (const auto& [key, totals] : waiting_) {
        const auto days = AmbiguousDate::of_key(key.second).in(order).time_since_epoch();
        of(key.first, month_of(days.count())).merge(totals);
    }
    waiting_.clear();
}

std::size_t Boilers::of(std::string_view cell)
{
    const std::string_view spelling = text::trimmed(cell);
    if (last_ < names_.size() && spelling == last_spelling_)
        return last_;
    auto spelled = spellings_.find(spelling);
    if (spelled == spellings_.end()) {
        const std::string key = text::caseless(spelling);
        auto known = keys_.find(key);
        if (known == keys_.end()) {
            if (names_.size() >= most_groups)
                return others;
            known = keys_.emplace(key, names_.size()).first;
            names_.emplace_back(spelling);
        } else if (respelled_++ == 0) {
            first_respelled_ = {names_[known->second], std::string(spelling)};
        }
        // Each spelling is kept, for the next row that writes it, up to a bound.
        if (spellings_.size() >= 2 * most_groups)
            return known->second;
        spelled = spellings_.emplace(std::string(spelling), known->second).first;
    }
    last_ = spelled->second;
    last_spelling_ = spelling;
    return last_;
}

} // namespace quemador::log
