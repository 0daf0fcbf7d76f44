// Vastrel on the desktop: the desktop entries and file types validate and agree with each other,
// `cmake --install` lays out what the desktop expects, an installed program keeps its files in
// ~/.local/share/vastrel, and the Debian package carries the same files and runs.
#include "testhome.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>

namespace {

constexpr int ProcessTimeoutMs = 240000;
const QString Source = QStringLiteral(VASTREL_SOURCE_DIR);
const QString Version = QStringLiteral(VASTREL_PROJECT_VERSION);
const QStringList Programs = {QStringLiteral("Vezuviroz"), QStringLiteral("Student"), QStringLiteral("Scribant"),
                              QStringLiteral("vastrel")};

// Every file an installation holds, relative to its prefix.
const QStringList InstalledFiles = {
    QStringLiteral("bin/Vezuviroz"),
    QStringLiteral("bin/Student"),
    QStringLiteral("bin/Scribant"),
    QStringLiteral("bin/vastrel"),
    QStringLiteral("lib/vastrel/libvastrel-studentnet.so"), // Student's sockets, loaded once its window shows
    QStringLiteral("share/applications/vastrel-vezuviroz.desktop"),
    QStringLiteral("share/applications/vastrel-student.desktop"),
    QStringLiteral("share/applications/vastrel-scribant.desktop"),
    QStringLiteral("share/icons/hicolor/scalable/apps/vastrel-vezuviroz.svg"),
    QStringLiteral("share/icons/hicolor/scalable/apps/vastrel-student.svg"),
    QStringLiteral("share/icons/hicolor/scalable/apps/vastrel-scribant.svg"),
    QStringLiteral("share/mime/packages/vastrel.xml"),
    QStringLiteral("share/vastrel/help/index.html"),
    QStringLiteral("share/man/man1/vastrel.1.gz"),
    QStringLiteral("share/man/man1/Vezuviroz.1.gz"),
    QStringLiteral("share/man/man1/Student.1.gz"),
    QStringLiteral("share/man/man1/Scribant.1.gz"),
    QStringLiteral("share/doc/vastrel/copyright"),
    QStringLiteral("share/doc/vastrel/changelog.gz"),
};

struct Outcome
{
    int exitCode = -1;
    QString out;
    QString err;
};

// The test's environment, less VASTREL_HOME, plus the given variables.
QProcessEnvironment environmentWith(const QMap<QString, QString>& env)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("VASTREL_HOME"));
    for (auto it = env.begin(); it != env.end(); ++it)
        environment.insert(it.key(), it.value());
    return environment;
}

// Runs a command to its end in that environment.
Outcome run(const QString& program, const QStringList& args, const QMap<QString, QString>& env = {})
{
    QProcess process;
    process.setProcessEnvironment(environmentWith(env));
    process.start(program, args);
    Outcome result;
    if (!process.waitForFinished(ProcessTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("did not end: ") + program;
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

QStringList filesUnder(const QString& root)
{
    QStringList files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files.append(QDir(root).relativeFilePath(it.next()));
    files.sort();
    return files;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// The key=value lines of a desktop entry's main group.
QMap<QString, QString> desktopEntry(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QMap<QString, QString> keys;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0)
            keys.insert(line.left(eq), line.mid(eq + 1));
    }
    return keys;
}

QStringList desktopEntryFiles()
{
    return QDir(Source).entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
}

// The folder an installed vastrel reports as its program folder, for a given environment.
QString reportedFolder(const QString& tool, const QMap<QString, QString>& env)
{
    const Outcome r = run(tool, {QStringLiteral("folder")}, env);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    return r.out.trimmed();
}

// A home of its own for a started program: its program folder, and its single-instance socket
// apart from any other test's.
QMap<QString, QString> ownHome(const QString& home)
{
    return {{QStringLiteral("HOME"), home}, {QStringLiteral("XDG_RUNTIME_DIR"), home}};
}

bool hasDebugInfo(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll().contains(".debug_info");
}

// Starts a program, lets it come up, and ends it as the desktop session would (SIGTERM).
void startAndEnd(const QString& program, const QMap<QString, QString>& env, const QStringList& args = {})
{
    QProcess process;
    process.setProcessEnvironment(environmentWith(env));
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args);
    ASSERT_TRUE(process.waitForStarted(10000)) << program.toStdString();
    EXPECT_FALSE(process.waitForFinished(1500)) << program.toStdString() << " ended by itself";
    ::kill(pid_t(process.processId()), SIGTERM);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 0) << program.toStdString();
}

} // namespace

