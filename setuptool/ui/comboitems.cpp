#include "comboitems.h"

#include <QComboBox>
#include <QListView>
#include <QStandardItemModel>

void setComboItemHidden(QComboBox *box, int index, bool hidden)
{
    if (auto *view = qobject_cast<QListView *>(box->view()))
        view->setRowHidden(index, hidden);
    // Key and wheel navigation skip disabled items, not hidden rows.
    if (auto *model = qobject_cast<QStandardItemModel *>(box->model())) {
        if (QStandardItem *item = model->item(index))
            item->setEnabled(!hidden);
    }
}

bool isComboItemHidden(const QComboBox *box, int index)
{
    const auto *view = qobject_cast<const QListView *>(box->view());
    return view && view->isRowHidden(index);
}
