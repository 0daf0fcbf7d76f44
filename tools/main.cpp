// vastrel: the command-line tool for the system's files (archives, tables, question files, ...).
#include "apperror.h"
#include "appfolder.h"
#include "command.h"

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

// The man page is made from this text at build time: keep its shape (usage lines, one paragraph,
// "commands:", then each usage line with its summary indented below it).
void printHelp()
{
    std::string text = "usage: vastrel COMMAND [ARGS]\n"
                       "       vastrel help COMMAND\n"
                       "       vastrel --version\n\n"
                       "Works from the command line on the files of the Vastrel classroom testing system: packed-files "
                       "archives, question tables, question files and result files.\n\n"
                       "commands:\n";
    for (const auto& [name, command] : commands())
        text += "  vastrel " + std::string(command.usage) + "\n      " + command.summary + "\n";
    std::fputs(text.c_str(), stdout);
}

int printCommandHelp(const QString& name)
{
    const auto it = commands().find(name.toStdString());
    if (it == commands().end())
        return fail(QStringLiteral("unknown command \"%1\" (see vastrel --help)").arg(name));
    printOut(QStringLiteral("usage: vastrel %1\n%2\n")
                 .arg(QString::fromUtf8(it->second.usage), QString::fromUtf8(it->second.summary)));
    return 0;
}

int runFolder(const QStringList& args)
{
    if (!args.isEmpty())
        return fail(QStringLiteral("usage: vastrel folder"));
    printOut(AppFolder() + u'\n');
    return 0;
}

const bool folderRegistered = registerCommand(
    {"folder", "folder", "prints the program folder, where the programs keep vs4.mdb, Ports, ServerIP and their logs",
     runFolder});

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
    if (args.size() == 1 && args[0] == QLatin1String("--version")) {
        printOut(QStringLiteral("vastrel " VASTREL_VERSION "\n"));
        return 0;
    }
    if (args.size() > 2 && args[0] == QLatin1String("help"))
        return fail(QStringLiteral("usage: vastrel help COMMAND"));
    if (args.size() == 2 && args[0] == QLatin1String("help"))
        return printCommandHelp(args[1]);
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
