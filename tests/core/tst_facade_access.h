#pragma once
// Test-only access to the members the facade owns, for arranging state that would otherwise take
// a file load or a design generation.
#include "DoeBussinessApi.h"
#include "DoeTableManager.h"

namespace doeBussiness {

class DoeBussinessApiTestAccess
{
public:
    static DoeTableManager*& table(DoeBussinessApi& api) { return api.m_tableManager; }
    static DoeFitModelManager*& fitModel(DoeBussinessApi& api) { return api.m_fitModelManager; }
    static DoeCustomDesignManager* customDesign(DoeBussinessApi& api) { return api.m_customDesignManager; }
    static DoeFileManager* fileManager(DoeBussinessApi& api) { return api.m_fileManager; }
    static doeFunc::DoeFunctionManager* engine(DoeBussinessApi& api) { return api.m_functionManager; }

    // Gives the design table columns of the given roles (factor columns) and names.
    static void addColumns(DoeBussinessApi& api, const QList<QPair<QString, EDoeFactorRole>>& columns)
    {
        for (const auto& c : columns) {
            DoeDesignTableColumInfo info;
            info.name = c.first;
            info.role = c.second;
            api.m_tableManager->addColumn(info);
        }
    }
};

}  // namespace doeBussiness
