#include "programframe.h"
#include "studentf.h"

#include <QCoreApplication>

namespace {

constexpr int SplashWaitMs = 2000;

// "Student [--server ADDRESS] [FILE]": the address connects at start without discovery, a file
// argument is taken as the program's first argument.
struct CommandLine
{
    QStringList arguments;
    QString server;
};

CommandLine ParseCommandLine(QStringList args)
{
    CommandLine line;
    args.removeFirst();
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--server") && i + 1 < args.size())
            line.server = args[++i];
        else
            line.arguments.append(args[i]);
    }
    return line;
}

class StudentModules : public ProgramModules
{
public:
    StudentModules()
    {
        const CommandLine line = ParseCommandLine(QCoreApplication::arguments());
        m_mainWindow = std::make_unique<TStudentF>(line.arguments, line.server);
    }
    QWidget* mainWindow() override { return m_mainWindow.get(); }
    void mainWindowDrawn() override { m_mainWindow->loadNetwork(); }

private:
    std::unique_ptr<TStudentF> m_mainWindow;
};

} // namespace

int main(int argc, char** argv)
{
    return RunProgram(argc, argv,
                      {QStringLiteral("Student"), QStringLiteral("Клиент тестирования"), false, SplashWaitMs},
                      [] { return std::make_unique<StudentModules>(); });
}
