// The floor: a bare Qt Widgets program that maps one window.
#include <QApplication>
#include <QWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("reference"));
    window.resize(400, 120);
    window.show();
    return QApplication::exec();
}
