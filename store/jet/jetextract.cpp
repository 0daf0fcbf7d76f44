#include "jetextract.h"

#include "jetstream.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mdbtools.h>
#include <string>
#include <unistd.h>
#include <unordered_set>
#include <vector>

namespace {

constexpr size_t FlushBytes = 1 << 16;
constexpr int MemoHeaderBytes = 12;
constexpr uint32_t InlineFlag = 0x80000000u;
constexpr uint32_t SinglePageFlag = 0x40000000u;
constexpr uint32_t FlagsMask = 0xff000000u;
constexpr int RowOffsetMask = 0x1fff;

// One frame being built: it goes to the pipe only when whole, so that a failure in the middle of a
// row leaves a stream that still parses (the row is dropped, the error frame follows).
class Frame
{
public:
    void u8(uint8_t v) { m_buf.push_back(char(v)); }
    void u16(uint16_t v)
    {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v)
    {
        u16(uint16_t(v));
        u16(uint16_t(v >> 16));
    }
    void bytes(const void* data, size_t n)
    {
        u32(uint32_t(n));
        m_buf.append(static_cast<const char*>(data), n);
    }
    void str(const char* s) { bytes(s, strnlen(s, jetstream::MaxNameBytes)); }
    const std::string& data() const { return m_buf; }
    void clear() { m_buf.clear(); }

private:
    std::string m_buf;
};

class Writer
{
public:
    explicit Writer(int fd) : m_fd(fd) {}
    ~Writer() { flush(); }

