#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>

// Value types of the record store. Readings, time stamps and record numbers are kept as the
// text the panels showed; only the sample counters and second counts are numbers.

// One channel's part of a sample row.
struct ChannelReading {
    QString voltage;  // PVal, PVal2, ...
    QString current;  // SVal, SVal2, ...
    QString reason;   // Reason, Reason2, ...: sampling-condition code

    bool operator==(const ChannelReading &) const = default;
};

// One row of the sample buffer (`datatemp`) and of a saved record's samples (`datadetail`).
struct SampleRow {
    qint64 seqNo = 0;                      // SeqNo: 0 for the first sample
    QString recTime;                       // RecTime: "YYYY/MM/DD HH:MM:SS"
    std::array<ChannelReading, 4> channels;
    QString comment;                       // Comment
    qint64 timeTick = 0;                   // TimeTick: seconds from the start of the recording
    qint64 diffLastTime = 0;               // DiffLastTime: seconds since the previous sample

    bool operator==(const SampleRow &) const = default;
};

// A sample as the store reads a whole buffer: the texts as UTF-8 views, valid only while the
// reader's visit runs. Reading them this way costs no string object per cell.
struct SampleView {
    static constexpr int Texts = 13;  // RecTime, then voltage, current and condition of channels 1..4
    qint64 seqNo = 0;
    qint64 timeTick = 0;
    qint64 diffLastTime = 0;
    std::array<QByteArrayView, Texts> texts;
    QByteArrayView comment;

    SampleRow toRow() const;
};

inline SampleRow SampleView::toRow() const
{
    SampleRow row;
    row.seqNo = seqNo;
    row.recTime = QString::fromUtf8(texts[0]);
    for (int c = 0; c < 4; ++c) {
        row.channels[size_t(c)] = {QString::fromUtf8(texts[size_t(1 + 3 * c)]),
                                   QString::fromUtf8(texts[size_t(2 + 3 * c)]),
                                   QString::fromUtf8(texts[size_t(3 + 3 * c)])};
    }
    row.comment = QString::fromUtf8(comment);
    row.timeTick = timeTick;
    row.diffLastTime = diffLastTime;
    return row;
}

// A sample row's texts as UTF-8, for a reader of SampleViews.
struct SampleBytes {
    explicit SampleBytes(const SampleRow &row)
        : recTime(row.recTime.toUtf8()), comment(row.comment.toUtf8()), seqNo(row.seqNo),
          timeTick(row.timeTick), diffLastTime(row.diffLastTime)
    {
        for (size_t c = 0; c < 4; ++c) {
            readings[3 * c] = row.channels[c].voltage.toUtf8();
            readings[3 * c + 1] = row.channels[c].current.toUtf8();
            readings[3 * c + 2] = row.channels[c].reason.toUtf8();
        }
    }

    // Valid while this object lives.
    SampleView view() const
    {
        SampleView v;
        v.seqNo = seqNo;
        v.timeTick = timeTick;
        v.diffLastTime = diffLastTime;
        v.texts[0] = recTime;
        for (size_t i = 0; i < readings.size(); ++i)
            v.texts[i + 1] = readings[i];
        v.comment = comment;
        return v;
    }

    QByteArray recTime;
    std::array<QByteArray, SampleView::Texts - 1> readings;
    QByteArray comment;
    qint64 seqNo;
    qint64 timeTick;
    qint64 diffLastTime;
};

// One saved record (`datamain`).
struct RecordInfo {
    QString recNo;      // decimal digits
    QString startTime;  // "YYYY/MM/DD HH:MM:SS"
    QString endTime;
    QString comment;    // the description the user typed
    QString pUnit = QStringLiteral("V");
    QString sUnit = QStringLiteral("A");
    QString recStyle;   // sampling-scale position of the record setup, decimal
    QString showStyle;  // x-axis length position of the graph window, decimal
    // Where the record was made: the bench computer's host name and the supply's machine
    // type. Kept by the lab server; empty for records of this computer's store.
    QString hostName;
    QString machineType;

    // The record lists' last column: "host (type)", "host" or "" when neither is known.
    QString bench() const
    {
        if (machineType.isEmpty())
            return hostName;
        return hostName.isEmpty() ? machineType : hostName + QStringLiteral(" (") + machineType + QLatin1Char(')');
    }
    // A record list's line followed by a blank and bench(), when that is known.
    QString withBench(const QString &line) const
    {
        const QString where = bench();
        return where.isEmpty() ? line : line + QLatin1Char(' ') + where;
    }
};

// Largest and smallest reading of one channel over the sample buffer, each the stored text of
// that reading (compared as numbers); empty when the buffer holds no reading.
struct ChannelExtremes {
    QString maxV;
    QString minV;
    QString maxA;
    QString minA;
};

// A failed store operation: the database's error number and description, as the windows show
// them ("System Error caused by " + number + ":" + description).
struct StoreError {
    QString number;
    QString description;
    // The store's server could not be reached (or went away during the operation): nothing
    // was changed, and the operation may be tried again or elsewhere.
    bool unreachable = false;
    // The cause in words when it is the disk's or the folder's (no space left, no permission
    // to write); shown instead of the number and the database's own words.
    QString cause;

    bool isSet() const { return !number.isEmpty() || !description.isEmpty(); }
};
