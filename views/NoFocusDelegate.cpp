#include "NoFocusDelegate.h"

namespace doeUI {

void NoFocusDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    if (!(index.flags() & Qt::ItemIsEnabled))
        opt.state = QStyle::State_Enabled;
    QStyledItemDelegate::paint(painter, opt, index);
}

}  // namespace doeUI
