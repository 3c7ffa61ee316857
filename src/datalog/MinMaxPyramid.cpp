#include "datalog/MinMaxPyramid.h"

#include <algorithm>
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
        Block b;
        if (level == 0) {
            for (size_t i = n - Fan; i < n; ++i)
                b.merge(m_values[i], int(i));
        } else {
            const std::vector<Block> &below = m_levels[level - 1];
            for (size_t k = below.size() - Fan; k < below.size(); ++k)
                b.merge(below[k]);
        }
        m_levels[level].push_back(b);
    }
}

void MinMaxPyramid::Block::merge(double value, int index)
{
    if (std::isnan(value))
        return;
    if (at.empty()) {
        low = high = value;
        at = {index, index};
        return;
    }
    if (value < low) {
        low = value;
        at.minIndex = index;
    }
    if (value > high) {
        high = value;
        at.maxIndex = index;
    }
}

void MinMaxPyramid::Block::merge(const Block &other)
{
    if (other.at.empty())
        return;
    if (at.empty()) {
        *this = other;
        return;
    }
    if (other.low < low) {
        low = other.low;
        at.minIndex = other.at.minIndex;
    }
    if (other.high > high) {
        high = other.high;
        at.maxIndex = other.at.maxIndex;
    }
}

MinMaxPyramid::Extent MinMaxPyramid::extent(int first, int end) const
{
    Block e;
    size_t i = size_t(first < 0 ? 0 : first);
    const size_t stop = size_t(end > size() ? size() : end < 0 ? 0 : end);
    const int levels = int(m_levels.size());
    while (i < stop) {
        // The largest whole block that starts at i and ends by `stop`, else one reading.
        int level = -1;
        for (int l = 0; l < levels; ++l) {
            const int shift = FanBits * (l + 1);
            const size_t span = size_t(1) << shift;
            if ((i & (span - 1)) != 0 || i + span > stop || (i >> shift) >= m_levels[size_t(l)].size())
                break;
            level = l;
        }
        if (level < 0) {
            e.merge(m_values[i], int(i));
            ++i;
        } else {
            const int shift = FanBits * (level + 1);
            e.merge(m_levels[size_t(level)][i >> shift]);
            i += size_t(1) << shift;
        }
    }
    return e.at;
}

int MinMaxPyramid::columnOf(int first, double width, int columns, int i)
{
    int c = std::clamp(int(double(i - first) / width), 0, columns - 1);
    while (c + 1 < columns && columnBegin(first, width, c + 1) <= i)
        ++c;
    while (c > 0 && columnBegin(first, width, c) > i)
        --c;
    return c;
}

int MinMaxPyramid::columnStart(int first, int viewEnd, int columns, int i)
{
    const int span = viewEnd - first;
    if (columns <= 0 || span <= 0 || i <= first)
        return std::max(i, first);
    const double width = double(span) / columns;
    return columnBegin(first, width, columnOf(first, width, columns, i));
}
