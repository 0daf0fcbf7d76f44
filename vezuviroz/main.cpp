#include "programframe.h"
#include "vezuvirozmodules.h"

int main(int argc, char** argv)
{
    return RunProgram(argc, argv, {QStringLiteral("Vezuviroz"), QStringLiteral("Сервер тестирования"), true, 0},
                      [] { return std::make_unique<VezuvirozModules>(); });
}
