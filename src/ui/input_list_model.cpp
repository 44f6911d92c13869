#include "ui/input_list_model.h"

#include "ui/images.h"

#include <algorithm>

namespace quill {

InputListModel::InputListModel(InputList& inputs, QString columnTitle, QObject* parent)
    : QAbstractListModel(parent), inputs_(inputs), columnTitle_(std::move(columnTitle)),
      rows_(static_cast<int>(inputs.size()))
{
}

int InputListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

QVariant InputListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_)
        return {};
    const std::string reason = failureAt(index.row());
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole || (role == Qt::ToolTipRole && reason.empty()))
        return QString::fromStdString(pathAt(index.row()));
    if (reason.empty())
        return {};
    if (role == Qt::ToolTipRole)
        return QString::fromStdString(pathAt(index.row()) + "\n" + reason);
    if (role == Qt::AccessibleDescriptionRole)
        return QString::fromStdString(reason);
    if (role == Qt::DecorationRole)
        return builtInIcon("Error");
    return {};
}

QVariant InputListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return columnTitle_;
    return {};
}

void InputListModel::showAddedEntries()
{
    const int total = static_cast<int>(inputs_.size());
    if (total <= rows_)
        return;
    // One insertion for the whole batch keeps 20,000 rows smooth.
    beginInsertRows({}, rows_, total - 1);
    rows_ = total;
    endInsertRows();
}

int InputListModel::appendEntries(const std::vector<InputEntry>& entries)
{
    int added = 0;
    for (const InputEntry& entry : entries) {
        if (entry.path.empty() || inputs_.contains(entry.path))
            continue;
        inputs_.index.emplace(entry.path, inputs_.entries.size());
        inputs_.entries.push_back(entry);
        ++added;
    }
    showAddedEntries();
    return added;
}

void InputListModel::removeRowsAt(std::vector<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [&](int r) {
                                  return r < 0 || r >= rows_;
                              }),
               rows.end());
    if (rows.empty())
        return;
    // Contiguous runs from the bottom up, so earlier row numbers stay valid.
    for (size_t end = rows.size(); end > 0;) {
        size_t begin = end - 1;
        while (begin > 0 && rows[begin - 1] == rows[begin] - 1)
            --begin;
        const int first = rows[begin];
        const int last = rows[end - 1];
        beginRemoveRows({}, first, last);
        for (int r = first; r <= last; ++r) {
            inputs_.index.erase(inputs_.entries[static_cast<size_t>(r)].path);
            failures_.erase(inputs_.entries[static_cast<size_t>(r)].path);
        }
        inputs_.entries.erase(inputs_.entries.begin() + first, inputs_.entries.begin() + last + 1);
        rows_ -= last - first + 1;
        endRemoveRows();
        end = begin;
    }
    for (size_t i = 0; i < inputs_.entries.size(); ++i)
        inputs_.index[inputs_.entries[i].path] = i;
}

void InputListModel::markFailed(std::map<std::string, std::string> reasons)
{
    failures_ = std::move(reasons);
    if (rows_ > 0)
        emit dataChanged(index(0), index(rows_ - 1));
}

std::string InputListModel::failureAt(int row) const
{
    if (failures_.empty() || row < 0 || row >= rows_)
        return {};
    auto found = failures_.find(pathAt(row));
    return found == failures_.end() ? std::string() : found->second;
}

void InputListModel::clearRows()
{
    beginResetModel();
    failures_.clear();
    inputs_.clear();
    rows_ = 0;
    endResetModel();
}

}  // namespace quill
