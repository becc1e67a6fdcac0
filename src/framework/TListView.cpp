#include "framework/TListView.h"

#include <QAbstractItemDelegate>
#include <algorithm>
#include <QHeaderView>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

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
}

TListView::TListView(QWidget *parent) : TControl(parent), view_(new QTreeWidget(this))
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
    view_->setFont(Font().ToQFont());
    view_->setItemDelegate(new CaptionDelegate(this));
    setFocusProxy(view_);
}

void TListView::AddColumn(const QString &caption, int width)
{
    const int column = view_->columnCount();
    view_->setColumnCount(column + 1);
    QTreeWidgetItem *header = view_->headerItem();
    header->setText(column, caption);
    view_->setColumnWidth(column, width);
}

void TListView::SetSmallImages(const QList<QIcon> &images)
{
    images_ = images;
    for (int i = 0; i < Count(); ++i)
        SetItemImageIndex(i, ItemImageIndex(i));
}

int TListView::Count() const { return view_->topLevelItemCount(); }

QTreeWidgetItem *TListView::item(int index) const { return view_->topLevelItem(index); }

QTreeWidgetItem *TListView::MakeItem(const TListItem &item) const
{
    // Filled in before it joins the list: one insertion for the view to
    // follow, not one change per field.
    auto *it = new QTreeWidgetItem;
    it->setText(0, item.Caption);
    it->setData(0, DataRole, item.Data);
    it->setData(0, ImageIndexRole, item.ImageIndex);
    it->setIcon(0, ImageFor(item.ImageIndex));
    it->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
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
    if (!it)
        return;
    it->setData(0, ImageIndexRole, imageIndex);
    it->setIcon(0, ImageFor(imageIndex));
}

void TListView::Delete(int index)
{
    delete view_->takeTopLevelItem(index);
}

void TListView::Clear() { view_->clear(); }

int TListView::SelectedIndex() const
{
    const QList<QTreeWidgetItem *> selected = view_->selectedItems();
    return selected.isEmpty() ? -1 : view_->indexOfTopLevelItem(selected.first());
}

QList<int> TListView::SelectedIndices() const
{
    QList<int> positions;
    for (int i = 0; i < Count(); ++i)
        if (item(i)->isSelected())
            positions << i;
    return positions;
}

bool TListView::IsSelected(int index) const
{
    const QTreeWidgetItem *it = item(index);
    return it && it->isSelected();
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
            QMetaObject::invokeMethod(view_, "closeEditor", Q_ARG(QWidget *, editor),
                                      Q_ARG(QAbstractItemDelegate::EndEditHint,
                                            QAbstractItemDelegate::RevertModelCache));

    }
    // The view's triggers, not every item's flags: one step however long the list.
    view_->setEditTriggers(value ? QAbstractItemView::NoEditTriggers : EditTriggers);
}

void TListView::EditCaption(int index)
{
    if (QTreeWidgetItem *it = item(index); it && !readOnly_)
        view_->editItem(it, 0);
}

void TListView::FontChanged()
{
    TControl::FontChanged();
    view_->setFont(Font().ToQFont());
}

} // namespace framework
