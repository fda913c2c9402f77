#pragma once

// Helpers of the data-layer tests: a fresh SQLite file per test.

#include "platform/db/dbtables.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/sysutils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <unistd.h>

inline std::string ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Exception &e) {
        return std::string(e.ClassName()) + ": " + e.Message();
    }
    return "no error";
}

class DbTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static int n = 0;
        dir_ = std::filesystem::temp_directory_path() / ("orvex-db-" + std::to_string(getpid()) + "-" + std::to_string(++n));
        std::filesystem::create_directories(dir_);
        file_ = (dir_ / "test.db").string();
        CreateDatabaseFile(file_);
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    int64_t Exec(const std::string &sql)
    {
        TDatabase db(nullptr);
        db.SetDatabaseName("exec-" + std::to_string(++execs_));
        db.Params()->Add("PATH=" + file_);
        return db.Execute(sql);
    }
    // customer(CustNo INTEGER PRIMARY KEY, Name, City, Balance) with n rows:
    // CustNo i, Name "Name<i>" (zero-padded to 4), City by i % 3.
    void MakeCustomers(int n)
    {
        Exec("CREATE TABLE customer (CustNo INTEGER PRIMARY KEY, Name VARCHAR(30), City VARCHAR(20), Balance MONEY)");
        Exec("CREATE INDEX ByName ON customer (Name)");
        std::string sql = "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < " + std::to_string(n)
            + ") INSERT INTO customer SELECT i, printf('Name%04d', i), CASE i % 3 WHEN 0 THEN 'Lima' WHEN 1 THEN 'Quito' ELSE 'Cali' END, i * 1.5 FROM c";
        Exec(sql);
    }
    std::unique_ptr<TTable> OpenTable(const std::string &name)
    {
        auto t = std::make_unique<TTable>(nullptr);
        t->SetDatabaseName(file_);
        t->SetTableName(name);
        t->Open();
        return t;
    }

    std::filesystem::path dir_;
    std::string file_;
    int execs_ = 0;
};
