/* A test suite with the module loaded once, as the host application loads it. */
#pragma once
#include <gtest/gtest.h>

#include "plugin_host.h"
#include "testkit.h"

class LoadedModule : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_host = new host::PlugInHost();
        ASSERT_TRUE(s_host->Load(testkit::ProgramDir() + "redll.pll")) << s_host->error();
    }
    static void TearDownTestSuite()
    {
        delete s_host;
        s_host = nullptr;
    }
    static HMODULE module() { return s_host->module(); }
    static inline host::PlugInHost *s_host = nullptr;
};
