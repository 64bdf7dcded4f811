// Facade forwards of the design's model page: interactions, powers, crosses and term removal.
#include "DoeBussinessApi.h"

#include "DoeCustomDesignManager.h"

namespace doeBussiness {

namespace {

bool present(const DoeCustomDesignManager* manager, QString& err)
{
    if (!manager)
        err += QStringLiteral("Unknown error\n");
    return manager != nullptr;
}

}  // namespace

bool DoeBussinessApi::addInteractionModelDataForCustomDesign(const QStringList& factors, int order, QString& err)
{
    return present(m_customDesignManager, err) && m_customDesignManager->addInteractionTerms(factors, order, err);
}

bool DoeBussinessApi::addPowerModelDataForCustomDesign(const QStringList& factors, int power, QString& err)
{
    return present(m_customDesignManager, err) && m_customDesignManager->addPowerTerms(factors, power, err);
}

bool DoeBussinessApi::addCrossModelDataForCustomDesign(const QStringList& factors, const QList<int>& termIndices,
                                                       QString& err)
{
    return present(m_customDesignManager, err) && m_customDesignManager->addCrossTerms(factors, termIndices, err);
}

bool DoeBussinessApi::removeModelDataListForCustomDesign(const QList<int>& indices, QString& err)
{
    return present(m_customDesignManager, err) && m_customDesignManager->removeModelTerms(indices, err);
}

}  // namespace doeBussiness
