// The dataset layer against Qt's QSqlTableModel over the same SQLite file, in
// one run, each side in a child process of its own so that its peak memory
// is its own. Run by hand:
//
//     bench_db [rows]      (default 1000000; find-match runs on 100000 rows)
//
// Steps: open and show the first 30 rows; jump to the last row; scroll back a
// page; find-match per keystroke (prefix and anywhere, with and without an
// index). It prints each time, the peer's, their ratio and the peak memory.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QVariant>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "controls/base/Qxfind.h"
#include "platform/db/dbtables.h"
#include "tools/bench/child.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

const int pageRows = 30;

// big(Id, Name, City, Amount): names are scattered over the rows, so an
// index order and the physical order differ.
void MakeTable(const std::string &file, const std::string &table, int rows)
{
    TDatabase db(nullptr);
    db.SetDatabaseName("bench-" + table);
    db.Params()->Add("PATH=" + file);
    db.Execute("CREATE TABLE " + table + " (Id INTEGER PRIMARY KEY, Name VARCHAR(30), City VARCHAR(20), Amount FLOAT)");
    db.Execute("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " + std::to_string(rows)
        + ") INSERT INTO " + table + " SELECT i, printf('N%07d', (i * 7919) % " + std::to_string(rows)
        + "), CASE i % 4 WHEN 0 THEN 'Lima' WHEN 1 THEN 'Quito' WHEN 2 THEN 'Cali' ELSE 'Bogota' END, i * 0.25 FROM c");
    db.Execute("CREATE INDEX " + table + "ByName ON " + table + " (Name)");
}

// What a grid asks of the dataset: a window of rows.
class TPageLink : public TDataLink
{
};

std::string ReadPage(TDataSet &ds, TPageLink &link)
{
    std::string seen;
    int active = link.ActiveRecord();
    for (int i = 0; i < link.RecordCount(); ++i) {
        link.SetActiveRecord(i);
        seen = ds.FieldByName("Name")->AsString() + ds.FieldByName("City")->AsString();
    }
    link.SetActiveRecord(active);
    return seen;
}

struct TResult {
    double Open = 0, Last = 0, Back = 0;
    double FindPrefixIndex = 0, FindPrefixScan = 0, FindAnyIndex = 0, FindAnyScan = 0; // average per keystroke
    double FindMax = 0;
    double FindMaxOf[4] = {}; // slowest keystroke of each search
};

// The name the searches type, one key at a time: one near the end of the
// physical order, so a scan walks almost every row.
std::string Target(int rows) { return "N" + std::string(7 - std::to_string((rows - 5) * 7919LL % rows).size(), '0') + std::to_string((rows - 5) * 7919LL % rows); }

TResult Ours(const std::string &file, int rows, int findRows)
{
    TResult r;
    // The database file is opened before the clock starts, as the peer's is.
    TDatabase *database = Session()->OpenDatabase(file);
    {
        TTable t(nullptr);
        t.SetDatabaseName(file);
        t.SetTableName("big");
        t.SetIndexName("bigByName");
        TDataSource source(nullptr);
        source.SetDataSet(&t);
        TPageLink link;
        link.SetBufferCount(pageRows);
        link.SetDataSource(&source);
        auto start = Clock::now();
        t.Open();
        ReadPage(t, link);
        r.Open = Ms(start);
        start = Clock::now();
        t.Last();
        ReadPage(t, link);
        r.Last = Ms(start);
        start = Clock::now();
        t.MoveBy(-(2 * pageRows - 1));
        ReadPage(t, link);
        r.Back = Ms(start);
        (void)rows;
    }
    TTable f(nullptr);
    f.SetDatabaseName(file);
    f.SetTableName("small");
    f.Open();
    const std::string target = Target(findRows);
    int which = 0;
    auto typing = [&](const std::string &index, int matchType) {
        f.SetIndexName(index);
        double total = 0;
        double &slowest = r.FindMaxOf[which++];
        for (size_t n = 1; n <= target.size(); ++n) {
            auto start = Clock::now();
            bool found = FindMatch(true, &f, "Name", true, matchType, target.substr(0, n));
            double ms = Ms(start);
            total += ms;
            r.FindMax = std::max(r.FindMax, ms);
            slowest = std::max(slowest, ms);
            if (!found)
                std::fprintf(stderr, "not found: %s\n", target.substr(0, n).c_str());
        }
        return total / static_cast<double>(target.size());
    };
    r.FindPrefixIndex = typing("smallByName", 1);
    r.FindPrefixScan = typing("", 1);
    r.FindAnyIndex = typing("smallByName", 2);
    r.FindAnyScan = typing("", 2);
    f.Close();
    Session()->CloseDatabase(database);
    return r;
}

