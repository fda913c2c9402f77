// Filtering a table by a compiled filter expression against the same
// condition as an SQLite WHERE clause, over one file in one run. Run by hand:
//
//     bench_filter [rows [condition]]      (default 1000000 rows, every condition)
//
// For each condition: the library table with the expression in qxFilter
// (compiled into the engine's filter block; SQLite decides the parts it can
// say exactly, our cursor layer the rest), a query over the same table with
// the condition as WHERE (the dataset layer over SQLite's own evaluation),
// and the bare SQLite statement stepped through its rows (SQLite alone, no
// dataset). Each gives the time to open and show the first 30 rows and the
// time to walk every row that passes; the row counts must agree. Then
// find-match per keystroke over the filtered table (a name typed key by key,
// one near the end of the rows that pass, so the scan reads nearly all of
// them) against Qt's QSqlTableModel over the same rows (setFilter, match).
// Every time is processor time, the best of three runs.

#include <sqlite3.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlTableModel>
#include <QVariant>

#include <algorithm>
#include <array>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "controls/base/Qxfind.h"
#include "controls/data/Qxdbsets.h"
#include "platform/rtl/formatsettings.h"

namespace fs = std::filesystem;

namespace {

// The thread's processor time: each side runs on this one thread, and other
// work on a busy machine then weighs on neither.
struct Clock {
    using time_point = double;
    static double now()
    {
        timespec t {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
    }
};
double Ms(Clock::time_point since) { return Clock::now() - since; }

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

const int runs = 3;

TTimes Best(const std::function<TTimes()> &run)
{
    TTimes best = run();
    for (int i = 1; i < runs; ++i) {
        TTimes t = run();
        best.Open = std::min(best.Open, t.Open), best.Walk = std::min(best.Walk, t.Walk);
    }
    return best;
}

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

// The big table with the condition as its filter, not yet open.
void Filter(TqxTable &table, const std::string &file, const TCondition &c)
{
    table.SetDatabaseName(file);
    table.SetTableName("big");
    TStringList lines;
    lines.Add(c.Filter);
    table.SetqxFilter(&lines);
}

TTimes Compiled(const std::string &file, const TCondition &c)
{
    TqxTable table(nullptr);
    Filter(table, file, c);
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

// A name among the rows that pass, near their end.
std::string Target(const std::string &file, const TCondition &c)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, (std::string("SELECT Name FROM big WHERE ") + c.Where + " ORDER BY Id DESC LIMIT 1 OFFSET 5").c_str(),
        -1, &stmt, nullptr);
    std::string name;
    if (sqlite3_step(stmt) == SQLITE_ROW)
        name = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return name;
}

// Average time per keystroke of typing the target, each key a search from
// the first row (prefix, or anywhere).
double FindOurs(const std::string &file, const TCondition &c, const std::string &target, int matchType)
{
    TqxTable table(nullptr);
    Filter(table, file, c);
    table.Open();
    double best = 0;
    for (int run = 0; run < runs; ++run) {
        double total = 0;
        for (size_t n = 1; n <= target.size(); ++n) {
            auto start = Clock::now();
            if (!FindMatch(true, &table, "Name", true, matchType, target.substr(0, n)))
                std::fprintf(stderr, "not found: %s\n", target.substr(0, n).c_str());
            total += Ms(start);
        }
        best = run ? std::min(best, total) : total;
    }
    return best / static_cast<double>(target.size());
}

double FindPeer(const std::string &file, const TCondition &c, const std::string &target, int matchType)
{
    double best = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "peer");
        db.setDatabaseName(QString::fromStdString(file));
        if (!db.open()) {
            std::fprintf(stderr, "peer: cannot open the file (is the Qt SQLite driver installed?)\n");
            std::exit(2);
        }
        QSqlTableModel model(nullptr, db);
        model.setTable("big");
        model.setFilter(QString::fromStdString(c.Where));
        model.select();
        while (model.canFetchMore())
            model.fetchMore();
        for (int run = 0; run < runs; ++run) {
            double total = 0;
            for (size_t n = 1; n <= target.size(); ++n) {
                auto start = Clock::now();
                if (model.match(model.index(0, 1), Qt::DisplayRole, QString::fromStdString(target.substr(0, n)), 1,
                        matchType == 1 ? Qt::MatchStartsWith : Qt::MatchContains).isEmpty())
                    std::fprintf(stderr, "peer did not find: %s\n", target.substr(0, n).c_str());
                total += Ms(start);
            }
            best = run ? std::min(best, total) : total;
        }
    }
    QSqlDatabase::removeDatabase("peer");
    return best / static_cast<double>(target.size());
}

} // namespace

