#include "DoeStepwiseSetting.h"

namespace doeBussiness {

QString stepwiseSettingError(const DoeFitModel_Stepwise_Setting& s)
{
    // Unsigned comparisons refuse negative codes as well.
    if (static_cast<unsigned>(s.stoppingRule) >= 5u)
        return QStringLiteral("Invalid stepwise stopping rule\n");
    if (static_cast<unsigned>(s.direction) > 2u)
        return QStringLiteral("Invalid stepwise direction\n");
    if (static_cast<unsigned>(s.rules) >= 4u)
        return QStringLiteral("Invalid stepwise rules\n");
    // Written so that NaN fails as well.
    if (!(s.probToEnter >= 0.0 && s.probToEnter <= 1.0))
        return QStringLiteral("Invalid stepwise p value to enter\n");
    if (!(s.probToLeave >= 0.0 && s.probToLeave <= 1.0))
        return QStringLiteral("Invalid stepwise p value to leave\n");
    return QString();
}

DoeStepwiseSnapshotStore::DoeStepwiseSnapshotStore(const DoeStepwiseSnapshotStore& o)
{
    std::lock_guard<std::mutex> lock(o.m_mutex);
    m_slots = o.m_slots;
}

DoeStepwiseSnapshotStore& DoeStepwiseSnapshotStore::operator=(const DoeStepwiseSnapshotStore& o)
{
    if (this == &o)
        return *this;
    QVector<Ptr> copy;
    {
        std::lock_guard<std::mutex> lock(o.m_mutex);
        copy = o.m_slots;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_slots.swap(copy);
    return *this;
}

void DoeStepwiseSnapshotStore::publish(int slot, Ptr snapshot)
{
    if (slot < 0)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (slot >= m_slots.size())
        m_slots.resize(slot + 1);
    m_slots[slot].swap(snapshot);
}

DoeStepwiseSnapshotStore::Ptr DoeStepwiseSnapshotStore::get(int slot) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return slot >= 0 && slot < m_slots.size() ? m_slots[slot] : Ptr();
}

void DoeStepwiseSnapshotStore::clear()
{
    QVector<Ptr> old;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_slots.swap(old);
}

}  // namespace doeBussiness
