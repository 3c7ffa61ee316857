#include "datalog/SampleBuffer.h"

#include <QColor>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace {

const QColor DataText(0, 0, 255);
const QColor DataBack(255, 255, 192);
const QColor HighlightText(0, 0, 0);
const QColor HighlightBack(255, 192, 255);

// Columns 1..4 of the highlighted row take the highlight colours.
constexpr int HighlightFirst = 1;
constexpr int HighlightLast = 4;

} // namespace

SampleBuffer::SampleBuffer(QObject *parent) : QAbstractTableModel(parent) {}

void SampleBuffer::setChannelCount(int channels)
{
    beginResetModel();
    m_channels = std::clamp(channels, 1, MaxChannels);
    endResetModel();
}

void SampleBuffer::append(const SampleRow &row)
{
    const int i = size();
    beginInsertRows(QModelIndex(), i, i);
    store(row);
    endInsertRows();
}

void SampleBuffer::clear()
{
    beginRebuild();
    endRebuild();
}

void SampleBuffer::beginRebuild()
{
    beginResetModel();
    m_heads.clear();
    m_text.clear();
    m_apart.clear();
    m_comments.clear();
    m_highlighted = -1;
    resetTracking();
}

void SampleBuffer::endRebuild()
{
    endResetModel();
}

void SampleBuffer::store(const SampleRow &row)
{
    store(SampleBytes(row).view());
}

void SampleBuffer::store(const SampleView &view)
{
    Head head{view.seqNo, qint32(view.timeTick), qint32(view.diffLastTime), quint32(m_text.size()), {}, false};
    const int i = size();
    qsizetype length = 0;
    for (const QByteArrayView &text : view.texts)
        length += text.size();
    if (length > std::numeric_limits<quint16>::max()) {
        // Too long for the arena's 16-bit offsets (no reading comes near): kept whole, apart.
        std::array<QByteArray, TextCells> texts;
        for (int cell = 0; cell < TextCells; ++cell)
            texts[size_t(cell)] = view.texts[size_t(cell)].toByteArray();
        m_apart.insert(i, std::move(texts));
        head.apart = true;
    } else {
        for (int cell = 0; cell < TextCells; ++cell) {
            const QByteArrayView text = view.texts[size_t(cell)];
            m_text.insert(m_text.end(), text.begin(), text.end());
            head.ends[size_t(cell)] = quint16(m_text.size() - head.textStart);
        }
    }
    m_heads.push_back(head);
    if (!view.comment.isEmpty())
        m_comments.insert(i, QString::fromUtf8(view.comment));
    track(i, view.texts);
}

QByteArrayView SampleBuffer::bytes(int i, int cell) const
{
    if (i < 0 || i >= size() || cell < 0 || cell >= TextCells)
        return {};
    const Head &h = m_heads[size_t(i)];
    if (h.apart) {
        const auto texts = m_apart.constFind(i);
        return texts == m_apart.cend() ? QByteArrayView() : QByteArrayView((*texts)[size_t(cell)]);
    }
    const quint32 begin = h.textStart + (cell == 0 ? 0 : h.ends[size_t(cell - 1)]);
    const quint32 end = h.textStart + h.ends[size_t(cell)];
    return QByteArrayView(m_text.data() + begin, qsizetype(end - begin));
}

QString SampleBuffer::text(int i, int cell) const
{
    return QString::fromUtf8(bytes(i, cell));
}

SampleRow SampleBuffer::row(int i) const
{
    SampleRow r;
    if (i < 0 || i >= size())
        return r;
    const Head &h = m_heads[size_t(i)];
    r.seqNo = h.seqNo;
    r.timeTick = h.timeTick;
    r.diffLastTime = h.diffLastTime;
    r.recTime = recTime(i);
    for (int c = 0; c < MaxChannels; ++c)
        r.channels[c] = {voltage(i, c), current(i, c), reason(i, c)};
    r.comment = comment(i);
    return r;
}

qint64 SampleBuffer::seqNo(int i) const
{
    return i >= 0 && i < size() ? m_heads[size_t(i)].seqNo : -1;
}

bool SampleBuffer::setComment(int i, const QString &comment)
{
    if (i < 0 || i >= size())
        return false;
    if (comment.isEmpty())
        m_comments.remove(i);
    else
        m_comments.insert(i, comment);
    const QModelIndex cell = index(i, commentColumn());
    emit dataChanged(cell, cell);
    return true;
}

// ---------------------------------------------------------------- extremes

double SampleBuffer::readingValue(const QString &text)
{
    return readingValue(QByteArrayView(text.toUtf8()));
}

