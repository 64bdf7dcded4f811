#pragma once
// Shared between the scripted test engine and the tests that drive it: what the engine received
// from the engine link, and the answers it is told to give.
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct FakeObject {
    std::vector<std::string> factorNames;
    std::vector<std::vector<std::string>> categoricalLevels;  // one entry per categorical factor
    std::vector<std::vector<double>> discreteValues;          // one entry per discrete factor
    std::vector<std::string> responses;
    unsigned long seed = 0;
    int modelKind = 0;
    int generatedRuns = -1;
    std::map<int, std::vector<double>> factorRows;  // row -> values, one per factor
    std::map<int, double> responseValues;           // row -> response
    std::vector<double> rowStorage;                 // returned by the row reader
    std::vector<double> lastX;                      // values of the last prediction
    double lastAlpha = 0.0;
    int stepStarts = 0;
    int stepCalls = 0;
    int runCalls = 0;
    std::vector<int> lastEntered;
    bool released = false;
    std::vector<std::string> calls;                 // design calls in order, e.g. "generate 4"
    std::vector<std::vector<int>> termPowers;       // optional exports: last terms handed over
    std::vector<int> termNecessary;
    int criterion = -1;
    bool noRuns = false;                            // a cancelled search that kept nothing
};

struct FakeEngineState {
    std::vector<std::unique_ptr<FakeObject>> objects;  // every object ever created, in order
    int releaseCalls = 0;

    // scripted regression: expanded columns (0 is the intercept) and parameters
    std::vector<int> columnFactor;                  // 1-based factor number per column
    std::vector<std::vector<int>> columnCodes;      // per column, one code per level
    std::vector<std::vector<int>> parameterPowers;  // per parameter, one power per column
    std::vector<double> pValues;                    // per parameter, reported after a step
    int createModelResult = 0;
    double maxValue = 0.0;
    std::vector<double> maxSettings;
    bool nanPrediction = false;

    void reset() { *this = FakeEngineState(); }
};

// What a search running on another thread shares with the test (optional exports only).
struct FakeSearchState {
    std::atomic<bool> block{false};       // generate waits for a cancel (at most 5 s)
    std::atomic<bool> generating{false};
    std::atomic<int> cancelCalls{0};
    std::atomic<bool> keepRunsOnCancel{true};
    std::atomic<double> bytesPerRun{0.0};  // what generatememory reports
    void reset()
    {
        bytesPerRun = 0.0;
        block = false;
        generating = false;
        cancelCalls = 0;
        keepRunsOnCancel = true;
    }
};

extern "C" {
typedef FakeEngineState* (*FakeStateFn)(void);
typedef FakeSearchState* (*FakeSearchStateFn)(void);
}
