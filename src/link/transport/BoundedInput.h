#pragma once

#include <QByteArray>

// The receive buffer of a line-oriented link, bounded whatever the other end sends: a line
// longer than MaxLineBytes is dropped whole (up to and with its terminator), and when the
// buffer would grow past MaxBufferBytes its oldest complete lines give way, as only the
// newest answer is ever used.
class BoundedInput
{
public:
    static constexpr qsizetype MaxLineBytes = 4 * 1024;
    static constexpr qsizetype MaxBufferBytes = 64 * 1024;

    // Appends received bytes; returns how many over-long lines began being dropped.
    int append(const char *data, qsizetype size);
    // Everything kept so far; empties the buffer (a line being dropped stays dropped).
    QByteArray take();
    void clear();
    qsizetype size() const { return m_data.size(); }

private:
    void trimToLimit();

    QByteArray m_data;
    qsizetype m_lineStart = 0;  // where the unterminated last line begins in m_data
    bool m_dropping = false;    // inside an over-long line: discard up to its terminator
};