TEST(DesktopEntries, ValidateAndNameWhatIsInstalled)
{
    QFile mime(Source + QStringLiteral("/vastrel.xml"));
    ASSERT_TRUE(mime.open(QIODevice::ReadOnly));
    const QString mimeXml = QString::fromUtf8(mime.readAll());

    const QStringList entries = desktopEntryFiles();
    ASSERT_EQ(entries.size(), 3);
    for (const QString& name : entries) {
        const QString path = Source + u'/' + name;
        const Outcome check = run(QStringLiteral("desktop-file-validate"), {path});
        EXPECT_EQ(check.exitCode, 0) << name.toStdString();
        EXPECT_EQ(check.out + check.err, QString()) << name.toStdString();

        const QMap<QString, QString> keys = desktopEntry(path);
        const QString program = keys.value(QStringLiteral("Exec")).section(u' ', 0, 0);
        EXPECT_TRUE(Programs.contains(program)) << name.toStdString();
        EXPECT_TRUE(QFile::exists(Source + QStringLiteral("/icons/") + keys.value(QStringLiteral("Icon")) +
                                  QStringLiteral(".svg")))
            << name.toStdString();
        EXPECT_EQ(keys.value(QStringLiteral("Categories")), QStringLiteral("Education;Qt;"));
        EXPECT_TRUE(keys.value(QStringLiteral("Comment")).contains(QRegularExpression(QStringLiteral("[а-я]"))));
        // A program that opens files says where the file goes (%f), and every type it claims is ours.
        const QStringList types = keys.value(QStringLiteral("MimeType")).split(u';', Qt::SkipEmptyParts);
        EXPECT_EQ(keys.value(QStringLiteral("Exec")).endsWith(QStringLiteral(" %f")), !types.isEmpty());
        for (const QString& type : types)
            EXPECT_TRUE(mimeXml.contains(QStringLiteral("type=\"%1\"").arg(type))) << type.toStdString();
    }
}

