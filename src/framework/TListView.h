// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A report-style list with one column of captions and a small icon per item.
#include <QIcon>
#include <QList>
#include <QVariant>
#include <functional>
#include <optional>

#include "framework/Controls.h"
#include "platform/FileName.h"

#include <vector>

class QTreeWidget;
class QTreeWidgetItem;

namespace framework {

// One item: its caption, its image and what it stands for.
struct TListItem {
    QString Caption;
    int ImageIndex = 0;
    QVariant Data;
};

class TListView : public TControl {
    Q_OBJECT
public:
    explicit TListView(QWidget *parent = nullptr);

    void AddColumn(const QString &caption, int width);
    void SetSmallImages(const QList<QIcon> &images);
    // What each small image tells of its item, in words, for screen readers.
    const QStringList &ImageNames() const { return imageNames_; }
    void SetImageNames(const QStringList &names) { imageNames_ = names; }

    int Count() const;
    // data: what the item stands for beyond its caption (the owner's business).
    void AddItem(const QString &caption, int imageIndex, const QVariant &data = {});
    // Inserts items before position at (Count() appends), in one step.
    void InsertItems(int at, const QList<TListItem> &items);
    QString ItemCaption(int index) const;
    void SetItemCaption(int index, const QString &caption);
    QVariant ItemData(int index) const;
    void SetItemData(int index, const QVariant &data);
    int ItemImageIndex(int index) const;
    void SetItemImageIndex(int index, int imageIndex);
    // Gives every item that image, touching only those that show another.
    void SetAllImageIndexes(int imageIndex);
    void Delete(int index);
    void Clear();

    // Single selection: the selected position, or -1.
    int SelectedIndex() const;
    // Every selected position, first to last.
    QList<int> SelectedIndices() const;
    void SetSelectedIndex(int index);

    // In-place editing of captions (a second click on the selected caption, or F2).
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    // Files dropped between items (at: the position they go to, Count() for
    // the end).
    std::function<void(int at, const std::vector<platform::FileName> &names)> OnDropFiles;
    // Items dragged inside the list to before position at: when set, this
    // decides (and calls MoveItems); otherwise they move by themselves.
    std::function<void(const QList<int> &rows, int at)> OnMoveItems;
    // The items at rows (ascending) go before position at, selected, keeping
    // everything they carry.
    void MoveItems(const QList<int> &rows, int at);
    // The widget drops land on.
    QWidget *DropSite() const;

    // The item under pos (this control's pixels), or -1; an item's rectangle there.
    int ItemAt(QPoint pos) const;
    QRect ItemRect(int index) const;

    // When set, an in-place edit that ends with a changed text calls this
    // (through the error guard) instead of taking the text as the caption,
    // once the editor has closed; the handler decides what the item becomes.
    std::function<void(int index, const QString &text)> OnEdited;

    QTreeWidget *View() const { return view_; }

protected:
    void FontChanged() override;
    void DevicePixelRatioChanged() override;

private:
    QTreeWidgetItem *item(int index) const;
    QTreeWidgetItem *MakeItem(const TListItem &item) const;
    QIcon ImageFor(int imageIndex) const;
    // Gives the items at rows (ascending) that image, or with none their own
    // image's icon again.
    void SetImages(const QList<int> &rows, std::optional<int> imageIndex);
    QTreeWidget *view_;
    QList<QIcon> images_;
    QStringList imageNames_;
    bool readOnly_ = false;
};

} // namespace framework
