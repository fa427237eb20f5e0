// What the bench programs' summaries take of a benchmark's repetitions.
#pragma once

#include <algorithm>
#include <vector>

// The median, 0 for none.
inline double MedianOf(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}
