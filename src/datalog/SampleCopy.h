#pragma once

#include "datalog/RecordTypes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <functional>

// A record's samples in PostgreSQL's binary COPY format: texts travel as their bytes and
// numbers as 8-byte integers, so nothing is escaped on the way out or parsed on the way in.
namespace SampleCopy {

// The start and the end of a stream.
QByteArray header();
QByteArray trailer();

// Samples to be written as `datadetail (recno,SeqWindow,<sample columns>)` rows, made before
// their record number is known: each row is completed by rowsFor() once it is.
class Rows
{
public:
    void append(const SampleView &sample);
    qsizetype count() const { return m_ends.size(); }
    // The rows from `first` (at most about `bytes` of them, at least one), each numbered
    // `recNo` in window 1; sets `*next` to the row after the last one.
    QByteArray rowsFor(QByteArrayView recNo, qsizetype first, qsizetype bytes, qsizetype *next) const;

private:
    QByteArray m_samples;     // each sample's fields, one after another
    QList<qsizetype> m_ends;  // where each sample's fields end in m_samples
};

// A whole stream of `COPY (SELECT <sample columns> ...) TO STDOUT (FORMAT binary)`, checked
// once when taken and then read as often as wanted.
class Received
{
public:
    // False when `stream` is not such a stream (nothing is taken then).
    bool take(QByteArray stream);
    qint64 count() const { return m_count; }
    // Every sample in the stream's order; stops early when `visit` returns false.
    bool forEach(const std::function<bool(const SampleView &)> &visit) const;

private:
    QByteArray m_stream;
    qsizetype m_rowsStart = 0;
    qint64 m_count = 0;
};

} // namespace SampleCopy
