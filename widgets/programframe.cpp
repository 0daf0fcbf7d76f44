#include "programframe.h"

#include "apperror.h"
#include "helpaction.h"
#include "messagedialog.h"
#include "runlog.h"
#include "singleinstance.h"
#include "splashbox.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Shows failures that escape an event handler in the message dialog, so that one failed operation
// ends only that operation and never the program.
class ProgramApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const AppError& e) {
            ShowMessage(e.message(), MsgIcon::Error);
        } catch (const std::exception& e) {
            ShowMessage(QString::fromLocal8Bit(e.what()), MsgIcon::Error);
        }
        return false;
    }
};

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM (the desktop session ending) and SIGINT close the main window like the user would, and
// end the program even when the window refuses or a dialog is up: a machine being shut down must
// not wait for an answer nobody gives. The queued exit runs in whatever loop a dialog (one already
// up or one the close brings up) runs, and ends that loop and the program's.
void closeOnTerminationSignals(QWidget* mainWindow)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, mainWindow);
    QObject::connect(notifier, &QSocketNotifier::activated, mainWindow, [mainWindow] {
        char byte;
        [[maybe_unused]] const auto n = ::read(signalPipe[0], &byte, 1);
        QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
        mainWindow->close();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

class MainWindowCloseWatcher : public QObject
{
public:
    explicit MainWindowCloseWatcher(QWidget* window) : m_window(window) { window->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Close) // look once the window has had its say
            QTimer::singleShot(0, this, [this] {
                if (!m_window->isVisible())
                    QApplication::exit(0);
            });
        return false;
    }

private:
    QWidget* m_window;
};

void bringToFront(QWidget* window)
{
    window->show();
    window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->raise();
    window->activateWindow();
}

} // namespace

FirstDrawWatch::FirstDrawWatch(QWidget* window, std::function<void()> drawn, int fallbackMs)
    : QObject(window), m_drawn(std::move(drawn))
{
    window->installEventFilter(this);
    QTimer::singleShot(fallbackMs, this, [this] { tell(false); });
}

bool FirstDrawWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint) {
        watched->removeEventFilter(this);
        QTimer::singleShot(0, this, [this] { tell(true); });
    }
    return false;
}

void FirstDrawWatch::tell(bool painted)
{
    if (m_told)
        return;
    m_told = true;
    if (painted && qEnvironmentVariableIsSet("VASTREL_START_MARK"))
        std::fputs("main window shown\n", stderr);
    m_drawn();
    deleteLater();
}

void ShowMainWindow(QWidget* mainWindow, std::unique_ptr<QWidget>& splash, int splashMs)
{
    mainWindow->show();
    if (splashMs <= 0 || !splash) {
        splash.reset();
        return;
    }
    splash->raise();
    auto* timer = new QTimer(mainWindow);
    timer->setObjectName(QStringLiteral("splashTimer"));
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, mainWindow, [&splash, timer] {
        splash.reset();
        timer->deleteLater();
    });
    timer->start(splashMs);
}

int RunProgram(int argc, char** argv, const ProgramInfo& program,
               const std::function<std::unique_ptr<ProgramModules>()>& createModules)
{
    RunLog::clear(); // the run log exists, empty, before anything else runs
    ProgramApplication app(argc, argv);
    app.setApplicationName(program.name);
    const QStringList args = app.arguments();

    SingleInstance guard(QStringLiteral("Vastrel ") + program.name);
    if (!guard.claim()) {
        guard.handOver(args.value(1), args.size() > 1);
        return 0;
    }

    std::unique_ptr<QWidget> splash = std::make_unique<SplashBox>(program.name, program.role);
    splash->show();

    if (program.setsTitle)
        app.setApplicationDisplayName(program.name);
    InstallMessageDialog();
    // The program ends when its main window has closed (a window may refuse to close), whatever
    // other windows remain open.
    app.setQuitOnLastWindowClosed(false);

    // Everything after the splash runs as steps of the event loop, which never stops for it: the
    // modules are made once the loop runs (the splash is up meanwhile), the main window shows as
    // soon as they are, and the splash stays on top of it for its wait.
    std::unique_ptr<ProgramModules> modules;
    std::unique_ptr<MainWindowCloseWatcher> watcher;
    QTimer::singleShot(0, &app, [&] {
        try {
            modules = createModules();
        } catch (const std::exception& e) {
            // Without its modules the program cannot run: the failure is shown and the program ends.
            const auto* appError = dynamic_cast<const AppError*>(&e);
            splash.reset();
            ShowMessage(appError ? appError->message() : QString::fromLocal8Bit(e.what()), MsgIcon::Error);
            QApplication::exit(1);
            return;
        }
        QWidget* mainWindow = modules->mainWindow();
        QObject::connect(&guard, &SingleInstance::activated, mainWindow,
                         [&modules, mainWindow](const QString& argument, bool hasArgument) {
                             bringToFront(mainWindow);
                             if (hasArgument)
                                 modules->argumentHandedOver(argument);
                         });
        closeOnTerminationSignals(mainWindow);
        HelpAction(mainWindow);
        watcher = std::make_unique<MainWindowCloseWatcher>(mainWindow);
        new FirstDrawWatch(mainWindow, [&modules] { modules->mainWindowDrawn(); });
        ShowMainWindow(mainWindow, splash, program.splashWaitMs); // before any step the modules queued runs
    });
    const int code = app.exec();
    watcher.reset();
    splash.reset();
    modules.reset();
    RunLog::finish(RunLog::filePathFor(program.name));
    return code;
}
