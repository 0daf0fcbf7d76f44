#include "programframe.h"
#include "scribantf.h"

namespace {

class ScribantModules : public ProgramModules
{
public:
    ScribantModules() : m_mainWindow(std::make_unique<TScribantF>()) {}
    QWidget* mainWindow() override { return m_mainWindow.get(); }
    void argumentHandedOver(const QString& argument) override { m_mainWindow->receiveHandedOverPath(argument); }

private:
    std::unique_ptr<TScribantF> m_mainWindow;
};

} // namespace

int main(int argc, char** argv)
{
    return RunProgram(argc, argv, {QStringLiteral("Scribant"), QStringLiteral("Редактор вопросов"), true, 0},
                      [] { return std::make_unique<ScribantModules>(); });
}