TEST(FileTypes, QuestionAndResultFilesGetOurTypes)
{
    const QString mimeRoot = testPath(QStringLiteral("mime"));
    ASSERT_TRUE(QDir().mkpath(mimeRoot + QStringLiteral("/packages")));
    ASSERT_TRUE(
        QFile::copy(Source + QStringLiteral("/vastrel.xml"), mimeRoot + QStringLiteral("/packages/vastrel.xml")));
    const Outcome update =
        run(QStringLiteral("update-mime-database"), {mimeRoot}, {{QStringLiteral("XDG_DATA_DIRS"), testHome()}});
    ASSERT_EQ(update.exitCode, 0) << update.err.toStdString();
    EXPECT_EQ(update.err, QString()); // a malformed definition is only warned about

    QFile globs(mimeRoot + QStringLiteral("/globs2"));
    ASSERT_TRUE(globs.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(globs.readAll()).split(u'\n');
    const struct
    {
        const char* line;
    } expected[] = {
        {"50:application/x-vastrel-questions:*.vst4"},
        {"60:application/x-vastrel-questions:*.vst"},
        {"50:application/x-vastrel-result:*.rslt4"},
        {"50:application/x-vastrel-result:*.rslt"},
    };
    for (const auto& e : expected)
        EXPECT_TRUE(lines.contains(QString::fromLatin1(e.line))) << e.line;
}

TEST(Install, LaysOutTheDesktopFilesAndKeepsProgramFilesInTheUsersDataFolder)
{
    const QString prefix = testPath(QStringLiteral("prefix"));
    const Outcome install =
        run(QStringLiteral(VASTREL_CMAKE),
            {QStringLiteral("--install"), QStringLiteral(VASTREL_BUILD_DIR), QStringLiteral("--prefix"), prefix});
    ASSERT_EQ(install.exitCode, 0) << install.err.toStdString();
    EXPECT_EQ(filesUnder(prefix), sorted(InstalledFiles));

    // Where an installed program keeps vs4.mdb and its logs, and where a portable copy does.
    const QString tool = prefix + QStringLiteral("/bin/vastrel");
    const QString portable = testPath(QStringLiteral("portable"));
    ASSERT_TRUE(QDir().mkpath(portable));
    ASSERT_TRUE(QFile::copy(tool, portable + QStringLiteral("/vastrel")));
    const QString home = testPath(QStringLiteral("home"));
    const struct
    {
        const char* what;
        QString tool;
        QMap<QString, QString> env;
        QString folder;
    } cases[] = {
        {"installed", tool, {{QStringLiteral("HOME"), home}}, home + QStringLiteral("/.local/share/vastrel")},
        {"installed, own data home",
         tool,
         {{QStringLiteral("HOME"), home}, {QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data")}},
         home + QStringLiteral("/data/vastrel")},
        {"installed, VASTREL_HOME",
         tool,
         {{QStringLiteral("HOME"), home}, {QStringLiteral("VASTREL_HOME"), home + QStringLiteral("/own")}},
         home + QStringLiteral("/own")},
        {"portable copy", portable + QStringLiteral("/vastrel"), {{QStringLiteral("HOME"), home}}, portable},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reportedFolder(c.tool, c.env), c.folder) << c.what;
        EXPECT_TRUE(QFileInfo(c.folder).isDir()) << c.what;
    }

    // Vezuviroz and Scribant, installed, share one bank in the user's data folder.
    const QString appHome = testPath(QStringLiteral("apphome"));
    ASSERT_TRUE(QDir().mkpath(appHome));
    for (const QString& program : {QStringLiteral("Vezuviroz"), QStringLiteral("Scribant")})
        startAndEnd(prefix + QStringLiteral("/bin/") + program, ownHome(appHome));
    const QString appFolder = appHome + QStringLiteral("/.local/share/vastrel/");
    for (const char* file : {"vs4.mdb", "Vezuviroz.LOG", "Scribant.LOG"})
        EXPECT_TRUE(QFile::exists(appFolder + QString::fromLatin1(file))) << file;
    // Student, installed, loads its sockets from lib/vastrel: its connection to the address given
    // has an outcome (refused, or connected) in its log, which only the loaded sockets can give.
    startAndEnd(prefix + QStringLiteral("/bin/Student"), ownHome(appHome),
                {QStringLiteral("--server"), QStringLiteral("127.0.0.1")});
    QFile studentLog(appFolder + QStringLiteral("Student.LOG"));
    ASSERT_TRUE(studentLog.open(QIODevice::ReadOnly));
    const QByteArray logged = studentLog.readAll();
    EXPECT_FALSE(logged.contains("Network module not loaded")) << logged.toStdString();
    EXPECT_TRUE(logged.contains("ErrorCode=") || logged.contains(": Connected\r\n")) << logged.toStdString();
    EXPECT_EQ(QDir(prefix + QStringLiteral("/bin")).entryList(QDir::Files, QDir::Name), sorted(Programs));
}

TEST(Package, CarriesTheInstallationItsDependenciesAndRuns)
{
    const QString out = testPath(QStringLiteral("package"));
    const Outcome pack = run(QStringLiteral(VASTREL_CPACK),
                             {QStringLiteral("--config"), QStringLiteral(VASTREL_BUILD_DIR "/CPackConfig.cmake"),
                              QStringLiteral("-B"), out});
    ASSERT_EQ(pack.exitCode, 0) << pack.out.toStdString() << pack.err.toStdString();
    const QStringList debs = QDir(out).entryList({QStringLiteral("vastrel_*.deb")}, QDir::Files);
    ASSERT_EQ(debs.size(), 1);
    const QString deb = out + u'/' + debs[0];

    const struct
    {
        const char* field;
        QRegularExpression value;
    } fields[] = {
        {"Package", QRegularExpression(QStringLiteral("^vastrel$"))},
        {"Version", QRegularExpression(QStringLiteral("^%1$").arg(QRegularExpression::escape(Version)))},
        {"Architecture", QRegularExpression(QStringLiteral("^\\S+$"))},
        {"Section", QRegularExpression(QStringLiteral("^education$"))},
        {"Maintainer", QRegularExpression(QStringLiteral("^.+ <.+@.+>$"))},
        // Found from the linked libraries, and the plug-ins Qt loads by itself.
        {"Depends", QRegularExpression(QStringLiteral("libqt6widgets6 .*"))},
        {"Depends", QRegularExpression(QStringLiteral("\\blibc6 "))},
        {"Depends", QRegularExpression(QStringLiteral("\\bzlib1g "))},
        {"Depends", QRegularExpression(QStringLiteral("\\blibjpeg62-turbo "))},
        {"Depends", QRegularExpression(QStringLiteral("\\blibqt6sql6-sqlite\\b"))},
        {"Depends", QRegularExpression(QStringLiteral("\\bqt6-qpa-plugins\\b"))},
        {"Description", QRegularExpression(QStringLiteral("^classroom testing system"))},
    };
    for (const auto& f : fields) {
        const Outcome field =
            run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), deb, QString::fromLatin1(f.field)});
        EXPECT_TRUE(f.value.match(field.out.trimmed()).hasMatch())
            << f.field << ": " << field.out.toStdString() << field.err.toStdString();
    }

    const QString root = testPath(QStringLiteral("root"));
    ASSERT_EQ(run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), deb, root}).exitCode, 0);
    QStringList expected;
    for (const QString& file : InstalledFiles)
        expected.append(QStringLiteral("usr/") + file);
    EXPECT_EQ(filesUnder(root), sorted(expected));
    for (const QString& program : Programs)
        EXPECT_FALSE(hasDebugInfo(root + QStringLiteral("/usr/bin/") + program)) << program.toStdString();

    // The tool runs from the unpacked root and answers as installed.
    const QString tool = root + QStringLiteral("/usr/bin/vastrel");
    const Outcome version = run(tool, {QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("vastrel %1\n").arg(Version));
    const QString home = testPath(QStringLiteral("home"));
    EXPECT_EQ(reportedFolder(tool, {{QStringLiteral("HOME"), home}}), home + QStringLiteral("/.local/share/vastrel"));
}

