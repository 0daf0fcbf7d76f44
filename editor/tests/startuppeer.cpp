#include "startuppeer.h"

#include "scribantmodules.h"

int main(int argc, char** argv)
{
    return RunStartUpPeer<ScribantModules>(argc, argv,
                                           {QStringLiteral("Scribant"), QStringLiteral("Редактор вопросов"), true, 0});
}
