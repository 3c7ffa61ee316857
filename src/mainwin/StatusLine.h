#pragma once

#include <QString>

// The status bar's text: the connection state (with a growing row of asterisks while the
// machine type is being identified) or, for a while, a reported message. Advanced by the
// main window's 100 ms status timer.
class StatusLine
{
public:
    static constexpr int TickMs = 100;

    // One status-timer tick for `mainFormState`; returns the text to show.
    QString tick(int mainFormState);

    // Shows `text` instead of the state text for about `ms` milliseconds.
    void report(const QString &text, int ms);

    int aliveNumber() const { return m_alive; }

private:
    int m_alive = 0;
    QString m_line;
    int m_liveMs = 0;
};
