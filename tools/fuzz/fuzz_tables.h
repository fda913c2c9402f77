#pragma once

// The database the data targets read: the filter tests' orders, a row of
// every kind of value and a row of blanks, and the query tests' customers and
// their orders, in one SQLite file of the fuzz folder.

#include "platform/db/dbtables.h"
#include "tools/fuzz/fuzz_support.h"

#include <memory>

inline void FuzzExecute(const std::string &file, const std::string &sql)
{
    static int count = 0;
    TDatabase db(nullptr);
    db.SetDatabaseName("fuzz-execute-" + std::to_string(++count));
    db.Params()->Add("PATH=" + file);
    db.Execute(sql);
}

// Made once per process; answers the file's name.
inline const std::string &FuzzDatabase()
{
    static const std::string file = [] {
        const std::string name = FuzzFolder() + "/data.db";
        CreateDatabaseFile(name);
        for (const char *sql : {
                 "CREATE TABLE orders (Id INTEGER PRIMARY KEY, City VARCHAR(120), Qty INTEGER, Price FLOAT, Sold DATE,"
                 " At TIME, Stamp DATETIME, Paid BOOLEAN, Small SMALLINT, Amount NUMERIC(10,2), \"Ship To\" VARCHAR(20))",
                 "INSERT INTO orders VALUES (1, 'Lima', 3, 2.5, 36906, 0.4375, 36906.4375, 1, 7, 12.5, 'Quito'),"
                 " (2, 'New York', 9, 1.25, 36525, 0.99998, 36525.99998, 0, -3, 0.01, NULL),"
                 " (3, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL)",
                 "CREATE TABLE customer (CustNo INTEGER PRIMARY KEY, Name VARCHAR(30), City VARCHAR(20), Balance MONEY)",
                 "INSERT INTO customer VALUES (1, 'Name0001', 'Quito', 1.5), (2, 'Name0002', 'Cali', 3),"
                 " (3, 'Name0003', 'Lima', 4.5), (4, 'Name0004', 'Quito', 6)",
                 "CREATE TABLE sales (OrderNo INTEGER PRIMARY KEY, CustNo INTEGER, Amount FLOAT)",
                 "INSERT INTO sales VALUES (1, 1, 10), (2, 2, NULL), (3, 4, 30), (4, 1, 50)",
             })
            FuzzExecute(name, sql);
        return name;
    }();
    return file;
}

inline std::unique_ptr<TTable> FuzzOpenTable(const std::string &database, const std::string &name)
{
    auto table = std::make_unique<TTable>(nullptr);
    table->SetDatabaseName(database);
    table->SetTableName(name);
    table->Open();
    return table;
}
