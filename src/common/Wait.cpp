#include "common/Wait.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace Wait {

void ms(int ms)
{
    if (ms <= 0) {
        pumpEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

void pumpEvents()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

} // namespace Wait
