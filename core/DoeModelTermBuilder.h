#pragma once
// Candidate model terms built from factor names for the design's model page: interactions of a
// given order, powers and crosses. Pure name lists; whether a term is usable is decided where it
// is added. Internal to plan_core.
#include <QList>
#include <QStringList>

namespace doeBussiness {

// Every product of `order` distinct names, in lexicographic order of their positions; empty when
// there are fewer names than the order or the order is below 1.
QList<QStringList> interactionTerms(const QStringList& names, int order);

// The power-th power of each name, in order.
QList<QStringList> powerTerms(const QStringList& names, int power);

// Each term times each name (term names first); with no term, the product of all the names
// when there are at least two.
QList<QStringList> crossTerms(const QStringList& names, const QList<QStringList>& terms);

}  // namespace doeBussiness
