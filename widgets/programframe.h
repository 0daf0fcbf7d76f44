#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QWidget;

// What a program creates at start-up: its data modules and its main window, in its own order.
// Destroyed after the message loop ends, before the run log is written.
class ProgramModules
{
public:
    virtual ~ProgramModules() = default;
    virtual QWidget* mainWindow() = 0;
    // A later start of the program handed over its first command-line argument.
    virtual void argumentHandedOver(const QString& argument) { (void)argument; }
    // The main window is on screen: its first frame is drawn (or, where the window system never
    // draws it, a second has passed). Work that the first sight of the window need not wait for
    // starts here.
    virtual void mainWindowDrawn() {}
};

struct ProgramInfo
{
    QString name;     // "Vezuviroz": the short name, the log file's name, the guard's name
    QString role;     // "Сервер тестирования": shown in the splash box
    bool setsTitle;   // the application title is the short name
    int splashWaitMs; // how long the splash stays on top of the main window (Student: 2000)
};

// Tells once that a window is on screen: on the pass of the event loop after its first paint, or
// after fallbackMs where no paint comes (a window system that never exposes it). With
// VASTREL_START_MARK set, a paint also puts "main window shown" on the standard error first (the
// start benchmark's mark). Owned by the window.
class FirstDrawWatch : public QObject
{
public:
    static constexpr int DrawnFallbackMs = 1000;
    FirstDrawWatch(QWidget* window, std::function<void()> drawn, int fallbackMs = DrawnFallbackMs);
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void tell(bool painted);

    std::function<void()> m_drawn;
    bool m_told = false;
};

// Shows the main window at once; the splash stays on top of it for `splashMs` (a timer owned by the
// main window, named "splashTimer"), then goes. Without a wait it goes at once.
void ShowMainWindow(QWidget* mainWindow, std::unique_ptr<QWidget>& splash, int splashMs);

// Runs a program: the run log, the single-instance guard "Vastrel <name>" (a second start hands
// its first argument to the running instance, which comes to the front, and ends), the splash box,
// the application title, the modules, the message loop until the main window closes, then "END"
// and the log file "<name>.LOG". Failures that reach the event loop are shown in the message
// dialog. SIGTERM and SIGINT close the main window and end the run normally even when the window
// refuses to close or a dialog is up (the dialog is left unanswered). With
// VASTREL_START_MARK set, "main window shown" goes to the standard error once the main window's first
// frame is drawn, before the modules hear of it.
int RunProgram(int argc, char** argv, const ProgramInfo& program,
               const std::function<std::unique_ptr<ProgramModules>()>& createModules);
