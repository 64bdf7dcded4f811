#pragma once
// Internal to the engine link: the engine entry points resolved at load time.
#include "orvex.h"

namespace doeFunc {
namespace detail {

// Engine entry points, shared by every manager; rewritten each time a manager loads the engine.
struct EngineTable {
    OrvexCreateDOEObjFn createObj = nullptr;
    OrvexAdd1Fn add1 = nullptr;
    OrvexAdd2Fn add2 = nullptr;
    OrvexAdd3Fn add3 = nullptr;
    OrvexAddResponseFn addResponse = nullptr;
    OrvexSeedFn seed = nullptr;
    OrvexCreateModelFn createModel = nullptr;
    OrvexGenerateFn generate = nullptr;
    OrvexVfactorFn vfactor = nullptr;
    OrvexVfactorsetFn vfactorSet = nullptr;
    OrvexVreponseFn vresponse = nullptr;
    OrvexPredictFn predict = nullptr;
    OrvexPredict2Fn predict2 = nullptr;
    OrvexNumParameterFn numParameter = nullptr;
    OrvexNumExpandFacFn numExpandFac = nullptr;
    OrvexStepStartFn stepStart = nullptr;
    OrvexGetStepParameterFn getStepParameter = nullptr;
    OrvexGetExpandValueFn getExpandValue = nullptr;
    OrvexGetParameterFn getParameter = nullptr;
    OrvexStepFn step = nullptr;
    OrvexRunModelFn runModel = nullptr;
    OrvexGetRunParameterFn getRunParameter = nullptr;
    OrvexCalcMaxFn calcMax = nullptr;
    OrvexReleaseDOEObjFn release = nullptr;
    // Optional: an engine without them designs for its own model with its default criterion.
    OrvexSetModelTermsFn setModelTerms = nullptr;
    OrvexSetCriterionFn setCriterion = nullptr;
    OrvexGenerateProgressFn generateProgress = nullptr;
    OrvexGenerateCancelFn generateCancel = nullptr;
    OrvexGenerateMemoryFn generateMemory = nullptr;
    // Optional: without them the engine keeps its own start budget and its plain criterion.
    OrvexSetStartsFn setStarts = nullptr;
    OrvexSetAliasOptimalFn setAliasOptimal = nullptr;
    OrvexSetRunStructureFn setRunStructure = nullptr;
    OrvexProposeWholePlotsFn proposeWholePlots = nullptr;
    OrvexRunStructureFn runStructure = nullptr;
    OrvexFixRunFn fixRun = nullptr;
};

extern EngineTable g_engine;
// Managers currently holding the engine loaded; when the last one unloads, the table is cleared so
// that no manager can call into an unmapped library.
extern int g_loadedManagers;

}  // namespace detail
}  // namespace doeFunc
