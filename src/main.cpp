#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("zep"));
    QApplication::setApplicationVersion(QStringLiteral(ZEP_VERSION));
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("zep"));
    w.resize(800, 600);
    w.show();
    return app.exec();
}
