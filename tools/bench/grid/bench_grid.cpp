// The data grid against Qt's QTableView over a QSqlTableModel on the same
// SQLite file, in one run, each side in a child process of its own so that
// its peak memory is its own. Run by hand (QT_QPA_PLATFORM=offscreen works):
//
//     bench_grid [rows]      (default 1000000)
//
// Steps: open the table and paint the first screen; page down, once and
// then ten times more; jump to the last row and paint it; drag the thumb of
// the vertical scroll bar from the top to the bottom, letting it go at 50
// places, in the rowid's order and again in the order of an index on a text
// column. It prints each time, the peer's, their ratio and the peak memory
// of both, and ours again over a tenth of the rows. Ours must reach, at each
// place, the record the place names (record count x place / 200 + 1).

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QSqlDatabase>
#include <QSqlTableModel>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "controls/base/Qxcommon.h"
#include "controls/widgets/qxdbgrid.h"
#include "controls/widgets/registration.h"
#include "platform/classes/typinfo.h"
#include "platform/db/dbtables.h"
#include "platform/rtl/sysutils.h"
#include "platform/ui/forms.h"
#include "platform/ui/testing.h"
#include "tools/bench/child.h"

namespace fs = std::filesystem;

namespace
{

using Clock = std::chrono::steady_clock;
double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

// The grid wants one of the library's datasets: a table that publishes
// ControlType is one.
class TBenchTable : public TTable
{
public:
    using TTable::TTable;
    static const TMetaClass Class;
    const TMetaClass *ClassType() const override { return &Class; }
    TStrings *ControlType() const { return controlType_.get(); }

private:
    std::unique_ptr<TStringList> controlType_ = std::make_unique<TStringList>();
};
const TMetaClass TBenchTable::Class { "TBenchTable", &TTable::Class };
const TClassRegistrar<TBenchTable> benchTableRegistrar({ TPublish<TBenchTable>::Strings("ControlType", &TBenchTable::ControlType) });

void MakeTable(const std::string &file, int rows)
{
    TDatabase db(nullptr);
    db.SetDatabaseName("bench-grid");
    db.Params()->Add("PATH=" + file);
    db.Execute("CREATE TABLE big (Id INTEGER PRIMARY KEY, Name VARCHAR(30), City VARCHAR(20), Amount FLOAT)");
    db.Execute("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " + std::to_string(rows)
        + ") INSERT INTO big SELECT i, printf('N%07d', (i * 7919) % " + std::to_string(rows)
        + "), CASE i % 4 WHEN 0 THEN 'Lima' WHEN 1 THEN 'Quito' WHEN 2 THEN 'Cali' ELSE 'Bogota' END, i * 0.25 FROM c");
    // Names are a shuffle of N0000000 .. N<rows - 1>: the n-th by name is N<n - 1>.
    db.Execute("CREATE INDEX ByName ON big (Name)");
}

// The thumb's 50 places of a drag from the top to the bottom (of 0-200).
constexpr int kDragSteps = 50;
int DragPlace(int step) { return 2 + 4 * step; }

struct TDrag {
    double Median = 0, Slowest = 0;
    int Missed = 0; // places where ours stood on another record than the one named
};

TDrag Summarise(std::vector<double> steps, int missed)
{
    std::sort(steps.begin(), steps.end());
    return { (steps[kDragSteps / 2 - 1] + steps[kDragSteps / 2]) / 2, steps.back(), missed };
}

struct TResult {
    double FirstPaint = 0, PageDown = 0, NextPageDown = 0, Last = 0;
    int Shown = 0; // rows on the screen
    long LastId = 0; // what the last row says
    TDrag ById, ByName;
};

TResult Ours(const std::string &file)
{
    Application->Initialize();
    RegisterControlsWidgetsClasses();
    TResult r;
    auto start = Clock::now();
    auto *form = new TForm(nullptr);
    form->SetBounds(0, 0, 640, 480);
    auto *table = new TBenchTable(form);
    table->SetDatabaseName(file);
    table->SetTableName("big");
    auto *source = new TDataSource(form);
    source->SetDataSet(table);
    auto *grid = new TqxDBGrid(form);
    grid->SetParent(form);
    grid->SetAlign(alClient);
    table->Open();
    grid->SetDataSource(source);
    form->Show();
    grid->Repaint();
    ProcessPendingEvents();
    r.FirstPaint = Ms(start);
    r.Shown = grid->DataLink()->RecordCount();

    form->SetActiveControl(grid);
    start = Clock::now();
    PressKey(grid, VK_NEXT);
    grid->Repaint();
    ProcessPendingEvents();
    r.PageDown = Ms(start);
    start = Clock::now();
    for (int i = 0; i < 10; ++i) {
        PressKey(grid, VK_NEXT);
        grid->Repaint();
        ProcessPendingEvents();
    }
    r.NextPageDown = Ms(start) / 10;

    start = Clock::now();
    PressKey(grid, VK_END, 0, { ssCtrl });
    grid->Repaint();
    ProcessPendingEvents();
    r.Last = Ms(start);
    r.LastId = static_cast<long>(table->FieldByName("Id")->AsInteger());

    auto drag = [&](const std::function<bool(int64_t recNo)> &reached) {
        const int64_t count = table->RecordCount();
        std::vector<double> steps;
        int missed = 0;
        for (int i = 0; i < kDragSteps; ++i) {
            start = Clock::now();
            grid->Perform(WM_VSCROLL, MakeLParam(SB_THUMBPOSITION, DragPlace(i)), 0);
            grid->Repaint();
            ProcessPendingEvents();
            steps.push_back(Ms(start));
            missed += !reached(count * DragPlace(i) / 200 + 1);
        }
        return Summarise(steps, missed);
    };
    r.ById = drag([&](int64_t recNo) { return table->FieldByName("Id")->AsInteger() == recNo; });
    table->SetIndexName("ByName");
    r.ByName = drag([&](int64_t recNo) { return table->FieldByName("Name")->AsString() == Format("N%.7d", recNo - 1); });
    delete form;
    return r;
}

TResult Peer(const std::string &file)
{
    int argc = 1;
    char name[] = "bench_grid";
    char *argv[] = { name, nullptr };
    QApplication app(argc, argv);
    TResult r;
    auto start = Clock::now();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "peer");
        db.setDatabaseName(QString::fromStdString(file));
        if (!db.open()) {
            std::fprintf(stderr, "peer: cannot open the file (is the Qt SQLite driver installed?)\n");
            std::exit(1);
        }
        QSqlTableModel model(nullptr, db);
        model.setTable("big");
        model.select();
        QTableView view;
        view.setModel(&model);
        view.resize(640, 480);
        view.show();
        view.repaint();
        QCoreApplication::processEvents();
        r.FirstPaint = Ms(start);
        r.Shown = view.rowAt(view.viewport()->height() - 1) - view.rowAt(0) + 1;