TEST(Tool, TellsItsVersionEachCommandsHelpAndItsManualPageListsThemAll)
{
    const QString tool = QStringLiteral(VASTREL_BUILD_DIR "/bin/vastrel");
    const struct
    {
        QStringList args;
        int exitCode;
        QRegularExpression out;
        QRegularExpression err;
    } cases[] = {
        {{QStringLiteral("--version")},
         0,
         QRegularExpression(QStringLiteral("^vastrel %1\n$").arg(Version)),
         QRegularExpression(QStringLiteral("^$"))},
        {{QStringLiteral("help"), QStringLiteral("pack")},
         0,
         QRegularExpression(QStringLiteral("^usage: vastrel pack ARCHIVE FILE\\.\\.\\.\n\\S.*\n$")),
         QRegularExpression(QStringLiteral("^$"))},
        {{QStringLiteral("help"), QStringLiteral("no-such")},
         1,
         QRegularExpression(QStringLiteral("^$")),
         QRegularExpression(QStringLiteral("^vastrel: unknown command \"no-such\""))},
        {{QStringLiteral("help")},
         0,
         QRegularExpression(QStringLiteral("^usage: vastrel COMMAND")),
         QRegularExpression(QStringLiteral("^$"))},
    };
    for (const auto& c : cases) {
        const Outcome r = run(tool, c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(u' ').toStdString();
        EXPECT_TRUE(c.out.match(r.out).hasMatch()) << c.args.join(u' ').toStdString() << ": " << r.out.toStdString();
        EXPECT_TRUE(c.err.match(r.err).hasMatch()) << c.args.join(u' ').toStdString() << ": " << r.err.toStdString();
    }

    // Every command of the help is in the manual page, hyphens written as roff wants them.
    const Outcome page =
        run(QStringLiteral("gzip"), {QStringLiteral("-dc"), QStringLiteral(VASTREL_BUILD_DIR "/desktop/vastrel.1.gz")});
    ASSERT_EQ(page.exitCode, 0) << page.err.toStdString();
    EXPECT_TRUE(page.out.startsWith(QStringLiteral(".TH VASTREL 1 ")));
    const QStringList helpLines = run(tool, {QStringLiteral("--help")}).out.split(u'\n');
    int commands = 0;
    for (const QString& line : helpLines) {
        if (!line.startsWith(QStringLiteral("  vastrel ")))
            continue;
        ++commands;
        QString usage = line.mid(2);
        usage.replace(u'-', QStringLiteral("\\-"));
        EXPECT_TRUE(page.out.contains(QStringLiteral(".B ") + usage + u'\n')) << usage.toStdString();
    }
    EXPECT_GT(commands, 0);
}