int main(int argc, char **argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int only = argc > 2 ? std::atoi(argv[2]) : 0; // one condition alone, counted from 1
    QCoreApplication app(argc, argv);
    TFormatSettingsScope english(EnglishFormatSettings());
    fs::path dir = fs::temp_directory_path() / ("bench-filter-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string file = (dir / "bench.db").string();
    CreateDatabaseFile(file);
    auto start = Clock::now();
    MakeTable(file, rows);
    std::printf("table of %d rows made in %.0f ms\n\n", rows, Ms(start));

    std::vector<TCondition> conditions = {
        { "one city (25%)", "City = \"Lima\"", "City = 'Lima'" },
        { "number range (1%)", "(Qty >= 500) AND (Qty < 510)", "(Qty >= 500) AND (Qty < 510)" },
        { "text or number (50%)", "(City = \"Cali\") OR (Amount > 125000.5)", "(City = 'Cali') OR (Amount > 125000.5)" },
        { "float below (10%)", "Amount < 25000", "Amount < 25000" },
        { "rare (0.1%)", "(Qty = 37) AND (City = \"Quito\")", "(Qty = 37) AND (City = 'Quito')" },
    };
    if (only >= 1 && only <= static_cast<int>(conditions.size()))
        conditions = { conditions[only - 1] };
    std::printf("%-22s %9s | %12s %12s | %12s %12s | %12s %12s\n", "condition", "rows", "filter open", "filter walk",
        "WHERE open", "WHERE walk", "sqlite open", "sqlite walk");
    bool agree = true;
    std::vector<std::array<double, 3>> ratios;
    for (const TCondition &c : conditions) {
        TTimes ours = Best([&] { return Compiled(file, c); }), where = Best([&] { return Where(file, c); }),
               bare = Best([&] { return Bare(file, c); });
        agree = agree && ours.Rows == where.Rows && ours.Rows == bare.Rows;
        std::printf("%-22s %9ld | %9.1f ms %9.1f ms | %9.1f ms %9.1f ms | %9.1f ms %9.1f ms%s\n", c.Name, ours.Rows,
            ours.Open, ours.Walk, where.Open, where.Walk, bare.Open, bare.Walk,
            ours.Rows == where.Rows && ours.Rows == bare.Rows ? "" : "  ROW COUNTS DIFFER");
        ratios.push_back({ ours.Open / bare.Open, ours.Walk / bare.Walk, ours.Walk / where.Walk });
    }
    std::printf("\n%-22s %24s %24s %24s\n", "condition", "open: filter/sqlite", "walk: filter/sqlite",
        "walk: filter/WHERE");
    for (size_t i = 0; i < ratios.size(); ++i)
        std::printf("%-22s %23.2fx %23.2fx %23.2fx\n", conditions[i].Name, ratios[i][0], ratios[i][1], ratios[i][2]);

    std::printf("\n%-22s %10s %16s %16s %9s\n", "find-match per key", "match", "filter", "QSqlTableModel",
        "ours/peer");
    for (const TCondition &c : conditions) {
        const std::string target = Target(file, c);
        for (int matchType : { 1, 2 }) {
            double ours = FindOurs(file, c, target, matchType), peer = FindPeer(file, c, target, matchType);
            std::printf("%-22s %10s %13.3f ms %13.3f ms %8.2fx\n", c.Name, matchType == 1 ? "prefix" : "anywhere", ours,
                peer, ours / peer);
        }
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return agree ? 0 : 1;
}
