#pragma once

#include <QCache>
#include <QFont>
#include <QString>
#include <QStyledItemDelegate>
#include <QTextLayout>

#include <memory>

// Paints the cells of a table as the style's item delegate does, pixel for pixel, for a fraction of
// its cost. The style lays a cell's text out three times per paint (to size it, to decide on eliding,
// to draw it); a grid of changing readings repaints hundreds of cells a frame. Here a plain cell (one
// line of text, not wrapped, selected, focused or edited, no check box or icon, left to right, in one
// of Qt's own desktop styles without a style sheet) has its background drawn by the style as for an empty
// cell and its text, elided where it does not fit, drawn from a layout kept for that text and cell width,
// made the way the style makes it. Every other cell is left to the style.
class CellDelegate : public QStyledItemDelegate {
public:
    // Distinct texts whose layouts are kept; beyond that the least recently drawn go. They are kept for
    // the font of the cells last painted: cells of another font start them afresh.
    static constexpr int KeptLayouts = 2048;

    explicit CellDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;

    // How many paints took the plain path, and how many of those found their layout kept (for tests).
    qint64 plainPaints() const { return plain_; }
    qint64 keptLayoutsUsed() const { return reused_; }

private:
    // A text as a cell of one width shows it.
    struct Shown {
        std::unique_ptr<QTextLayout> drawn; // the text, or what is left of it when elided
        QSize box;                          // the whole text's extent, by which it is placed
        qreal lineHeight = 0;
        bool oneLine = false; // else the cell is the style's to paint
    };
    struct Key {
        QString text;
        int lineWidth = 0;
        int alignment = 0;
        int elide = 0;
        bool operator==(const Key &o) const {
            return lineWidth == o.lineWidth && alignment == o.alignment && elide == o.elide && text == o.text;
        }
        friend size_t qHash(const Key &k, size_t seed = 0) {
            return qHashMulti(seed, k.text, k.lineWidth, k.alignment, k.elide);
        }
    };

    // Draws a plain cell and returns true; false when the cell is not plain after all (its text takes
    // more than one line, or is higher than the cell), so that the style paints it.
    bool paintPlain(QPainter *painter, const QStyleOptionViewItem &opt, const QStyle *style) const;
    // Null when it could not be kept.
    const Shown *shownText(const QStyleOptionViewItem &opt, int lineWidth) const;

    mutable QCache<Key, Shown> layouts_{KeptLayouts};
    mutable QFont font_; // the font of the kept layouts
    mutable qint64 plain_ = 0;
    mutable qint64 reused_ = 0;
};
