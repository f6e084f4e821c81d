// "Find File(s)": the pattern box, "&Start Search" and "S&top Search", the hits with their
// folder path and size, "Files Found" and "Last File". Hits arrive from the search worker into
// a buffer under a mutex and are painted every 50 ms; the dialog refuses to close while a
// search runs.
#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QTimer>
#include <mutex>
#include <vector>

#include "shell/main_window.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace gui {

class FileTypes;

class FindResultModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit FindResultModel(FileTypes& types, QObject* parent = nullptr);
    void append(std::vector<shell::FindRow> rows);
    void clear();
    const std::vector<shell::FindRow>& rows() const noexcept { return m_rows; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    FileTypes& m_types;
    std::vector<shell::FindRow> m_rows;
};

class FindFilesDialog : public QDialog, public shell::FindDialogView
{
    Q_OBJECT

public:
    FindFilesDialog(shell::FindFilesDialog& logic, FileTypes& types, QWidget* parent = nullptr);

    // shell::FindDialogView
    void EnableStart(bool enabled) override;
    void EnableStop(bool enabled) override;
    void ClearRows() override;
    void AddRow(const shell::FindRow& row, std::size_t rowsSoFar) override;  // worker thread

    void flush();
    QLineEdit* patternEdit() const noexcept { return m_pattern; }
    QPushButton* startButton() const noexcept { return m_start; }
    QPushButton* stopButton() const noexcept { return m_stop; }
    FindResultModel* results() const noexcept { return m_model; }
    QString filesFoundText() const;
    QString lastFileText() const;

protected:
    void reject() override;

private:
    shell::FindFilesDialog& m_logic;
    FindResultModel* m_model = nullptr;
    QLineEdit* m_pattern = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stop = nullptr;
    QTreeView* m_view = nullptr;
    QLabel* m_filesFound = nullptr;
    QLabel* m_lastFile = nullptr;
    QTimer m_timer;

    std::mutex m_mutex;
    std::vector<shell::FindRow> m_pending;
    std::size_t m_pendingCount = 0;
    bool m_pendingCounters = false;
};

}  // namespace gui
