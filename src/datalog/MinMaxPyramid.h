#pragma once

#include <cstddef>
#include <vector>

// The readings of one trace with, over them, the index of the smallest and largest reading of
// every block of 16, 256, 4096, ... readings, so the extremes of any span are found in a few
// dozen steps instead of one per reading. Kept up to date one reading at a time. NaN stands for
// a missing reading: it is never an extreme, and a span of nothing else has none.
class MinMaxPyramid
{
public:
    // Indices of the smallest and largest reading of a span; -1 when it holds no number.
    struct Extent {
        int minIndex = -1;
        int maxIndex = -1;
        bool empty() const { return minIndex < 0; }
    };

    void clear();
    void reserve(int readings);
    void append(double value);

    int size() const { return int(m_values.size()); }
    double value(int i) const { return m_values[size_t(i)]; }

    // Extremes of readings first..end-1 (clamped to the readings held).
    Extent extent(int first, int end) const;

    // The readings of first..end-1 reduced to at most two per column for `columns` columns:
    // each column's smallest and largest reading in the order they were taken, or every
    // reading when there are no more readings than columns. `visit(index)` is called in
    // ascending index order.
    template<class F>
    void reduce(int first, int end, int columns, F &&visit) const;

private:
    static constexpr int FanBits = 4;  // 16 readings or blocks per block of the next level
    static constexpr int Fan = 1 << FanBits;

    // The extremes of a block, their values kept beside their indices so a search reads
    // only the blocks.
    struct Block {
        double low = 0;
        double high = 0;
        Extent at;
        void merge(double value, int index);
        void merge(const Block &other);
    };
    void completeBlocks();

    std::vector<double> m_values;
    std::vector<std::vector<Block>> m_levels;  // level L holds blocks of 16^(L+1) readings
};

template<class F>
void MinMaxPyramid::reduce(int first, int end, int columns, F &&visit) const
{
    first = first < 0 ? 0 : first;
    end = end > size() ? size() : end;
    const int count = end - first;
    if (count <= 0 || columns <= 0)
        return;
    if (count <= columns) {
        for (int i = first; i < end; ++i)
            visit(i);
        return;
    }
    const double width = double(count) / columns;
    int begin = first;
    for (int c = 1; c <= columns; ++c) {
        const int stop = c == columns ? end : first + int(double(c) * width);
        const Extent e = extent(begin, stop);
        begin = stop;
        if (e.empty())
            continue;
        const int a = e.minIndex < e.maxIndex ? e.minIndex : e.maxIndex;
        const int b = e.minIndex < e.maxIndex ? e.maxIndex : e.minIndex;
        visit(a);
        if (b != a)
            visit(b);
    }
}
