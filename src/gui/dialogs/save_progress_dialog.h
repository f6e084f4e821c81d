// "Saving the data please wait": Path, File Name, Total Files and the current file's progress
// while a batch recovery runs; "&Stop Saving" (the default button) and "S&kip File" set the
// recovery state's flags. Neither button closes it and it has no close box; the window closes
// it when the worker has ended.
#pragma once

#include <QDialog>

#include "gui/progress_bridge.h"

namespace recovery {
struct RecoveryState;
}

class QLabel;
class QProgressBar;
class QPushButton;

namespace gui {

class SaveProgressDialog : public QDialog
{
    Q_OBJECT

public:
    SaveProgressDialog(recovery::RecoveryState& state, QWidget* parent = nullptr);

    // Where the recovery worker reports (rows recovery::kSaveRow..., progress); painted every
    // 50 ms on the GUI thread.
    core::ProgressSink& sink() noexcept { return m_bridge; }
    // Paints the last values and closes.
    void finish();

    QPushButton* stopButton() const noexcept { return m_stop; }
    QPushButton* skipButton() const noexcept { return m_skip; }
    QString pathText() const;
    QString fileNameText() const;
    QString totalFilesText() const;

protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

private:
    recovery::RecoveryState& m_state;
    ProgressBridge m_bridge;
    QTimer m_paint;
    QLabel* m_path = nullptr;
    QLabel* m_fileName = nullptr;
    QLabel* m_totalFiles = nullptr;
    QProgressBar* m_progress = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_skip = nullptr;
    bool m_finished = false;
};

}  // namespace gui
