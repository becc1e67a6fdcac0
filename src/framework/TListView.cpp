// SPDX-License-Identifier: GPL-3.0-or-later
#include "framework/TListView.h"

#include <QAbstractItemDelegate>
#include <QAccessible>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPersistentModelIndex>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <numeric>
#include <optional>

#include "framework/Accessibility.h"
#include "framework/FocusMark.h"
#include "framework/TApplication.h"

namespace framework {
namespace {
constexpr int ImageIndexRole = Qt::UserRole + 1;
constexpr int DataRole = Qt::UserRole + 2;
// In-place editing: a second click on the selected caption, or F2.
constexpr QAbstractItemView::EditTriggers EditTriggers =
    QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed;

// Hands a finished edit to the list's OnEdited instead of writing it. The
// handler runs after the editor has closed: it may open a message box, and a
// modal box inside the editor's commit would commit again on focus loss.
class CaptionDelegate : public QStyledItemDelegate {
public:
    explicit CaptionDelegate(TListView *list) : QStyledItemDelegate(list), list_(list) {}

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        auto *edit = qobject_cast<QLineEdit *>(editor);
        if (!edit || !list_->OnEdited) {
            QStyledItemDelegate::setModelData(editor, model, index);
            return;
        }
        const QString text = edit->text();
        if (text == index.data(Qt::DisplayRole).toString())
            return;
        const QPersistentModelIndex item(index);
        QTimer::singleShot(0, list_, [list = list_, item, text] {
            if (item.isValid() && list->OnEdited)
                Application().Guard([&] { list->OnEdited(item.row(), text); });
        });
    }

private:
    TListView *list_;
};

// An item tells screen readers what its image means, read from the list
// when asked, so that changing the image needs nothing more.
class ListItem : public QTreeWidgetItem {
public:
    ListItem() : QTreeWidgetItem(UserType) {}
    QVariant data(int column, int role) const override
    {
        if (role == Qt::AccessibleDescriptionRole && column == 0 && treeWidget()) {
            if (auto *list = qobject_cast<const TListView *>(treeWidget()->parentWidget())) {
                const int image = QTreeWidgetItem::data(0, ImageIndexRole).toInt();
                if (image >= 0 && image < list->ImageNames().size())
                    return list->ImageNames()[image];
            }
        }
        return QTreeWidgetItem::data(column, role);
    }
    QTreeWidgetItem *clone() const override
    {
        auto *copy = new ListItem;
        *copy = *this;
        return copy;
    }
};

// Items move by dragging them inside the list; files dragged in from the
// file manager go in where they are dropped. A drop lands between items,
// never on one, so the list stays flat.
class ListTree : public QTreeWidget {
public:
    explicit ListTree(TListView *list)
        : QTreeWidget(list), list_(list),
          token_(QByteArray::number(QCoreApplication::applicationPid()) + '.' + QByteArray::number(quintptr(this)))
    {
        setDragDropMode(QAbstractItemView::DragDrop);
        setDefaultDropAction(Qt::MoveAction);
        setDropIndicatorShown(true);
        setDragDropOverwriteMode(false);
        invisibleRootItem()->setFlags(invisibleRootItem()->flags() | Qt::ItemIsDropEnabled);
    }

    // The position a drop at pos (viewport pixels) goes to: before the item
    // there, or after it when on its lower half; the end below the last.
    int DropRow(QPoint pos) const
    {
        QTreeWidgetItem *it = itemAt(pos);
        if (!it)
            return topLevelItemCount();
        const int row = indexOfTopLevelItem(it);
        return pos.y() >= visualItemRect(it).center().y() ? row + 1 : row;
    }

protected:
    // Shift+F10 opens the menu as the Menu key does: at the current item.
    void keyPressEvent(QKeyEvent *e) override
    {
        focusMark_.KeyPressed(viewport());
        if (e->key() == Qt::Key_F10 && e->modifiers() == Qt::ShiftModifier) {
            const QPoint at = inputMethodQuery(Qt::ImCursorRectangle).toRect().center();
            QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, mapToGlobal(at), e->modifiers());
            QCoreApplication::sendEvent(this, &menu);
            e->accept();
            return;
        }
        QTreeWidget::keyPressEvent(e);
    }
    void focusInEvent(QFocusEvent *e) override
    {
        focusMark_.FocusIn(e->reason(), viewport());
        QTreeWidget::focusInEvent(e);
    }
    void focusOutEvent(QFocusEvent *e) override
    {
        focusMark_.FocusOut(e->reason(), viewport());
        QTreeWidget::focusOutEvent(e);
    }
    void mousePressEvent(QMouseEvent *e) override
    {
        focusMark_.MousePressed(viewport());
        QTreeWidget::mousePressEvent(e);
    }
    // The mark: a ring of the highlight colour around the items.
    void paintEvent(QPaintEvent *e) override
    {
        QTreeWidget::paintEvent(e);
        if (!focusMark_.Shown() || !hasFocus())
            return;
        QPainter painter(viewport());
        painter.setPen(palette().color(QPalette::Highlight));
        painter.drawRect(viewport()->rect().adjusted(0, 0, -1, -1));
    }