    void put(Frame& frame)
    {
        m_buf += frame.data();
        frame.clear();
        if (m_buf.size() >= FlushBytes)
            flush();
    }
    void flush()
    {
        size_t done = 0;
        while (done < m_buf.size()) {
            const ssize_t n = ::write(m_fd, m_buf.data() + done, m_buf.size() - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                _exit(1); // the reader is gone
            done += size_t(n);
        }
        m_buf.clear();
    }

private:
    int m_fd;
    std::string m_buf;
};

// What the child could not read; the parent puts it into its message.
struct Failure
{
    const char* text;
};

uint32_t le32(const unsigned char* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A memo or OLE value: 12 bytes in the row that either hold the data inline or point at a row of
// a long-value page, or at the first of a chain of such rows.
std::string readLongValue(MdbHandle* mdb, const unsigned char* field, int size)
{
    if (size < MemoHeaderBytes)
        return {};
    const uint32_t lengthFlags = le32(field);
    const size_t pageSize = size_t(mdb->fmt->pg_size);
    if (lengthFlags & InlineFlag)
        return std::string(reinterpret_cast<const char*>(field) + MemoHeaderBytes, size_t(size - MemoHeaderBytes));

    auto fetch = [&](uint32_t pgRow, const unsigned char*& data, size_t& len) {
        void* buf = nullptr;
        int start = 0;
        size_t length = 0;
        if (mdb_find_pg_row(mdb, int(pgRow), &buf, &start, &length) != 0)
            throw Failure{"длинное значение указывает на несуществующую страницу"};
        if (start < 0 || size_t(start) + length > pageSize)
            throw Failure{"длинное значение выходит за границы страницы"};
        data = static_cast<const unsigned char*>(buf) + start;
        len = length;
    };

    const unsigned char* data = nullptr;
    size_t len = 0;
    if (lengthFlags & SinglePageFlag) {
        fetch(le32(field + 4), data, len);
        return std::string(reinterpret_cast<const char*>(data), len);
    }
    if (lengthFlags & FlagsMask)
        throw Failure{"неизвестный вид длинного значения"};

    const size_t total = lengthFlags;
    std::string out;
    std::unordered_set<uint32_t> visited;
    for (uint32_t pgRow = le32(field + 4); pgRow != 0;) {
        if (!visited.insert(pgRow).second)
            throw Failure{"цепочка длинного значения замкнута в кольцо"};
        fetch(pgRow, data, len);
        if (len < 4)
            throw Failure{"пустое звено цепочки длинного значения"};
        if (out.size() + len - 4 > total)
            throw Failure{"длинное значение длиннее указанного"};
        out.append(reinterpret_cast<const char*>(data) + 4, len - 4);
        pgRow = le32(data);
    }
    if (out.size() != total)
        throw Failure{"длинное значение короче указанного"};
    return out;
}

void writeRow(Frame& w, MdbTableDef* table, std::vector<MdbField>& fields)
{
    MdbHandle* mdb = table->entry->mdb;
    const size_t pageSize = size_t(mdb->fmt->pg_size);
    int start = 0;
    size_t size = 0;
    if (mdb_find_row(mdb, int(table->cur_row) - 1, &start, &size) != 0)
        throw Failure{"строка таблицы не читается"};
    start &= RowOffsetMask;
    const int count = mdb_crack_row(table, start, size, fields.data());
    if (count != int(table->num_cols))
        throw Failure{"строка таблицы не читается"};

    std::vector<const MdbField*> byColumn(table->num_cols, nullptr);
    for (int i = 0; i < count; ++i)
        if (fields[i].colnum >= 0 && unsigned(fields[i].colnum) < table->num_cols)
            byColumn[fields[i].colnum] = &fields[i];

    w.u8(jetstream::Row);
    for (unsigned i = 0; i < table->num_cols; ++i) {
        const MdbColumn* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        const MdbField* f = byColumn[i];
        if (!f)
            throw Failure{"в строке нет значения столбца"};
        if (col->col_type == MDB_BOOL) {
            // A Yes/No value lives in the row's null mask: a set bit is Yes.
            w.u8(f->is_null ? jetstream::TagFalse : jetstream::TagTrue);
            continue;
        }
        if (f->is_null) {
            w.u8(jetstream::TagNull);
            continue;
        }
        if (f->start < 0 || f->siz < 0 || size_t(f->start) + size_t(f->siz) > pageSize)
            throw Failure{"значение выходит за границы страницы"};
        const unsigned char* value = mdb->pg_buf + f->start;
        w.u8(jetstream::TagBytes);
        if (col->col_type == MDB_MEMO || col->col_type == MDB_OLE) {
            const std::string lv = readLongValue(mdb, value, f->siz);
            w.bytes(lv.data(), lv.size());
        } else if (col->col_type == MDB_NUMERIC) {
            char* text = mdb_numeric_to_string(mdb, f->start, col->col_scale, col->col_prec);
            w.bytes(text, strlen(text));
            g_free(text);
        } else {
            w.bytes(value, size_t(f->siz));
        }
    }
}

void writeTable(Writer& out, MdbHandle* mdb, const char* tableName)
{
    MdbCatalogEntry* entry = nullptr;
    for (unsigned i = 0; i < mdb->num_catalog; ++i) {
        auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
        if (e->object_type == MDB_TABLE && mdb_is_user_table(e) && strcmp(e->object_name, tableName) == 0)
            entry = e;
    }
    if (!entry)
        throw Failure{"нет такой таблицы"};
    MdbTableDef* table = mdb_read_table(entry);
    if (!table)
        throw Failure{"описание таблицы не читается"};
    if (!mdb_read_columns(table) || table->num_cols == 0 || table->num_cols > unsigned(jetstream::MaxColumns)) {
        mdb_free_tabledef(table);
        throw Failure{"столбцы таблицы не читаются"};
    }
    Frame w;
    w.u8(jetstream::Columns);
    w.u16(uint16_t(table->num_cols));
    for (unsigned i = 0; i < table->num_cols; ++i) {
        const MdbColumn* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
        w.str(col->name);
        w.u8(uint8_t(col->col_type));
        w.u16(uint16_t(col->col_size));
    }
    out.put(w);
    std::vector<MdbField> fields(table->num_cols);
    mdb_rewind_table(table);
    try {
        while (mdb_fetch_row(table)) {
            writeRow(w, table, fields);
            out.put(w);
        }
    } catch (...) {
        mdb_free_tabledef(table);
        throw;
    }
    const uint32_t rowCount = table->num_rows;
    mdb_free_tabledef(table);
    w.u8(jetstream::End);
    w.u32(rowCount);
    out.put(w);
}

} // namespace

void ExtractJetFile(int fd, const char* path, const char* tableName)
{
    Writer out(fd);
    Frame w;
    MdbHandle* mdb = mdb_open(path, MDB_NOFLAGS);
    w.u8(jetstream::Header);
    w.u8(mdb ? uint8_t(mdb->f->jet_version) : 0);
    w.u16(mdb ? mdb->f->code_page : 0);
    out.put(w);
    if (!mdb) {
        w.u8(jetstream::Error);
        w.str("файл не открывается как база данных Jet");
        out.put(w);
        return;
    }
    try {
        if (!mdb_read_catalog(mdb, MDB_TABLE))
            throw Failure{"список таблиц не читается"};
        if (!tableName) {
            std::vector<const char*> names;
            for (unsigned i = 0; i < mdb->num_catalog; ++i) {
                auto* e = static_cast<MdbCatalogEntry*>(g_ptr_array_index(mdb->catalog, i));
                if (e->object_type == MDB_TABLE && mdb_is_user_table(e))
                    names.push_back(e->object_name);
            }
            w.u8(jetstream::Names);
            w.u32(uint32_t(names.size()));
            for (const char* n : names)
                w.str(n);
            out.put(w);
        } else {
            writeTable(out, mdb, tableName);
        }
    } catch (const Failure& f) {
        w.clear();
        w.u8(jetstream::Error);
        w.str(f.text);
        out.put(w);
    }
    out.flush();
    mdb_close(mdb);
}
