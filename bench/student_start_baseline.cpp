// The baseline of bench_student_start: a bare Qt widgets program that shows one window, says so on
// the pass of the event loop after the show, as the programs do for the benchmark, and ends.
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.resize(800, 600);
    window.show();
    QTimer::singleShot(0, &app, [] {
        std::fputs("main window shown\n", stderr);
        QCoreApplication::quit();
    });
    return app.exec();
}