    QStringList mimeTypes() const override
    {
        return QTreeWidget::mimeTypes() << QStringLiteral("text/uri-list") << RowsFormat;
    }
    Qt::DropActions supportedDropActions() const override { return Qt::MoveAction | Qt::CopyAction; }

    // The dragged rows travel with a token of this list, so only this list
    // moves them: another window takes them for nothing.
    QMimeData *mimeData(const QList<QTreeWidgetItem *> &items) const override
    {
        QMimeData *data = QTreeWidget::mimeData(items);
        QByteArray rows = token_;
        for (QTreeWidgetItem *it : items)
            rows += ' ' + QByteArray::number(indexOfTopLevelItem(it));
        data->setData(RowsFormat, rows);
        return data;
    }

    // A file manager deletes its files after a drop taken as a move, and this
    // list would remove the rows it moved itself: every drop is taken as a copy.
    void dragEnterEvent(QDragEnterEvent *e) override
    {
        QTreeWidget::dragEnterEvent(e);
        AsCopy(e);
    }
    void dragMoveEvent(QDragMoveEvent *e) override
    {
        QTreeWidget::dragMoveEvent(e);
        AsCopy(e);
    }
    void dropEvent(QDropEvent *e) override
    {
        const int at = DropRow(e->position().toPoint());
        const QList<int> rows = OwnRows(e->mimeData());
        if (!rows.isEmpty() && list_->OnMoveItems)
            Application().Guard([&] { list_->OnMoveItems(rows, at); });
        else if (!rows.isEmpty())
            MoveRows(rows, at);
        else if (e->mimeData()->hasUrls())
            DropFiles(e->mimeData(), at);
        else
            return;
        e->setDropAction(Qt::CopyAction);
        e->accept();
        stopAutoScroll();
        setState(NoState);
        viewport()->update();
    }

public:
    // The items keep everything they carry (icon, data) and stay selected.
    void MoveRows(const QList<int> &rows, int at)
    {
        QList<QTreeWidgetItem *> moved;
        for (qsizetype i = rows.size() - 1; i >= 0; --i) {
            if (rows[i] < at)
                --at;
            moved.prepend(takeTopLevelItem(rows[i]));
        }
        insertTopLevelItems(at, moved);
        clearSelection();
        for (QTreeWidgetItem *it : moved)
            it->setSelected(true);
        setCurrentItem(moved.first());
    }

private:
    static inline const QString RowsFormat = QStringLiteral("application/x-zantrope-list-rows");

    void AsCopy(QDragMoveEvent *e) const
    {
        if (!OwnRows(e->mimeData()).isEmpty() || e->mimeData()->hasUrls()) {
            e->setDropAction(Qt::CopyAction);
            e->accept();
        }
    }

    QList<int> OwnRows(const QMimeData *data) const
    {
        const QList<QByteArray> parts = data->data(RowsFormat).split(' ');
        QList<int> rows;
        if (parts.size() < 2 || parts.first() != token_)
            return rows;
        for (qsizetype i = 1; i < parts.size(); ++i) {
            bool ok = false;
            const int row = parts[i].toInt(&ok);
            if (ok && row >= 0 && row < topLevelItemCount())
                rows << row;
        }
        std::sort(rows.begin(), rows.end());
        return rows;
    }

