#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Rotaview"));
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Rotaview"));
    window.show();
    return QApplication::exec();
}
