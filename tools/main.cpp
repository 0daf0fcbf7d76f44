// vastrel: the command-line tool for the system's files (archives, tables, question files, ...).
#include "command.h"

#include "apperror.h"

#include <QCoreApplication>
#include <QLocale>

#include <cstdio>
#include <map>
#include <string>

namespace {

std::map<std::string, ToolCommand>& commands()
{
    static std::map<std::string, ToolCommand> all;
    return all;
}

void printHelp()
{
    std::string text = "usage: vastrel COMMAND [ARGS]\n\ncommands:\n";
    for (const auto& [name, command] : commands())
        text += "  vastrel " + std::string(command.usage) + "\n      " + command.summary + "\n";
    std::fputs(text.c_str(), stdout);
}

} // namespace

bool registerCommand(const ToolCommand& command)
{
    commands().emplace(command.name, command);
    return true;
}

int fail(const QString& message)
{
    std::fprintf(stderr, "vastrel: %s\n", message.toUtf8().constData());
    return 1;
}

void printOut(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h") ||
        args[0] == QLatin1String("help")) {
        printHelp();
        return args.isEmpty() ? 1 : 0;
    }
    const auto it = commands().find(args[0].toStdString());
    if (it == commands().end())
        return fail(QStringLiteral("unknown command \"%1\" (see vastrel --help)").arg(args[0]));
    args.removeFirst();
    try {
        return it->second.run(args);
    } catch (const AppError& e) {
        return fail(e.message());
    } catch (const std::exception& e) {
        return fail(QString::fromLocal8Bit(e.what()));
    }
}