    void DropFiles(const QMimeData *data, int at)
    {
        const std::vector<platform::FileName> names = platform::NamesFromUrls(data->urls());
        if (list_->OnDropFiles)
            Application().Guard([&] { list_->OnDropFiles(at, names); });
    }

    TListView *list_;
    QByteArray token_;
    FocusMark focusMark_;
};
} // namespace

TListView::TListView(QWidget *parent) : TControl(parent), view_(new ListTree(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    view_->setColumnCount(0);
    view_->setRootIsDecorated(false);
    view_->setUniformRowHeights(true);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setFrameShape(QFrame::NoFrame);
    view_->setIconSize(QSize(16, 16));
    view_->setEditTriggers(EditTriggers);
    view_->header()->setStretchLastSection(false);
    view_->header()->setSectionsMovable(false);
    view_->setFont(QtFont());
    view_->setItemDelegate(new CaptionDelegate(this));
    // A long path loses its middle, so the file's own name stays in sight.
    view_->setTextElideMode(Qt::ElideMiddle);
    setFocusProxy(view_);
}

int TListView::ItemAt(QPoint pos) const
{
    const QTreeWidgetItem *it = view_->itemAt(view_->viewport()->mapFrom(this, pos));
    return it ? view_->indexOfTopLevelItem(const_cast<QTreeWidgetItem *>(it)) : -1;
}

QRect TListView::ItemRect(int index) const
{
    const QTreeWidgetItem *it = item(index);
    if (!it)
        return {};
    const QRect r = view_->visualItemRect(it);
    return QRect(view_->viewport()->mapTo(this, r.topLeft()), r.size());
}

QWidget *TListView::DropSite() const { return view_->viewport(); }

void TListView::AddColumn(const QString &caption, int width)
{
    const int column = view_->columnCount();
    view_->setColumnCount(column + 1);
    QTreeWidgetItem *header = view_->headerItem();
    header->setText(column, caption);
    // The list reads by its first column's caption unless named otherwise.
    if (column == 0 && accessibleName().isEmpty())
        view_->setAccessibleName(caption);
    view_->setColumnWidth(column, width);
}

void TListView::SetSmallImages(const QList<QIcon> &images)
{
    images_ = images;
    QList<int> rows(Count());
    std::iota(rows.begin(), rows.end(), 0);
    SetImages(rows, std::nullopt);
}

int TListView::Count() const { return view_->topLevelItemCount(); }

QTreeWidgetItem *TListView::item(int index) const { return view_->topLevelItem(index); }

QTreeWidgetItem *TListView::MakeItem(const TListItem &item) const
{
    // Filled in before it joins the list: one insertion for the view to
    // follow, not one change per field.
    auto *it = new ListItem;
    it->setText(0, item.Caption);
    it->setData(0, DataRole, item.Data);
    it->setData(0, ImageIndexRole, item.ImageIndex);
    it->setIcon(0, ImageFor(item.ImageIndex));
    it->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsDragEnabled);
    return it;
}

QIcon TListView::ImageFor(int imageIndex) const
{
    return imageIndex >= 0 && imageIndex < images_.size() ? images_[imageIndex] : QIcon();
}

void TListView::AddItem(const QString &caption, int imageIndex, const QVariant &data)
{
    view_->addTopLevelItem(MakeItem({caption, imageIndex, data}));
}

void TListView::InsertItems(int at, const QList<TListItem> &items)
{
    QList<QTreeWidgetItem *> made;
    made.reserve(items.size());
    for (const TListItem &item : items)
        made << MakeItem(item);
    view_->insertTopLevelItems(std::clamp(at, 0, Count()), made);
}

QString TListView::ItemCaption(int index) const
{
    const QTreeWidgetItem *it = item(index);
    return it ? it->text(0) : QString();
}

void TListView::SetItemCaption(int index, const QString &caption)
{
    if (QTreeWidgetItem *it = item(index))
        it->setText(0, caption);
}

QVariant TListView::ItemData(int index) const
{
    const QTreeWidgetItem *it = item(index);
    return it ? it->data(0, DataRole) : QVariant();
}

void TListView::SetItemData(int index, const QVariant &data)
{
    if (QTreeWidgetItem *it = item(index))
        it->setData(0, DataRole, data);
}

