#include "programframe.h"
#include "vezuvirozf.h"

namespace {

class VezuvirozModules : public ProgramModules
{
public:
    VezuvirozModules() : m_mainWindow(std::make_unique<TVezuvirozF>()) {}
    QWidget* mainWindow() override { return m_mainWindow.get(); }

private:
    std::unique_ptr<TVezuvirozF> m_mainWindow;
};

} // namespace

int main(int argc, char** argv)
{
    return RunProgram(argc, argv, {QStringLiteral("Vezuviroz"), QStringLiteral("Сервер тестирования"), true, 0},
                      [] { return std::make_unique<VezuvirozModules>(); });
}
