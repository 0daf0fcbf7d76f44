#include "programframe.h"
#include "startoptions.h"
#include "vezuvirozmodules.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    return RunProgram(argc, argv, {QStringLiteral("Vezuviroz"), QStringLiteral("Сервер тестирования"), true, 0}, [] {
        auto modules = std::make_unique<VezuvirozModules>();
        modules->window()->setStartOptions(ParseStartOptions(QCoreApplication::arguments().mid(1)));
        return modules;
    });
}
