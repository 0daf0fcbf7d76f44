#include "jetreader.h"

#include "apperror.h"
#include "jetextract.h"
#include "jetstream.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr char Magic[] = {0x00, 0x01, 0x00, 0x00};
constexpr char JetName[] = "Standard Jet DB";
constexpr char AceName[] = "Standard ACE DB";
constexpr int NameOffset = 4;
constexpr int NameBytes = 16; // NUL included
constexpr int VersionOffset = 0x14;
constexpr int LastKnownVersion = 6;
constexpr int ReadChunk = 1 << 16;
constexpr int MinPages = 3; // header, free-space map and the catalogue at the least

// The child: killed and reaped whatever way the reading ends.
class Child
{
public:
    Child(pid_t pid, int fd) : m_pid(pid), m_fd(fd) {}
    ~Child()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            waitFor();
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    int fd() const { return m_fd; }
    // The child's end status once it has closed its end of the pipe.
    int reap()
    {
        ::close(m_fd);
        m_fd = -1;
        const int status = waitFor();
        m_pid = -1;
        return status;
    }

private:
    int waitFor()
    {
        int status = 0;
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
        return status;
    }

    pid_t m_pid;
    int m_fd;
};

QString errnoText()
{
    return QString::fromLocal8Bit(strerror(errno));
}

} // namespace

bool JetReader::hasJetSignature(const QByteArray& head)
{
    if (head.size() < NameOffset + NameBytes || !head.startsWith(QByteArray(Magic, sizeof Magic)))
        return false;
    const QByteArray name = head.mid(NameOffset, NameBytes);
    return name == QByteArray(JetName, NameBytes) || name == QByteArray(AceName, NameBytes);
}

bool JetReader::isJetFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && hasJetSignature(file.read(HeaderBytes));
}

void JetReader::fail(const QString& reason) const
{
    throw AppError(QStringLiteral("Не удалось прочитать базу данных Jet \"%1\": %2.").arg(m_path, reason));
}

JetReader::JetReader(const QString& path) : m_path(path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile())
        fail(QStringLiteral("файл не найден"));
    if (!file.open(QIODevice::ReadOnly))
        fail(file.errorString());
    const QByteArray head = file.read(HeaderBytes);
    m_size = file.size();
    if (head.size() < HeaderBytes || !hasJetSignature(head))
        fail(QStringLiteral("файл не является базой данных Jet"));
    const int version = quint8(head[VersionOffset]);
    if (version > LastKnownVersion)
        fail(QStringLiteral("неизвестная версия формата (%1)").arg(version));
    m_version = version == 0 ? Jet3 : Jet4;
    const int pageSize = m_version == Jet3 ? Jet3PageSize : Jet4PageSize;
    if (m_size % pageSize != 0 || m_size < qint64(MinPages) * pageSize)
        fail(QStringLiteral("файл обрезан или повреждён (размер %1 байт не кратен странице %2 байт)")
                 .arg(m_size)
                 .arg(pageSize));

    jetstream::Decoder decoder(m_size);
    decoder.onHeader = [this](int v, int codePage) {
        m_codePage = codePage;
        if ((v == 0) != (m_version == Jet3))
            fail(QStringLiteral("версия файла прочитана по-разному"));
    };
    decoder.onNames = [this](const QStringList& names) { m_tables = names; };
    decoder.onError = [this](const QString& text) { fail(text); };
    run({}, decoder);
}

QString JetReader::findTable(const QString& name) const
{
    for (const QString& t : m_tables)
        if (t.compare(name, Qt::CaseInsensitive) == 0)
            return t;
    return {};
}

void JetReader::run(const QByteArray& table, jetstream::Decoder& decoder) const
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        fail(errnoText());
    const QByteArray native = QFile::encodeName(m_path);
    const pid_t pid = ::fork();
    if (pid < 0) {
        const QString error = errnoText();
        ::close(fds[0]);
        ::close(fds[1]);
        fail(error);
    }
    if (pid == 0) {
        // The child: the Jet library's complaints are not ours to print.
        ::close(fds[0]);
        const int devNull = ::open("/dev/null", O_WRONLY);
        if (devNull >= 0)
            ::dup2(devNull, STDERR_FILENO);
        ExtractJetFile(fds[1], native.constData(), table.isEmpty() ? nullptr : table.constData());
        _exit(0);
    }
    ::close(fds[1]);
    Child child(pid, fds[0]);

    char buffer[ReadChunk];
    for (;;) {
        pollfd p{child.fd(), POLLIN, 0};
        const int ready = ::poll(&p, 1, IdleTimeoutMs);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            fail(errnoText());
        if (ready == 0)
            fail(QStringLiteral("чтение файла остановилось (возможно, файл повреждён)"));
        const ssize_t n = ::read(child.fd(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(errnoText());
        if (n == 0)
            break;
        decoder.feed(buffer, n);
    }
    const int status = child.reap();
    if (!decoder.finished() || decoder.pending() > 0) {
        if (WIFSIGNALED(status))
            fail(QStringLiteral("файл повреждён: чтение прервано (сигнал %1)").arg(WTERMSIG(status)));
        fail(QStringLiteral("файл повреждён: чтение оборвалось"));
    }
}

void JetReader::readTable(const QString& name, const ColumnsHandler& onColumns, const RowHandler& onRow) const
{
    const QString actual = findTable(name);
    if (actual.isEmpty())
        fail(QStringLiteral("нет таблицы %1").arg(name));
    QTextCodec* codec = jetstream::CodecForCodePage(m_codePage);
    QList<jetstream::JetColumn> columns;
    jetstream::Decoder decoder(m_size);
    decoder.onColumns = [&](const QList<jetstream::JetColumn>& cols) {
        columns = cols;
        QList<Column> tableColumns;
        for (const jetstream::JetColumn& c : cols)
            tableColumns.append(jetstream::ToTableColumn(c, m_version));
        if (onColumns)
            onColumns(tableColumns);
    };
    decoder.onRow = [&](const QList<QByteArray>& raw, const QList<quint8>& tags) {
        QVariantList values;
        values.reserve(raw.size());
        for (qsizetype i = 0; i < raw.size(); ++i) {
            switch (tags[i]) {
            case jetstream::TagNull:
                values.append(QVariant());
                break;
            case jetstream::TagFalse:
            case jetstream::TagTrue:
                values.append(tags[i] == jetstream::TagTrue);
                break;
            default:
                values.append(jetstream::DecodeValue(columns[i], raw[i], m_version, codec));
            }
        }
        if (onRow)
            onRow(values);
    };
    decoder.onError = [&](const QString& text) { fail(QStringLiteral("таблица %1: %2").arg(actual, text)); };
    decoder.onNames = [&](const QStringList&) { fail(QStringLiteral("файл повреждён: ответ не о таблице")); };
    run(actual.toUtf8(), decoder);
}

Table JetReader::readTable(const QString& name) const
{
    Table table;
    readTable(
        name, [&](const QList<Column>& columns) { table = Table(columns); },
        [&](const QVariantList& row) { table.appendRow(row); });
    return table;
}