int TListView::ItemImageIndex(int index) const
{
    const QTreeWidgetItem *it = item(index);
    return it ? it->data(0, ImageIndexRole).toInt() : -1;
}

void TListView::SetItemImageIndex(int index, int imageIndex)
{
    QTreeWidgetItem *it = item(index);
    if (!it || it->data(0, ImageIndexRole).toInt() == imageIndex)
        return;
    SetImages({index}, imageIndex);
    // The item's description names its image ("joined"); Qt tells screen
    // readers of no change of a cell, so the item does.
    if (!AnyoneListens())
        return;
    if (QAccessibleInterface *list = QAccessible::queryAccessibleInterface(view_); list && list->tableInterface())
        if (QAccessibleInterface *cell = list->tableInterface()->cellAt(index, 0)) {
            QAccessibleEvent changed(cell, QAccessible::DescriptionChanged);
            Announce(changed);
        }
}

void TListView::SetAllImageIndexes(int imageIndex)
{
    QList<int> changed;
    for (int i = 0; i < Count(); ++i)
        if (item(i)->data(0, ImageIndexRole).toInt() != imageIndex)
            changed << i;
    SetImages(changed, imageIndex);
}

void TListView::SetImages(const QList<int> &rows, std::optional<int> imageIndex)
{
    if (rows.isEmpty())
        return;
    {
        // An item tells its model of a change by looking up its own row,
        // which costs the length of the list for an item not touched since
        // the list grew: hundreds of thousands of steps per item. The rows
        // are known, so the change is told once, for all of them.
        QSignalBlocker quiet(view_->model());
        for (int row : rows) {
            QTreeWidgetItem *it = item(row);
            if (imageIndex)
                it->setData(0, ImageIndexRole, *imageIndex);
            it->setIcon(0, ImageFor(it->data(0, ImageIndexRole).toInt()));
        }
    }
    QAbstractItemModel *model = view_->model();
    emit model->dataChanged(model->index(rows.first(), 0), model->index(rows.last(), 0), {Qt::DecorationRole});
}

void TListView::Delete(int index) { delete view_->takeTopLevelItem(index); }

void TListView::Clear() { view_->clear(); }

void TListView::MoveItems(const QList<int> &rows, int at)
{
    if (!rows.isEmpty())
        static_cast<ListTree *>(view_)->MoveRows(rows, at);
}

int TListView::SelectedIndex() const
{
    const QList<QTreeWidgetItem *> selected = view_->selectedItems();
    return selected.isEmpty() ? -1 : view_->indexOfTopLevelItem(selected.first());
}

QList<int> TListView::SelectedIndices() const
{
    // The selection model knows its ranges; asking every item costs the
    // length of the list.
    QList<int> positions;
    for (const QModelIndex &index : view_->selectionModel()->selectedRows())
        positions << index.row();
    std::sort(positions.begin(), positions.end());
    return positions;
}

void TListView::SetSelectedIndex(int index)
{
    view_->clearSelection();
    if (QTreeWidgetItem *it = item(index)) {
        it->setSelected(true);
        view_->setCurrentItem(it);
    }
}

void TListView::SetReadOnly(bool value)
{
    if (readOnly_ == value)
        return;
    readOnly_ = value;
    if (value) {
        // An editor that is open now would write into the list later: close
        // it without taking its text.
        if (QWidget *editor = view_->indexWidget(view_->currentIndex()))
            QMetaObject::invokeMethod(
                view_, "closeEditor", Q_ARG(QWidget *, editor),
                Q_ARG(QAbstractItemDelegate::EndEditHint, QAbstractItemDelegate::RevertModelCache));
    }
    // The view's triggers, not every item's flags: one step however long the list.
    view_->setEditTriggers(value ? QAbstractItemView::NoEditTriggers : EditTriggers);
    // Nothing is dragged out or dropped in either: the window takes the drops.
    view_->setDragEnabled(!value);
    view_->setAcceptDrops(!value);
}

void TListView::FontChanged()
{
    TControl::FontChanged();
    view_->setFont(QtFont());
}

void TListView::DevicePixelRatioChanged()
{
    TControl::DevicePixelRatioChanged();
    view_->setFont(QtFont());
}

} // namespace framework
