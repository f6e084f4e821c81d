// The save-progress dialog of batch recovery.
#include "gui/dialogs/save_progress_dialog.h"

#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/messages.h"
#include "gui/qt_text.h"
#include "recovery/file_extraction.h"

namespace gui {

SaveProgressDialog::SaveProgressDialog(recovery::RecoveryState& state, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), m_state(state)
{
    namespace msg = core::msg;
    setObjectName(QStringLiteral("saveProgressDialog"));
    setWindowTitle(toQt(msg::kSaveProgressCaption));
    setModal(true);

    m_path = new QLabel(this);
    m_fileName = new QLabel(this);
    m_totalFiles = new QLabel(this);
    for (QLabel* label : {m_path, m_fileName, m_totalFiles}) {
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(fontMetrics().averageCharWidth() * 50);
    }
    m_path->setWordWrap(true);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);

    auto* form = new QFormLayout;
    form->addRow(toQt(msg::kSavePathLabel), m_path);
    form->addRow(toQt(msg::kSaveFileNameLabel), m_fileName);
    form->addRow(toQt(msg::kSaveTotalFilesLabel), m_totalFiles);

    m_stop = new QPushButton(toQt(msg::kStopSaving), this);
    m_skip = new QPushButton(toQt(msg::kSkipFile), this);
    m_stop->setDefault(true);
    connect(m_stop, &QPushButton::clicked, this, [this] { m_state.stopRequested = true; });
    connect(m_skip, &QPushButton::clicked, this, [this] { m_state.skipRequested = true; });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_stop);
    buttons->addWidget(m_skip);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);

    connect(&m_bridge, &ProgressBridge::progressChanged, m_progress, &QProgressBar::setValue);
    connect(&m_bridge, &ProgressBridge::panelValueChanged, this, [this](int row, const QString& text) {
        if (row == recovery::kSaveRowPath)
            m_path->setText(text);
        else if (row == recovery::kSaveRowFileName)
            m_fileName->setText(text);
        else if (row == recovery::kSaveRowTotalFiles)
            m_totalFiles->setText(text);
    });
    m_paint.setInterval(ProgressBridge::kFlushIntervalMs);
    connect(&m_paint, &QTimer::timeout, &m_bridge, &ProgressBridge::flush);
    m_paint.start();
}

void SaveProgressDialog::finish()
{
    m_paint.stop();
    m_bridge.flush();
    m_finished = true;
    done(QDialog::Accepted);
}

QString SaveProgressDialog::pathText() const
{
    return m_path->text();
}

QString SaveProgressDialog::fileNameText() const
{
    return m_fileName->text();
}

QString SaveProgressDialog::totalFilesText() const
{
    return m_totalFiles->text();
}

void SaveProgressDialog::reject()
{
    // Escape does not close the dialog while the recovery runs.
    if (m_finished)
        QDialog::reject();
}

void SaveProgressDialog::closeEvent(QCloseEvent* event)
{
    if (m_finished)
        event->accept();
    else
        event->ignore();
}

}  // namespace gui
