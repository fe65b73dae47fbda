// The floor for start-up and memory: a bare Qt window with the panel's title
// and size and one label of Chinese text, so that it pays for the toolkit and
// the CJK font just as the panel does, and for nothing else.
#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Velmor电源监控-V3.5"));
    window.setFixedSize(636, 538);
    QLabel label(QStringLiteral("串口没有打开，请打开串口"), &window);
    label.move(20, 20);
    window.show();
    return app.exec();
}
