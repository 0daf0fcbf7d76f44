#include "programframe.h"
#include "studentf.h"

namespace {

constexpr int SplashWaitMs = 2000;

class StudentModules : public ProgramModules
{
public:
    StudentModules() : m_mainWindow(std::make_unique<TStudentF>()) {}
    QWidget* mainWindow() override { return m_mainWindow.get(); }

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
