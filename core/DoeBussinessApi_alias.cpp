// Alias-optimal choice of the custom design, kept by the custom-design manager.
#include "DoeBussinessApi.h"

#include "DoeCustomDesignManager.h"

namespace doeBussiness {

void DoeBussinessApi::setAliasOptimal(bool on)
{
    if (m_customDesignManager)
        m_customDesignManager->setAliasOptimal(on);
}

bool DoeBussinessApi::aliasOptimal() const
{
    return m_customDesignManager && m_customDesignManager->aliasOptimal();
}

}  // namespace doeBussiness
