#include "mainwin/ToolbarIcons.h"

#include <QFont>
#include <QHash>
#include <QPainter>
#include <QPixmap>

namespace ToolbarIcons {

namespace {

struct Badge {
    const char *themeName;
    const char *glyph;
    QColor color;
};

const QHash<QString, Badge> &badges()
{
    static const QHash<QString, Badge> table{
        {"GPIB", {"network-wired", "GP", QColor(0x3b, 0x6e, 0xa8)}},
        {"RS232", {"network-wired", "232", QColor(0x3b, 0x6e, 0xa8)}},
        {"SaveMemory", {"document-save", "S", QColor(0x4a, 0x7d, 0x3a)}},
        {"RecallMemory", {"document-open", "R", QColor(0x4a, 0x7d, 0x3a)}},
        {"Delay", {"chronometer", "D", QColor(0x7a, 0x5c, 0x2e)}},
        {"ReadTimes", {"view-refresh", "T", QColor(0x7a, 0x5c, 0x2e)}},
        {"Output", {"system-shutdown", "OUT", QColor(0xb0, 0x30, 0x30)}},
        {"AutoRun", {"media-seek-forward", "AR", QColor(0x8a, 0x3a, 0x8a)}},
        {"ClearError", {"edit-clear", "CE", QColor(0xb0, 0x6a, 0x10)}},
        {"About", {"help-about", "?", QColor(0x55, 0x55, 0x55)}},
        {"Online", {"network-connect", "ON", QColor(0x2e, 0x8b, 0x57)}},
        {"Offline", {"network-disconnect", "OFF", QColor(0x80, 0x80, 0x80)}},
    };
    return table;
}

QPixmap drawBadge(const Badge &b, int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(b.color.darker(140));
    p.setBrush(b.color);
    p.drawRoundedRect(QRectF(1, 1, size - 2, size - 2), size / 5.0, size / 5.0);
    QFont f = p.font();
    const int len = int(qstrlen(b.glyph));
    f.setPixelSize(len >= 3 ? size * 3 / 8 : size / 2);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, QString::fromLatin1(b.glyph));
    return pm;
}

QIcon make(const QString &name)
{
    const auto it = badges().constFind(name);
    if (it == badges().constEnd())
        return QIcon();
    QIcon drawn;
    for (int size : {16, 24, 32, 48})
        drawn.addPixmap(drawBadge(*it, size));
    return QIcon::fromTheme(QString::fromLatin1(it->themeName), drawn);
}

} // namespace

QIcon icon(const QString &key)
{
    if (key == QLatin1String("OnOffLine"))
        return onOffLine(false);
    return make(key);
}

QIcon onOffLine(bool online)
{
    return make(online ? QStringLiteral("Online") : QStringLiteral("Offline"));
}

} // namespace ToolbarIcons
