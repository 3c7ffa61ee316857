#pragma once

#include "datalog/MinMaxPyramid.h"
#include "datalog/RecordTypes.h"

#include <QAbstractTableModel>
#include <QHash>

#include <array>
#include <vector>

// The sample buffer of the running or loaded recording: one row per stored sample, in the
// grid's columns (sample number, time, then voltage, current and condition of each of k
// channels, last the comment: 3k + 3 columns). The recording engine appends to it; a load
// rebuilds it; the table and graph windows are views of the whole of it.
//
// Compact: every row's texts live in one growing arena and its numbers in a fixed-size head,
// so 100 000 samples cost a few tens of bytes each instead of a string object per cell.
// Comments, which are rare, are kept apart. Both grow by amortised doubling. Each reading is
// also kept as a number, in one min/max pyramid per trace, so that the graph draws a long
// recording from a few points per pixel column.
class SampleBuffer : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int MaxChannels = 4;

    explicit SampleBuffer(QObject *parent = nullptr);

    // 1..4 channels shown; the other columns of a row are kept but not shown.
    void setChannelCount(int channels);
    int channelCount() const { return m_channels; }

    int size() const { return int(m_heads.size()); }
    // Adds `row` at the end.
    void append(const SampleRow &row);
    void clear();
    // Replacing every row: begin, add each, end. The views are reset once.
    void beginRebuild();
    void add(const SampleRow &row) { store(row); }
    void add(const SampleView &view) { store(view); }
    void endRebuild();

    SampleRow row(int i) const;
    qint64 seqNo(int i) const;
    // Seconds from the start of the recording to sample i (TimeTick); 0 outside the buffer.
    qint64 timeTick(int i) const { return i >= 0 && i < size() ? m_heads[size_t(i)].timeTick : 0; }
    QString recTime(int i) const { return text(i, 0); }
    QString voltage(int i, int channel) const { return text(i, 1 + 3 * channel); }  // channel 0..3
    QString current(int i, int channel) const { return text(i, 2 + 3 * channel); }
    QString reason(int i, int channel) const { return text(i, 3 + 3 * channel); }
    // The UTF-8 text of cell `cell` (0 time, then voltage, current and condition of each
    // channel), valid until the buffer changes.
    QByteArrayView cellBytes(int i, int cell) const { return bytes(i, cell); }
    // A reading as a number (0 for a blank reading), kept as the row arrived.
    double voltageValue(int i, int channel) const { return number(i, channel, false); }
    double currentValue(int i, int channel) const { return number(i, channel, true); }
    // Every voltage or current reading of `channel` (0..3) as a number, with the extremes of
    // any span of rows at hand: what the graph draws from.
    const MinMaxPyramid &series(int channel, bool current) const { return m_series[size_t(2 * channel + current)]; }
    QString comment(int i) const { return m_comments.value(i); }
    bool setComment(int i, const QString &comment);

    // Largest and smallest reading of `channel` (0..3) over the rows, each the text of that
    // reading; kept up to date as rows arrive.
    ChannelExtremes extremes(int channel) const;

    // The row drawn highlighted (-1: none).
    void setHighlightedRow(int i);
    int highlightedRow() const { return m_highlighted; }

    // A reading as a number: the number it starts with, a decimal comma counting as a point
    // ("12,5V" is 12.5, "" is 0).
    static double readingValue(const QString &text);
    static double readingValue(QByteArrayView utf8);
    // The grid's text of a condition code: "0" is "Time", "1".."3" the limit conditions.
    static QString conditionCaption(const QString &code);

    // Column of the comment for the current channel count.
    int commentColumn() const { return 3 * m_channels + 2; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    static constexpr int TextCells = SampleView::Texts;  // RecTime, then V, A, condition per channel

    struct Head {
        qint64 seqNo;
        qint32 timeTick;
        qint32 diffLastTime;
        quint32 textStart;
        std::array<quint16, TextCells> ends;  // end of each cell, from textStart
        bool apart;                           // the texts are in m_apart instead
    };
    // Where a channel's extreme reading is: its value and row.
    struct Extreme {
        double value = 0;
        int row = -1;
    };
    struct ChannelRange {
        Extreme maxV, minV, maxA, minA;
    };

    void store(const SampleRow &row);
    void store(const SampleView &view);
    void track(int i, const std::array<QByteArrayView, TextCells> &texts);
    void resetTracking();
    QString text(int i, int cell) const;
    QByteArrayView bytes(int i, int cell) const;
    QString cellText(int i, int column) const;
    double number(int i, int channel, bool current) const;

    int m_channels = 1;
    std::vector<Head> m_heads;
    std::vector<char> m_text;  // UTF-8
    QHash<int, std::array<QByteArray, TextCells>> m_apart;  // rows too long for the arena
    QHash<int, QString> m_comments;
    std::array<ChannelRange, MaxChannels> m_ranges;
    std::array<MinMaxPyramid, 2 * MaxChannels> m_series;  // V, A of channel 1, then of 2, ...
    int m_highlighted = -1;
};
