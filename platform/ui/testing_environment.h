#pragma once

// For test executables only: a GoogleTest environment that makes the
// application object (and with it the Qt application) before the first test
// and frees both after the last. Register it from a static initializer of
// one test file:
//
//     static auto *const env = ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

#include "platform/ui/forms.h"

#include <gtest/gtest.h>

class ApplicationEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { Application->Initialize(); }
    void TearDown() override { ShutdownApplication(); }
};
