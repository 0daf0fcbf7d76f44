#pragma once

#include <algorithm>

// The median of a benchmark's rounds (the upper one of an even count).
template <class Rounds> double Median(Rounds rounds)
{
    std::sort(rounds.begin(), rounds.end());
    return rounds[rounds.size() / 2];
}
