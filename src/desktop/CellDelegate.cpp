#include "desktop/CellDelegate.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <QWidget>

#include <algorithm>
#include <cstring>

namespace {

// States and features for which the style draws more than a background and one line of text.
constexpr auto PlainStates =
    QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_Editing | QStyle::State_MouseOver;
constexpr auto OtherFeatures = QStyleOptionViewItem::WrapText | QStyleOptionViewItem::HasCheckIndicator |
                               QStyleOptionViewItem::HasDecoration;

// The styles whose item text the plain path draws as they do. Any other (a style sheet's, a proxy, one
// of another maker) may colour, pad or place the text in its own way, and paints every cell itself.
bool knownStyle(const QStyle *style) {
    static const char *const Known[] = {"QFusionStyle", "QWindowsStyle", "QWindowsVistaStyle"};
    const char *name = style->metaObject()->className();
    return std::any_of(std::begin(Known), std::end(Known),
                       [name](const char *k) { return std::strcmp(name, k) == 0; });
}

bool mayBePlain(const QStyleOptionViewItem &opt) {
    return !opt.text.isEmpty() && opt.features.testFlag(QStyleOptionViewItem::HasDisplay) &&
           !(opt.features & OtherFeatures) && !(opt.state & PlainStates) &&
           opt.direction == Qt::LeftToRight && opt.showDecorationSelected && opt.icon.isNull();
}

} // namespace

CellDelegate::CellDelegate(QObject *parent) : QStyledItemDelegate(parent) {}

void CellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                         const QModelIndex &index) const {
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget *widget = opt.widget;
    const QStyle *style = widget ? widget->style() : QApplication::style();
    if (mayBePlain(opt) && knownStyle(style) && paintPlain(painter, opt, style))
        return;
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}

bool CellDelegate::paintPlain(QPainter *painter, const QStyleOptionViewItem &opt, const QStyle *style) const {
    const QWidget *widget = opt.widget;
    // The text keeps clear of the cell's sides by the focus frame's margin and one pixel.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
    const QRect textRect = opt.rect.adjusted(margin, 0, -margin, 0);
    const Shown *shown = shownText(opt, textRect.width());
    if (!shown || !shown->oneLine || shown->lineHeight > textRect.height())
        return false;

    // These styles draw nothing of a plain cell but its background brush and the alternate rows' colour.
    if (opt.backgroundBrush.style() != Qt::NoBrush ||
        opt.features.testFlag(QStyleOptionViewItem::Alternate)) {
        QStyleOptionViewItem background = opt;
        background.text.clear();
        background.features &= ~QStyleOptionViewItem::HasDisplay;
        style->drawControl(QStyle::CE_ItemViewItem, &background, painter, widget);
    }

    // Placed as the style places one line: at the left of the text area, aligned in its height.
    const QRect placed =
        QStyle::alignedRect(Qt::LayoutDirectionAuto, opt.displayAlignment, shown->box, textRect);
    QPalette::ColorGroup group =
        opt.state.testFlag(QStyle::State_Enabled) ? QPalette::Normal : QPalette::Disabled;
    if (group == QPalette::Normal && !opt.state.testFlag(QStyle::State_Active))
        group = QPalette::Inactive;
    painter->save();
    painter->setClipRect(opt.rect, Qt::IntersectClip);
    painter->setPen(opt.palette.color(group, QPalette::Text));
    shown->drawn->draw(painter, QPointF(textRect.x(), placed.top()));
    painter->restore();
    ++plain_;
    return true;
}

const CellDelegate::Shown *CellDelegate::shownText(const QStyleOptionViewItem &opt, int lineWidth) const {
    if (opt.font != font_) {
        layouts_.clear();
        font_ = opt.font;
    }
    const Qt::Alignment alignment = QStyle::visualAlignment(opt.direction, opt.displayAlignment);
    Key key{opt.text, lineWidth, int(alignment), int(opt.textElideMode)};
    if (const Shown *kept = layouts_.object(key)) {
        ++reused_;
        return kept;
    }
    // Copies of their own: a kept text must not share the cell's buffer, which the grid rewrites in place.
    key.text = QString(opt.text.constData(), opt.text.size());
    QTextOption textOption;
    textOption.setWrapMode(QTextOption::ManualWrap);
    textOption.setTextDirection(opt.direction);
    textOption.setAlignment(alignment);
    const auto laidOut = [&](const QString &text) {
        auto layout = std::make_unique<QTextLayout>(text, opt.font);
        layout->setTextOption(textOption);
        layout->beginLayout();
        qreal height = 0;
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLineWidth(lineWidth);
            line.setPosition(QPointF(0, height));
            height += line.height();
        }
        layout->endLayout();
        return layout;
    };
    auto *shown = new Shown;
    shown->drawn = laidOut(key.text);
    shown->box = shown->drawn->boundingRect().size().toSize();
    // A U+009C in a text to be elided would make the font metrics elide it differently than the style.
    shown->oneLine = shown->drawn->lineCount() == 1 && !key.text.contains(QChar(0x9C));
    if (shown->oneLine) {
        const QTextLine line = shown->drawn->lineAt(0);
        shown->lineHeight = line.height();
        if (line.naturalTextWidth() > lineWidth)
            shown->drawn = laidOut(QFontMetrics(opt.font).elidedText(key.text, opt.textElideMode, lineWidth));
    }
    // Not kept (the cache deletes what it cannot hold): the style paints the cell.
    return layouts_.insert(key, shown) ? shown : nullptr;
}