TResult Peer(const std::string &file, int findRows)
{
    TResult r;
    int argc = 1;
    char name[] = "bench_db";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE");
    db.setDatabaseName(QString::fromStdString(file));
    if (!db.open()) {
        std::fprintf(stderr, "peer: cannot open the file (is the Qt SQLite driver installed?)\n");
        std::exit(2);
    }
    {
        QSqlTableModel model(nullptr, db);
        model.setTable("big");
        model.setSort(1, Qt::AscendingOrder);
        auto page = [&model](int first) {
            QString seen;
            for (int i = first; i < first + pageRows && i < model.rowCount(); ++i)
                seen = model.data(model.index(i, 1)).toString() + model.data(model.index(i, 2)).toString();
            return seen;
        };
        auto start = Clock::now();
        model.select();
        page(0);
        r.Open = Ms(start);
        start = Clock::now();
        while (model.canFetchMore())
            model.fetchMore(); // the model reaches the last row only through every row before it
        page(model.rowCount() - pageRows);
        r.Last = Ms(start);
        start = Clock::now();
        page(model.rowCount() - 2 * pageRows);
        r.Back = Ms(start);
    }
    QSqlTableModel small(nullptr, db);
    small.setTable("small");
    const std::string target = Target(findRows);
    auto typing = [&](bool sorted, Qt::MatchFlags flags) {
        small.setSort(sorted ? 1 : 0, Qt::AscendingOrder);
        small.select();
        while (small.canFetchMore())
            small.fetchMore();
        double total = 0;
        for (size_t n = 1; n <= target.size(); ++n) {
            auto start = Clock::now();
            small.match(small.index(0, 1), Qt::DisplayRole, QString::fromStdString(target.substr(0, n)), 1, flags);
            total += Ms(start);
        }
        return total / static_cast<double>(target.size());
    };
    r.FindPrefixIndex = typing(true, Qt::MatchStartsWith);
    r.FindPrefixScan = typing(false, Qt::MatchStartsWith);
    r.FindAnyIndex = typing(true, Qt::MatchContains);
    r.FindAnyScan = typing(false, Qt::MatchContains);
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int findRows = 100000;
    fs::path dir = fs::temp_directory_path() / ("bench-db-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string file = (dir / "bench.db").string();
    CreateDatabaseFile(file);
    auto start = Clock::now();
    MakeTable(file, "big", rows);
    MakeTable(file, "small", findRows);
    std::printf("table of %d rows (and %d for find-match) made in %.0f ms\n", rows, findRows, Ms(start));

    long oursPeak = 0, peerPeak = 0, oursSmallPeak = 0;
    TResult ours = InChild<TResult>([&] { return Ours(file, rows, findRows); }, oursPeak);
    TResult peer = InChild<TResult>([&] { return Peer(file, findRows); }, peerPeak);
    // Ours again over a tenth of the rows: its memory should not grow with them.
    std::string tenth = (dir / "tenth.db").string();
    CreateDatabaseFile(tenth);
    MakeTable(tenth, "big", rows / 10);
    MakeTable(tenth, "small", findRows);
    InChild<TResult>([&] { return Ours(tenth, rows / 10, findRows); }, oursSmallPeak);

    auto line = [](const char *step, double a, double b) {
        std::printf("%-34s %10.3f ms %12.3f ms %10.1fx\n", step, a, b, a > 0 ? b / a : 0.0);
    };
    std::printf("\n%-34s %13s %15s %11s\n", "step", "datasets", "QSqlTableModel", "peer/ours");
    line("open, first 30 rows", ours.Open, peer.Open);
    line("jump to the last row", ours.Last, peer.Last);
    line("scroll back a page", ours.Back, peer.Back);
    line("find prefix, index (per key)", ours.FindPrefixIndex, peer.FindPrefixIndex);
    line("find prefix, scan (per key)", ours.FindPrefixScan, peer.FindPrefixScan);
    line("find anywhere, index (per key)", ours.FindAnyIndex, peer.FindAnyIndex);
    line("find anywhere, scan (per key)", ours.FindAnyScan, peer.FindAnyScan);
    std::printf("slowest keystroke (ours): %.3f ms (prefix index %.3f, prefix scan %.3f, anywhere index %.3f, anywhere scan %.3f)\n",
        ours.FindMax, ours.FindMaxOf[0], ours.FindMaxOf[1], ours.FindMaxOf[2], ours.FindMaxOf[3]);
    std::printf("peak memory: datasets %ld KiB (%ld KiB at %d rows), QSqlTableModel %ld KiB\n", oursPeak,
        oursSmallPeak, rows / 10, peerPeak);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}
