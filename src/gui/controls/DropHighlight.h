#pragma once
// The drop target a tree shows while something is dragged over it: the
// style's drop indicator around the row's label and count columns.

#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QTreeView>

namespace bram::gui {

// Call after the tree painted itself; nothing for an invalid target.
inline void PaintDropHighlight(QTreeView& tree, const QModelIndex& target)
{
    if (!target.isValid()) {
        return;
    }
    QPainter painter(tree.viewport());
    QStyleOption option;
    option.initFrom(&tree);
    option.rect = tree.visualRect(target).united(tree.visualRect(target.siblingAtColumn(1)));
    tree.style()->drawPrimitive(QStyle::PE_IndicatorItemViewItemDrop, &option, &painter, &tree);
}

} // namespace bram::gui
