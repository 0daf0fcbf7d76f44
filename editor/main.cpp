#include "programframe.h"
#include "scribantmodules.h"

int main(int argc, char** argv)
{
    return RunProgram(argc, argv, {QStringLiteral("Scribant"), QStringLiteral("Редактор вопросов"), true, 0},
                      [] { return std::make_unique<ScribantModules>(); });
}
