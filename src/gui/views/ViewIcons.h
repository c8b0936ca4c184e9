#pragma once
// The style's standard icons, made once: a style builds each anew on every
// call, which costs more than the rest of an update of a large tree.

#include <QApplication>
#include <QIcon>
#include <QStyle>

#include <map>

namespace bram::gui {

inline const QIcon& StandardIcon(QStyle::StandardPixmap pixmap)
{
    static std::map<std::pair<const QStyle*, QStyle::StandardPixmap>, QIcon> icons;
    const QStyle* style = QApplication::style();
    auto [it, added] = icons.try_emplace({style, pixmap});
    if (added) {
        it->second = style->standardIcon(pixmap);
    }
    return it->second;
}

} // namespace bram::gui
