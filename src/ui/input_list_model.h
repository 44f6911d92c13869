// The input list as the main window shows it: one row per queued file, in the
// order the files were queued. The model owns no copy of the paths; it reads
// the input list and is told of every change, always on the GUI thread.
#pragma once

#include "inputs/input_list.h"

#include <QAbstractListModel>

#include <map>
#include <string>
#include <vector>

namespace quill {

class InputListModel : public QAbstractListModel {
public:
    InputListModel(InputList& inputs, QString columnTitle, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// Entries the input list gained behind the model's back (addInput, an
    /// import) become rows.
    void showAddedEntries();
    /// Appends entries found elsewhere (a folder import on a worker's copy),
    /// skipping paths queued meanwhile; returns how many were added.
    int appendEntries(const std::vector<InputEntry>& entries);
    /// Removes the rows (any order, duplicates allowed) and their entries.
    void removeRowsAt(std::vector<int> rows);
    void clearRows();

    const std::string& pathAt(int row) const { return inputs_.entries[static_cast<size_t>(row)].path; }

    /// Marks the rows of these paths as failed with their reasons: an error
    /// icon, the reason as tooltip and accessible description. Earlier marks
    /// are dropped.
    void markFailed(std::map<std::string, std::string> reasons);
    /// The reason a row is marked with; empty when it is not.
    std::string failureAt(int row) const;

private:
    InputList& inputs_;
    QString columnTitle_;
    int rows_ = 0;
    std::map<std::string, std::string> failures_;  // path, reason
};

}  // namespace quill
