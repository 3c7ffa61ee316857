#pragma once

#include <QByteArray>

// The receive buffer of a line-oriented link, bounded whatever the other end sends: a line
// longer than MaxLineBytes is dropped whole (up to and with its terminator), and when the
// buffer would grow past MaxBufferBytes its oldest complete lines give way, as only the
// newest answer is ever used. Only whole lines are handed out: the line still arriving stays
// here, so a line dropped for its length never leaves a piece of itself with the reader.
class BoundedInput
{
public:
    static constexpr qsizetype MaxLineBytes = 4 * 1024;
    static constexpr qsizetype MaxBufferBytes = 64 * 1024;

    // Appends received bytes; returns how many over-long lines began being dropped.
    int append(const char *data, qsizetype size);
    // Every complete line kept so far, each with its terminator; the line still arriving
    // stays (and a line being dropped stays dropped).
    QByteArray take();
    // True while a line has begun arriving and is not complete yet.
    bool hasPartialLine() const { return m_data.size() > m_lineStart; }
    void clear();
    qsizetype size() const { return m_data.size(); }

private:
    void trimToLimit();

    QByteArray m_data;
    qsizetype m_lineStart = 0;  // where the unterminated last line begins in m_data
    bool m_dropping = false;    // inside an over-long line: discard up to its terminator
};
