#include "startuppeer.h"

#include "vezuvirozmodules.h"

int main(int argc, char** argv)
{
    return RunStartUpPeer<VezuvirozModules>(
        argc, argv, {QStringLiteral("Vezuviroz"), QStringLiteral("Сервер тестирования"), true, 0});
}
