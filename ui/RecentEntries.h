#pragma once
// The move-to-front rule of the recent lists (sites, copy/move folders): newest first,
// a bounded number of entries, a match found by the list's own comparison.
#include <cstddef>
#include <deque>
#include <string>
#include <utility>

// Puts `entry` in front of `list`. Returns the index the matching entry had (0: it was
// already first and nothing changed), or -1 when there was none; a new entry first cuts
// the list to limit - 1 entries. `entry` is a copy, as it may be one of the list's own.
template <class Equal>
int MoveToFront(std::deque<std::string>& list, std::string entry, std::size_t limit, Equal equal)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!equal(list[i], entry))
            continue;
        if (i != 0) {
            list.erase(list.begin() + static_cast<std::ptrdiff_t>(i));
            list.push_front(std::move(entry));
        }
        return static_cast<int>(i);
    }
    if (limit > 0 && list.size() > limit - 1)
        list.resize(limit - 1);
    list.push_front(std::move(entry));
    return -1;
}
