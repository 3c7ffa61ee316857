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

    // The readings of first..viewEnd-1 that are held, reduced to at most two per column, the
    // columns splitting first..viewEnd-1 (all a view can show, held or not) into `columns`
    // equal parts: each column's smallest and largest reading in the order they were taken.
    // When no more readings are held there than columns, every one of them. Only readings
    // from `from` on are visited (from the start of its column), so readings added at the
    // end cost the last column only. `visit(index)` is called in ascending index order.
    template<class F>
    void reduce(int first, int viewEnd, int columns, int from, F &&visit) const;
    template<class F>
    void reduce(int first, int viewEnd, int columns, F &&visit) const
    {
        reduce(first, viewEnd, columns, first, visit);
    }
    // Where the column holding reading `i` starts when first..viewEnd-1 is split in columns:
    // where a reduction from `i` begins.
    static int columnStart(int first, int viewEnd, int columns, int i);

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
    // The first reading of column c when first.. is split in columns of `width` readings.
    static int columnBegin(int first, double width, int c) { return first + int(double(c) * width); }
    // The column (0..columns-1) of reading i when first.. is split in columns of `width`.
    static int columnOf(int first, double width, int columns, int i);

    std::vector<double> m_values;
    std::vector<std::vector<Block>> m_levels;  // level L holds blocks of 16^(L+1) readings
};

template<class F>
void MinMaxPyramid::reduce(int first, int viewEnd, int columns, int from, F &&visit) const
{
    first = first < 0 ? 0 : first;
    const int end = viewEnd > size() ? size() : viewEnd;
    from = from < first ? first : from;
    if (end <= first || columns <= 0 || from >= end)
        return;
    if (end - first <= columns) {
        for (int i = from; i < end; ++i)
            visit(i);
        return;
    }
    const int span = viewEnd - first;
    const double width = double(span) / columns;
    for (int c = columnOf(first, width, columns, from); c < columns; ++c) {
        const int begin = columnBegin(first, width, c);
        if (begin >= end)
            break;
        const int stop = c == columns - 1 ? viewEnd : columnBegin(first, width, c + 1);
        const Extent e = extent(begin, stop);
        if (e.empty())
            continue;
        const int a = e.minIndex < e.maxIndex ? e.minIndex : e.maxIndex;
        const int b = e.minIndex < e.maxIndex ? e.maxIndex : e.minIndex;
        visit(a);
        if (b != a)
            visit(b);
    }
}