        start = Clock::now();
        view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
        view.repaint();
        QCoreApplication::processEvents();
        r.PageDown = Ms(start);
        start = Clock::now();
        for (int i = 0; i < 10; ++i) {
            view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
            view.repaint();
            QCoreApplication::processEvents();
        }
        r.NextPageDown = Ms(start) / 10;

        // QSqlTableModel fetches in blocks of 256; reaching the last row
        // means fetching all of them, as its view does when scrolled to the end.
        start = Clock::now();
        while (model.canFetchMore())
            model.fetchMore();
        view.scrollToBottom();
        view.repaint();
        QCoreApplication::processEvents();
        r.Last = Ms(start);
        r.LastId = model.data(model.index(model.rowCount() - 1, 0)).toLongLong();

        // The thumb stands where the model has rows; the view goes there.
        auto drag = [&] {
            QScrollBar *bar = view.verticalScrollBar();
            std::vector<double> steps;
            for (int i = 0; i < kDragSteps; ++i) {
                start = Clock::now();
                bar->setValue(static_cast<int>(int64_t(bar->maximum()) * DragPlace(i) / 200));
                view.repaint();
                QCoreApplication::processEvents();
                steps.push_back(Ms(start));
            }
            return Summarise(steps, 0);
        };
        r.ById = drag();
        model.setSort(1, Qt::AscendingOrder);
        model.select();
        r.ByName = drag();
    }
    QSqlDatabase::removeDatabase("peer");
    return r;
}

} // namespace

int main(int argc, char **argv)
{
    setenv("QT_QPA_PLATFORM", getenv("QT_QPA_PLATFORM") ? getenv("QT_QPA_PLATFORM") : "offscreen", 1);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    fs::path dir = fs::temp_directory_path() / ("bench-grid-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string file = (dir / "bench.db").string(), tenth = (dir / "tenth.db").string();
    CreateDatabaseFile(file);
    CreateDatabaseFile(tenth);
    auto start = Clock::now();
    MakeTable(file, rows);
    MakeTable(tenth, rows / 10);
    std::printf("tables of %d and %d rows made in %.0f ms\n", rows, rows / 10, Ms(start));

    long oursPeak = 0, peerPeak = 0, tenthPeak = 0;
    TResult ours = InChild<TResult>([&] { return Ours(file); }, oursPeak);
    TResult peer = InChild<TResult>([&] { return Peer(file); }, peerPeak);
    TResult small = InChild<TResult>([&] { return Ours(tenth); }, tenthPeak);

    auto line = [](const char *step, double a, double b) {
        std::printf("%-30s %10.1f ms %12.1f ms %10.1fx\n", step, a, b, a > 0 ? b / a : 0.0);
    };
    std::printf("\n%-30s %13s %15s %11s\n", "step", "qxDBGrid", "QTableView", "peer/ours");
    line("open and first paint", ours.FirstPaint, peer.FirstPaint);
    line("first page down", ours.PageDown, peer.PageDown);
    line("each next page down", ours.NextPageDown, peer.NextPageDown);
    line("jump to the last row", ours.Last, peer.Last);
    line("thumb drag by Id: median step", ours.ById.Median, peer.ById.Median);
    line("thumb drag by Id: slowest step", ours.ById.Slowest, peer.ById.Slowest);
    line("thumb drag by Name: median", ours.ByName.Median, peer.ByName.Median);
    line("thumb drag by Name: slowest", ours.ByName.Slowest, peer.ByName.Slowest);
    std::printf("thumb places where ours stood on another record than the one named: %d by Id, %d by Name "
                "(%d and %d at %d rows)\n",
        ours.ById.Missed, ours.ByName.Missed, small.ById.Missed, small.ByName.Missed, rows / 10);
    std::printf("rows on screen: ours %d, peer %d; last row id: ours %ld, peer %ld\n", ours.Shown, peer.Shown,
        ours.LastId, peer.LastId);
    std::printf("peak memory: qxDBGrid %ld KiB (%ld KiB at %d rows), QTableView %ld KiB\n", oursPeak, tenthPeak,
        rows / 10, peerPeak);
    std::printf("first paint at %d rows: %.1f ms (ours)\n", rows / 10, small.FirstPaint);
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return 0;
}