// A plain reading ("12.345", "-0,5V"): at most 15 digits and no exponent, which is all a
// panel shows. Its digits as a whole number over a power of ten are both exact doubles, so
// the one division rounds as from_chars does. nullopt for anything else.
static std::optional<double> plainReading(QByteArrayView utf8)
{
    static constexpr double Tens[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8,
                                      1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const char *p = utf8.data();
    const char *const end = p + utf8.size();
    while (p != end && (*p == ' ' || *p == '\t'))
        ++p;
    if (p != end && *p == '+')
        ++p;
    const bool negative = p != end && *p == '-';
    p += negative;
    qint64 digits = 0;
    int count = 0;
    int decimals = 0;
    bool point = false;
    for (; p != end; ++p) {
        if (*p >= '0' && *p <= '9') {
            digits = digits * 10 + (*p - '0');
            decimals += point;
            if (++count > 15)
                return std::nullopt;
        } else if ((*p == '.' || *p == ',') && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (count == 0 || (p != end && (*p == 'e' || *p == 'E')))
        return std::nullopt;
    const double value = double(digits) / Tens[decimals];
    return negative ? -value : value;
}

double SampleBuffer::readingValue(QByteArrayView utf8)
{
    if (const std::optional<double> plain = plainReading(utf8))
        return *plain;
    // The number the text starts with, as NumberFormat::leadingNumber reads it, with a
    // decimal comma taken as a point; parsed from the bytes, since the buffer's extremes
    // read every reading of a long record.
    char buffer[64];
    qsizetype n = 0;
    qsizetype i = 0;
    while (i < utf8.size() && (utf8[i] == ' ' || utf8[i] == '\t'))
        ++i;
    for (; i < utf8.size() && n < qsizetype(sizeof buffer) - 1; ++i)
        buffer[n++] = utf8[i] == ',' ? '.' : utf8[i];
    buffer[n] = '\0';
    const char *begin = buffer;
    if (*begin == '+')
        ++begin;
    const char first = *begin == '-' ? begin[1] : *begin;
    if (!(std::isdigit(static_cast<unsigned char>(first)) || first == '.'))
        return 0;
    double value = 0;
    const auto result = std::from_chars(begin, buffer + n, value, std::chars_format::general);
    return result.ec == std::errc() && std::isfinite(value) ? value : 0;
}

void SampleBuffer::resetTracking()
{
    m_ranges.fill(ChannelRange{});
    for (MinMaxPyramid &series : m_series)
        series.clear();
}

void SampleBuffer::track(int i, const std::array<QByteArrayView, TextCells> &texts)
{
    // Each reading is read as a number once, as it arrives: for the extremes and the series.
    auto update = [i](Extreme &max, Extreme &min, MinMaxPyramid &series, QByteArrayView text) {
        const double v = readingValue(text);
        series.append(v);
        if (text.isEmpty())
            return;
        if (max.row < 0 || v > max.value)
            max = {v, i};
        if (min.row < 0 || v < min.value)
            min = {v, i};
    };
    for (int c = 0; c < MaxChannels; ++c) {
        ChannelRange &r = m_ranges[size_t(c)];
        update(r.maxV, r.minV, m_series[size_t(2 * c)], texts[size_t(1 + 3 * c)]);
        update(r.maxA, r.minA, m_series[size_t(2 * c + 1)], texts[size_t(2 + 3 * c)]);
    }
}

double SampleBuffer::number(int i, int channel, bool current) const
{
    if (i < 0 || i >= size() || channel < 0 || channel >= MaxChannels)
        return 0;
    return m_series[size_t(2 * channel + current)].value(i);
}

ChannelExtremes SampleBuffer::extremes(int channel) const
{
    if (channel < 0 || channel >= MaxChannels)
        return {};
    const ChannelRange &r = m_ranges[size_t(channel)];
    return {voltage(r.maxV.row, channel), voltage(r.minV.row, channel),
            current(r.maxA.row, channel), current(r.minA.row, channel)};
}

// ---------------------------------------------------------------- view

void SampleBuffer::setHighlightedRow(int i)
{
    const int previous = m_highlighted;
    m_highlighted = i >= 0 && i < size() ? i : -1;
    for (int r : {previous, m_highlighted}) {
        if (r >= 0 && r < size())
            emit dataChanged(index(r, HighlightFirst), index(r, HighlightLast));
    }
}

QString SampleBuffer::conditionCaption(const QString &code)
{
    static const QStringList captions{QStringLiteral("Time"), QStringLiteral("超過上限"),
                                      QStringLiteral("超過下限"), QStringLiteral("符合條件")};
    bool ok = false;
    const int n = code.toInt(&ok);
    return ok && n >= 0 && n < captions.size() ? captions.at(n) : code;
}

QString SampleBuffer::cellText(int i, int column) const
{
    if (column == 0)
        return QString::number(seqNo(i));
    if (column == 1)
        return recTime(i);
    if (column == commentColumn())
        return comment(i);
    const int channel = (column - 2) / 3;
    switch ((column - 2) % 3) {
    case 0: return voltage(i, channel);
    case 1: return current(i, channel);
    default: return conditionCaption(reason(i, channel));
    }
}

int SampleBuffer::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : size();
}

int SampleBuffer::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3 * m_channels + 3;
}

QVariant SampleBuffer::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= size() || index.column() >= columnCount())
        return QVariant();
    const bool highlighted = index.row() == m_highlighted && index.column() >= HighlightFirst
        && index.column() <= HighlightLast;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        // A grid cell shows the start of a long value: laying out a megabyte of text on every
        // repaint would stall the window. The value itself stays whole (row(), export).
        constexpr qsizetype MaxShown = 4096;
        const QString text = cellText(index.row(), index.column());
        return text.size() > MaxShown ? QVariant(text.left(MaxShown - 1) + QChar(0x2026)) : QVariant(text);
    }
    case Qt::ForegroundRole:
        if (index.column() == 0)
            return QVariant();
        return highlighted ? HighlightText : DataText;
    case Qt::BackgroundRole:
        if (index.column() == 0)
            return QVariant();
        return highlighted ? HighlightBack : DataBack;
    default:
        return QVariant();
    }
}

QVariant SampleBuffer::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section == 0)
        return QStringLiteral("取樣次數");
    if (section == 1)
        return QStringLiteral("取樣Time");
    if (section == commentColumn())
        return QStringLiteral("    註    解   ");
    static const QStringList kinds{QStringLiteral("Voltage[V]"), QStringLiteral("Current[A]"),
                                   QStringLiteral("取樣條件")};
    const int channel = (section - 2) / 3 + 1;
    return QStringLiteral("CH%1:%2").arg(channel).arg(kinds.at((section - 2) % 3));
}
