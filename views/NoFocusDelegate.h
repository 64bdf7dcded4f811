#pragma once
// Item delegate that paints disabled cells like ordinary enabled text: no greying, no selection
// highlight and no focus frame. The model editor uses it for its read-only estimability column.
#include "plan_views_global.h"

#include <QStyledItemDelegate>

namespace doeUI {

class PLAN_VIEWS_EXPORT NoFocusDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};

}  // namespace doeUI
