// Filtering a table by a compiled filter expression against the same
// condition as an SQLite WHERE clause, over one file in one run. Run by hand:
//
//     bench_filter [rows]      (default 1000000)
//
// For each condition: the library table with the expression in qxFilter
// (compiled into the engine's filter block and tested row by row by our
// cursor layer), a query over the same table with the condition as WHERE
// (the dataset layer over SQLite's own evaluation), and the bare SQLite
// statement stepped through its rows (SQLite alone, no dataset). Each gives
// the time to open and show the first 30 rows and the time to walk every
// row that passes; the row counts must agree.

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "controls/data/Qxdbsets.h"
#include "platform/rtl/formatsettings.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

const int pageRows = 30;

void MakeTable(const std::string &file, int rows)
{
    TDatabase db(nullptr);
    db.SetDatabaseName("bench-filter");
    db.Params()->Add("PATH=" + file);
    db.Execute("CREATE TABLE big (Id INTEGER PRIMARY KEY, Name VARCHAR(30), City VARCHAR(20), Qty INTEGER,"
               " Amount FLOAT)");
    db.Execute("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " + std::to_string(rows)
        + ") INSERT INTO big SELECT i, printf('N%07d', (i * 7919) % " + std::to_string(rows)
        + "), CASE i % 4 WHEN 0 THEN 'Lima' WHEN 1 THEN 'Quito' WHEN 2 THEN 'Cali' ELSE 'Bogota' END,"
          " (i * 37) % 1000, i * 0.25 FROM c");
}

struct TCondition {
    const char *Name, *Filter, *Where;
};

struct TTimes {
    double Open = 0, Walk = 0;
    long Rows = 0;
};

// What a grid does: show the first page, then (scrolling on) every row.
TTimes Walk(TDataSet &ds, const std::function<void()> &open)
{
    TTimes t;
    auto start = Clock::now();
    open();
    for (int i = 0; i < pageRows && !ds.Eof(); ++i)
        ds.Next();
    t.Open = Ms(start);
    start = Clock::now();
    for (ds.First(); !ds.Eof(); ds.Next())
        ++t.Rows;
    t.Walk = Ms(start);
    return t;
}

TTimes Compiled(const std::string &file, const TCondition &c)
{
    TqxTable table(nullptr);
    table.SetDatabaseName(file);
    table.SetTableName("big");
    TStringList lines;
    lines.Add(c.Filter);
    table.SetqxFilter(&lines);
    return Walk(table, [&] { table.Open(); });
}

TTimes Where(const std::string &file, const TCondition &c)
{
    TQuery query(nullptr);
    query.SetDatabaseName(file);
    query.SQL()->Add(std::string("SELECT * FROM big WHERE ") + c.Where);
    return Walk(query, [&] { query.Open(); });
}

TTimes Bare(const std::string &file, const TCondition &c)
{
    TTimes t;
    sqlite3 *db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    auto start = Clock::now();
    sqlite3_prepare_v2(db, (std::string("SELECT * FROM big WHERE ") + c.Where).c_str(), -1, &stmt, nullptr);
    for (int i = 0; i < pageRows && sqlite3_step(stmt) == SQLITE_ROW; ++i)
        ;
    t.Open = Ms(start);
    sqlite3_reset(stmt);
    start = Clock::now();
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int col = 0; col < sqlite3_column_count(stmt); ++col)
            sqlite3_column_value(stmt, col);
        ++t.Rows;
    }
    t.Walk = Ms(start);
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return t;
}

} // namespace

int main(int argc, char **argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    TFormatSettingsScope english(EnglishFormatSettings());
    fs::path dir = fs::temp_directory_path() / ("bench-filter-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string file = (dir / "bench.db").string();
    CreateDatabaseFile(file);
    auto start = Clock::now();
    MakeTable(file, rows);
    std::printf("table of %d rows made in %.0f ms\n\n", rows, Ms(start));

    const TCondition conditions[] = {
        { "one city (25%)", "City = \"Lima\"", "City = 'Lima'" },
        { "number range (1%)", "(Qty >= 500) AND (Qty < 510)", "(Qty >= 500) AND (Qty < 510)" },
        { "text or number (50%)", "(City = \"Cali\") OR (Amount > 125000.5)", "(City = 'Cali') OR (Amount > 125000.5)" },
        { "float below (10%)", "Amount < 25000", "Amount < 25000" },
        { "rare (0.1%)", "(Qty = 37) AND (City = \"Quito\")", "(Qty = 37) AND (City = 'Quito')" },
    };
    std::printf("%-22s %9s | %12s %12s | %12s %12s | %12s %12s\n", "condition", "rows", "filter open", "filter walk",
        "WHERE open", "WHERE walk", "sqlite open", "sqlite walk");
    bool agree = true;
    for (const TCondition &c : conditions) {
        TTimes ours = Compiled(file, c), where = Where(file, c), bare = Bare(file, c);
        agree = agree && ours.Rows == where.Rows && ours.Rows == bare.Rows;
        std::printf("%-22s %9ld | %9.1f ms %9.1f ms | %9.1f ms %9.1f ms | %9.1f ms %9.1f ms%s\n", c.Name, ours.Rows,
            ours.Open, ours.Walk, where.Open, where.Walk, bare.Open, bare.Walk,
            ours.Rows == where.Rows && ours.Rows == bare.Rows ? "" : "  ROW COUNTS DIFFER");
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return agree ? 0 : 1;
}
