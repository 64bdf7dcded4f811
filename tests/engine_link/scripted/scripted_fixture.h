#pragma once
// Reaches the scripted engine beside the test executable and resets its script before each test.
#include "fake_engine_state.h"

#include <QCoreApplication>
#include <QLibrary>

#include <gtest/gtest.h>

#include <ostream>

// Readable failure output for texts.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline FakeEngineState* scriptedEngineState()
{
    // Kept loaded for the whole run, so the engine's state outlives every manager.
    static QLibrary* library = [] {
        auto* lib = new QLibrary(QCoreApplication::applicationDirPath() + QStringLiteral("/Orvex"));
        lib->load();
        return lib;
    }();
    auto fn = reinterpret_cast<FakeStateFn>(library->resolve("fake_state"));
    return fn ? fn() : nullptr;
}

class ScriptedEngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        state = scriptedEngineState();
        ASSERT_NE(state, nullptr) << "the scripted engine is missing beside the test executable";
        state->reset();
    }

    FakeEngineState* state = nullptr;
};
