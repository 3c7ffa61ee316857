#include "mainwin/StatusLine.h"

#include "resources/Strings.h"

QString StatusLine::tick(int mainFormState)
{
    m_alive = (m_alive + 1) % 1000;
    QString text;
    switch (mainFormState) {
    case 0:
        text = Strings::res(108);
        break;
    case 1:
        text = Strings::res(109) + Strings::res(110).repeated(m_alive % 30);
        break;
    case 2:
    case 3:
        text = Strings::res(111);
        break;
    default:
        break;
    }
    if (m_liveMs > 0) {
        m_liveMs = qMax(0, m_liveMs - TickMs);
        text = m_line;
    }
    return text;
}

void StatusLine::report(const QString &text, int ms)
{
    m_line = text;
    m_liveMs = ms;
}
