#include "link/transport/BoundedInput.h"

#include <algorithm>

namespace {

bool isTerminator(char c)
{
    return c == '\n' || c == '\r';
}

const char *findTerminator(const char *from, const char *end)
{
    return std::find_if(from, end, isTerminator);
}

} // namespace

int BoundedInput::append(const char *data, qsizetype size)
{
    int dropped = 0;
    const char *p = data;
    const char *const end = data + size;
    while (p < end) {
        const char *term = findTerminator(p, end);
        if (m_dropping) {
            if (term == end)
                return dropped;  // still inside the over-long line
            m_dropping = false;
            p = term + 1;
            continue;
        }
        const qsizetype pending = (m_data.size() - m_lineStart) + (term - p);
        if (pending > MaxLineBytes) {
            // Too long to be an answer: forget what was kept of it and skip the rest.
            m_data.truncate(m_lineStart);
            m_dropping = true;
            ++dropped;
            p = term;
            continue;
        }
        if (term == end) {
            m_data.append(p, end - p);
            break;
        }
        m_data.append(p, term - p + 1);
        m_lineStart = m_data.size();
        p = term + 1;
    }
    trimToLimit();
    return dropped;
}

void BoundedInput::trimToLimit()
{
    if (m_data.size() <= MaxBufferBytes)
        return;
    // Drop whole lines from the front; the unterminated tail is at most MaxLineBytes long,
    // so a terminator is always found inside the excess region or just after it.
    const qsizetype excess = m_data.size() - MaxBufferBytes;
    const char *begin = m_data.constData();
    const char *cut = findTerminator(begin + excess - 1, begin + m_lineStart);
    const qsizetype removed = cut < begin + m_lineStart ? (cut - begin) + 1 : m_lineStart;
    m_data.remove(0, removed);
    m_lineStart -= removed;
}

QByteArray BoundedInput::take()
{
    QByteArray lines;
    if (m_lineStart == m_data.size()) {
        lines.swap(m_data);
    } else {
        lines = m_data.left(m_lineStart);
        m_data.remove(0, m_lineStart);
    }
    m_lineStart = 0;
    return lines;
}

void BoundedInput::clear()
{
    m_data.clear();
    m_lineStart = 0;
    m_dropping = false;
}
