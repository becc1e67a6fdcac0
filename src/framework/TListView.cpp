#include "framework/TListView.h"

#include <QAbstractItemDelegate>
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
    view_->setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::EditKeyPressed);
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

void TListView::AddItem(const QString &caption, int imageIndex, const QVariant &data)
{
    auto *it = new QTreeWidgetItem(view_);
    it->setText(0, caption);
    it->setData(0, DataRole, data);
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (!readOnly_)
        flags |= Qt::ItemIsEditable;
    it->setFlags(flags);
    SetItemImageIndex(Count() - 1, imageIndex);
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
    it->setIcon(0, imageIndex >= 0 && imageIndex < images_.size() ? images_[imageIndex] : QIcon());
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
    for (int i = 0; i < Count(); ++i)
        item(i)->setFlags(value ? item(i)->flags() & ~Qt::ItemIsEditable
                                : item(i)->flags() | Qt::ItemIsEditable);
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
