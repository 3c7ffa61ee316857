#include "datalog/SampleCopy.h"

#include <QtEndian>

namespace SampleCopy {

namespace {

constexpr char Signature[] = "PGCOPY\n\377\r\n";  // with its closing zero: 11 bytes
constexpr qint16 SampleFields = 2 + SampleView::Texts + 2;
constexpr qint16 RowFields = 2 + SampleFields;  // the record number and the window first

template<class Int>
void appendInt(QByteArray &out, Int value)
{
    char bytes[sizeof(Int)];
    qToBigEndian(value, bytes);
    out.append(bytes, qsizetype(sizeof bytes));
}

void appendNumber(QByteArray &out, qint64 value)
{
    appendInt<qint32>(out, 8);
    appendInt<qint64>(out, value);
}

void appendText(QByteArray &out, QByteArrayView text)
{
    appendInt<qint32>(out, qint32(text.size()));
    out.append(text);
}

// Reads a stream from `at` to `end`, moving `at` past what was read.
class Reader
{
public:
    Reader(const char *at, const char *end) : m_at(at), m_end(end) {}

    bool atEnd() const { return m_at == m_end; }
    const char *at() const { return m_at; }

    template<class Int>
    bool integer(Int *value)
    {
        if (m_end - m_at < qsizetype(sizeof(Int)))
            return false;
        *value = qFromBigEndian<Int>(m_at);
        m_at += sizeof(Int);
        return true;
    }
    bool skip(qsizetype bytes)
    {
        if (bytes < 0 || m_end - m_at < bytes)
            return false;
        m_at += bytes;
        return true;
    }
    // A field's value; a NULL reads as empty.
    bool field(QByteArrayView *value)
    {
        qint32 size = 0;
        if (!integer(&size))
            return false;
        if (size == -1) {
            *value = QByteArrayView();
            return true;
        }
        const char *start = m_at;
        if (!skip(size))
            return false;
        *value = QByteArrayView(start, size);
        return true;
    }
    // An integer column as the server sends it (2, 4 or 8 bytes); a NULL reads as 0.
    bool number(qint64 *value)
    {
        QByteArrayView bytes;
        if (!field(&bytes))
            return false;
        switch (bytes.size()) {
        case 0: *value = 0; return bytes.isNull();
        case 2: *value = qFromBigEndian<qint16>(bytes.data()); return true;
        case 4: *value = qFromBigEndian<qint32>(bytes.data()); return true;
        case 8: *value = qFromBigEndian<qint64>(bytes.data()); return true;
        default: return false;
        }
    }

private:
    const char *m_at;
    const char *m_end;
};

enum class Step { Row, End, Damaged };

Step readRow(Reader &in, SampleView &view)
{
    qint16 fields = 0;
    if (!in.integer(&fields))
        return Step::Damaged;
    if (fields == -1)
        return in.atEnd() ? Step::End : Step::Damaged;
    if (fields != SampleFields || !in.number(&view.seqNo))
        return Step::Damaged;
    for (QByteArrayView &text : view.texts) {
        if (!in.field(&text))
            return Step::Damaged;
    }
    return in.field(&view.comment) && in.number(&view.timeTick) && in.number(&view.diffLastTime)
        ? Step::Row : Step::Damaged;
}

} // namespace

QByteArray header()
{
    QByteArray out(Signature, sizeof Signature);
    appendInt<qint32>(out, 0);  // no flags
    appendInt<qint32>(out, 0);  // no header extension
    return out;
}

QByteArray trailer()
{
    QByteArray out;
    appendInt<qint16>(out, -1);
    return out;
}

void Rows::append(const SampleView &sample)
{
    appendNumber(m_samples, sample.seqNo);
    for (const QByteArrayView &text : sample.texts)
        appendText(m_samples, text);
    appendText(m_samples, sample.comment);
    appendNumber(m_samples, sample.timeTick);
    appendNumber(m_samples, sample.diffLastTime);
    m_ends.append(m_samples.size());
}

QByteArray Rows::rowsFor(QByteArrayView recNo, qsizetype first, qsizetype bytes, qsizetype *next) const
{
    QByteArray start;
    appendInt<qint16>(start, RowFields);
    appendText(start, recNo);
    appendNumber(start, 1);
    QByteArray out;
    out.reserve(bytes + 4096);
    qsizetype row = first;
    do {
        const qsizetype from = row == 0 ? 0 : m_ends.at(row - 1);
        out += start;
        out.append(m_samples.constData() + from, m_ends.at(row) - from);
        ++row;
    } while (row < m_ends.size() && out.size() < bytes);
    *next = row;
    return out;
}

bool Received::take(QByteArray stream)
{
    Reader in(stream.constData(), stream.constData() + stream.size());
    qint32 flags = 0;
    qint32 extension = 0;
    if (!stream.startsWith(QByteArrayView(Signature, sizeof Signature)) || !in.skip(sizeof Signature)
        || !in.integer(&flags) || !in.integer(&extension) || !in.skip(extension))
        return false;
    const qsizetype rowsStart = in.at() - stream.constData();
    qint64 count = 0;
    SampleView view;
    for (;;) {
        const Step step = readRow(in, view);
        if (step == Step::Damaged)
            return false;
        if (step == Step::End)
            break;
        ++count;
    }
    m_stream = std::move(stream);
    m_rowsStart = rowsStart;
    m_count = count;
    return true;
}

bool Received::forEach(const std::function<bool(const SampleView &)> &visit) const
{
    Reader in(m_stream.constData() + m_rowsStart, m_stream.constData() + m_stream.size());
    SampleView view;
    for (qint64 row = 0; row < m_count; ++row) {
        if (readRow(in, view) != Step::Row)
            return false;  // checked when taken: cannot happen
        if (!visit(view))
            return true;
    }
    return true;
}

} // namespace SampleCopy
