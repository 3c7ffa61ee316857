#include "datalog/MinMaxPyramid.h"

#include <cmath>

void MinMaxPyramid::clear()
{
    m_values.clear();
    m_levels.clear();
}

void MinMaxPyramid::reserve(int readings)
{
    m_values.reserve(size_t(readings));
    size_t blocks = size_t(readings) >> FanBits;
    for (size_t level = 0; blocks > 0; ++level, blocks >>= FanBits) {
        if (m_levels.size() <= level)
            m_levels.emplace_back();
        m_levels[level].reserve(blocks);
    }
}

void MinMaxPyramid::append(double value)
{
    m_values.push_back(value);
    completeBlocks();
}

void MinMaxPyramid::completeBlocks()
{
    // A block is added once its last reading arrives; a partial block at the end is read
    // reading by reading (or block by block one level down) until then.
    const size_t n = m_values.size();
    size_t span = Fan;
    for (size_t level = 0; n % span == 0; ++level, span <<= FanBits) {
        if (m_levels.size() <= level)
            m_levels.emplace_back();
        Extent e;
        if (level == 0) {
            for (size_t i = n - Fan; i < n; ++i)
                merge(e, int(i));
        } else {
            const std::vector<Extent> &below = m_levels[level - 1];
            for (size_t b = below.size() - Fan; b < below.size(); ++b)
                merge(e, below[b]);
        }
        m_levels[level].push_back(e);
    }
}

void MinMaxPyramid::merge(Extent &into, int index) const
{
    const double v = m_values[size_t(index)];
    if (std::isnan(v))
        return;
    if (into.minIndex < 0) {
        into = {index, index};
        return;
    }
    if (v < m_values[size_t(into.minIndex)])
        into.minIndex = index;
    if (v > m_values[size_t(into.maxIndex)])
        into.maxIndex = index;
}

void MinMaxPyramid::merge(Extent &into, const Extent &block) const
{
    if (block.empty())
        return;
    if (into.empty()) {
        into = block;
        return;
    }
    if (m_values[size_t(block.minIndex)] < m_values[size_t(into.minIndex)])
        into.minIndex = block.minIndex;
    if (m_values[size_t(block.maxIndex)] > m_values[size_t(into.maxIndex)])
        into.maxIndex = block.maxIndex;
}

MinMaxPyramid::Extent MinMaxPyramid::extent(int first, int end) const
{
    Extent e;
    size_t i = size_t(first < 0 ? 0 : first);
    const size_t stop = size_t(end > size() ? size() : end < 0 ? 0 : end);
    while (i < stop) {
        // The largest whole block that starts at i and ends by `stop`, else one reading.
        int level = -1;
        size_t span = Fan;
        for (int l = 0; l < int(m_levels.size()); ++l, span <<= FanBits) {
            if (i % span != 0 || i + span > stop || i / span >= m_levels[size_t(l)].size())
                break;
            level = l;
        }
        if (level < 0) {
            merge(e, int(i));
            ++i;
        } else {
            const size_t blockSpan = size_t(Fan) << (FanBits * level);
            merge(e, m_levels[size_t(level)][i / blockSpan]);
            i += blockSpan;
        }
    }
    return e;
}
