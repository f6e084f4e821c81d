// The main window's panes and controls, each registered under its layout id, with tooltips and
// the two formatted tips.
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QVBoxLayout>

#include "core/messages.h"
#include "gui/preview_pane.h"
#include "gui/formatted_tips.h"
#include "gui/main_window.h"
#include "gui/qt_text.h"

namespace gui {

namespace {

using namespace shell::ctl;

QLabel* helpIcon(QWidget* parent, const QString& tip)
{
    auto* icon = new QLabel(parent);
    const int extent = parent->style()->pixelMetric(QStyle::PM_SmallIconSize);
    QIcon picture = QIcon::fromTheme(QStringLiteral("help-contextual"),
                                     QIcon::fromTheme(QStringLiteral("help-about")));
    if (picture.isNull())
        picture = parent->style()->standardIcon(QStyle::SP_MessageBoxQuestion);
    icon->setPixmap(picture.pixmap(extent, extent));
    icon->setToolTip(tip);
    icon->setCursor(Qt::WhatsThisCursor);
    return icon;
}

}  // namespace

void MainWindow::registerControl(int id, QWidget* widget)
{
    widget->setObjectName(QStringLiteral("ctl%1").arg(id));
    m_controls[id] = widget;
}

void MainWindow::buildLayout()
{
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);

    m_splitter = new QSplitter(Qt::Horizontal, central);
    m_splitter->setChildrenCollapsible(false);
    m_leftPane = new QWidget(m_splitter);
    buildTrees(m_leftPane);
    QWidget* right = buildRightPane();
    m_splitter->addWidget(m_leftPane);
    m_splitter->addWidget(right);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 3);
    const int em = fontMetrics().averageCharWidth();
    m_splitter->setSizes({em * 30, em * 90});

    outer->addWidget(m_splitter, 1);
    outer->addWidget(buildButtonRow());
    setCentralWidget(central);
}

QWidget* MainWindow::buildRightPane()
{
    auto* pane = new QWidget(m_splitter);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);

    buildListViews();
    // The list with the preview beside it and the browse status line under both; the shell shows
    // and hides them together as the list control.
    m_listPane = new QWidget(pane);
    m_listPane->setObjectName(QStringLiteral("listPane"));
    auto* listLayout = new QVBoxLayout(m_listPane);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(2);
    m_listSplitter = new QSplitter(Qt::Horizontal, m_listPane);
    m_listStack->setParent(m_listSplitter);
    m_listStack->show();
    m_listSplitter->addWidget(m_listStack);
    m_preview = new PreviewPane(m_listSplitter);
    m_preview->hide();
    m_listSplitter->addWidget(m_preview);
    m_listSplitter->setStretchFactor(0, 3);
    m_listSplitter->setStretchFactor(1, 2);
    listLayout->addWidget(m_listSplitter, 1);
    m_browseStatus = new QLabel(m_listPane);
    m_browseStatus->setObjectName(QStringLiteral("browseStatus"));
    m_browseStatus->setTextFormat(Qt::PlainText);
    listLayout->addWidget(m_browseStatus);
    m_listPane->hide();
    registerControl(kList, m_listPane);
    layout->addWidget(m_listPane, 100);

    auto* options = new QHBoxLayout;
    options->addWidget(buildScanTypeGroup());
    options->addWidget(buildFileSystemGroup());
    auto* search = new QPushButton(QStringLiteral("Search Partitions"), pane);
    search->setFlat(true);
    search->setCursor(Qt::PointingHandCursor);
    search->setStyleSheet(QStringLiteral("QPushButton { color: palette(link); text-decoration: underline; "
                                         "border: none; padding: 2px; }"));
    search->setToolTip(toQt(core::msg::kTipSearchPartitions));
    registerControl(kSearchPartitions, search);
    connect(search, &QPushButton::clicked, this, &MainWindow::searchPartitionsClicked);
    options->addWidget(search, 0, Qt::AlignTop);
    options->addStretch();
    layout->addLayout(options);

    layout->addWidget(buildInformationPanel());

    auto* status = new QLabel(pane);
    status->setTextFormat(Qt::PlainText);
    status->setFrameShape(QFrame::StyledPanel);
    status->setFrameShadow(QFrame::Sunken);
    registerControl(kStatus, status);
    layout->addWidget(status);

    // The progress bar, with the worker's rate and time left beside it.
    auto* progressRow = new QHBoxLayout;
    m_progress = new QProgressBar(pane);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(true);
    registerControl(kProgress, m_progress);
    progressRow->addWidget(m_progress, 1);
    m_rate = new QLabel(pane);
    m_rate->setObjectName(QStringLiteral("rateLabel"));
    m_rate->setTextFormat(Qt::PlainText);
    m_rate->setVisible(false);
    progressRow->addWidget(m_rate);
    layout->addLayout(progressRow);

    auto* quickHelp = new QLabel(pane);
    quickHelp->setTextFormat(Qt::PlainText);
    quickHelp->setWordWrap(true);
    quickHelp->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    quickHelp->setFrameShape(QFrame::StyledPanel);
    quickHelp->setMinimumHeight(fontMetrics().lineSpacing() * 4);
    registerControl(kQuickHelp, quickHelp);
    layout->addWidget(quickHelp);
    layout->addStretch(1);
    return pane;
}

QWidget* MainWindow::buildScanTypeGroup()
{
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    registerControl(kScanTypeFrame, frame);
    auto* grid = new QGridLayout(frame);

    auto* caption = new QLabel(toQt(core::msg::kScanTypeCaption), frame);
    QFont bold = caption->font();
    bold.setBold(true);
    caption->setFont(bold);
    registerControl(kScanTypeCaption, caption);

    auto* standard = new QRadioButton(QStringLiteral("Standard Scan"), frame);
    auto* advance = new QRadioButton(QStringLiteral("Advance Scan"), frame);
    registerControl(kStandardScan, standard);
    registerControl(kAdvanceScan, advance);
    connect(standard, &QRadioButton::clicked, this, [this] { Q_EMIT scanMethodChosen(1); });
    connect(advance, &QRadioButton::clicked, this, [this] { Q_EMIT scanMethodChosen(2); });

    QLabel* help = helpIcon(frame, scanTypeTip());
    registerControl(kScanTypeHelp, help);

    grid->addWidget(caption, 0, 0);
    grid->addWidget(help, 0, 1, Qt::AlignRight);
    grid->addWidget(standard, 1, 0, 1, 2);
    grid->addWidget(advance, 2, 0, 1, 2);
    return frame;
}

QWidget* MainWindow::buildFileSystemGroup()
{
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    registerControl(kFileSystemFrame, frame);
    auto* grid = new QGridLayout(frame);

    auto* fsCaption = new QLabel(toQt(core::msg::kSelectFileSystem), frame);
    m_fileSystemList = new QComboBox(frame);
    m_fileSystemList->addItems({toQt(core::msg::kFsNameFat16), toQt(core::msg::kFsNameFat32),
                                toQt(core::msg::kFsNameNtfs)});
    fsCaption->setBuddy(m_fileSystemList);
    auto* startCaption = new QLabel(toQt(core::msg::kStartSectorCaption), frame);
    auto* startBox = new QLineEdit(frame);
    startCaption->setBuddy(startBox);
    auto* endCaption = new QLabel(toQt(core::msg::kEndSectorCaption), frame);
    auto* endBox = new QLineEdit(frame);
    endCaption->setBuddy(endBox);
    registerControl(kFileSystemCaption, fsCaption);
    registerControl(kFileSystemList, m_fileSystemList);
    registerControl(kStartSectorCaption, startCaption);
    registerControl(kStartSectorBox, startBox);
    registerControl(kEndSectorCaption, endCaption);
    registerControl(kEndSectorBox, endBox);

    QLabel* help = helpIcon(frame, rangeTip());
    registerControl(kRangeHelp, help);

    grid->addWidget(fsCaption, 0, 0);
    grid->addWidget(m_fileSystemList, 0, 1);
    grid->addWidget(help, 0, 2, Qt::AlignRight);
    grid->addWidget(startCaption, 1, 0);
    grid->addWidget(startBox, 1, 1, 1, 2);
    grid->addWidget(endCaption, 2, 0);
    grid->addWidget(endBox, 2, 1, 1, 2);
    return frame;
}

QWidget* MainWindow::buildInformationPanel()
{
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("informationPanel"));
    m_panel = panel;
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    for (int row = 1; row <= kPanelRows; ++row) {
        auto* label = new QLabel(panel);
        auto* value = new QLabel(panel);
        label->setTextFormat(Qt::PlainText);
        value->setTextFormat(Qt::PlainText);
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        registerControl(PanelLabelId(row), label);
        registerControl(PanelValueId(row), value);
        grid->addWidget(label, row - 1, 0);
        grid->addWidget(value, row - 1, 1);
    }
    grid->setColumnStretch(1, 1);
    return panel;
}

QWidget* MainWindow::buildButtonRow()
{
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addStretch();
    auto* back = new QPushButton(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("< &Back"), row);
    auto* next = new QPushButton(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("&Next >"), row);
    auto* stop = new QPushButton(style()->standardIcon(QStyle::SP_BrowserStop), QStringLiteral("&Stop"), row);
    back->setToolTip(toQt(core::msg::kTipBack));
    next->setToolTip(toQt(core::msg::kTipNext));
    stop->setToolTip(toQt(core::msg::kTipStop));
    // Enter opens the list's item; it never presses a default button.
    for (QPushButton* button : {back, next, stop}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    registerControl(kBack, back);
    registerControl(kNext, next);
    registerControl(kStop, stop);
    connect(back, &QPushButton::clicked, this, &MainWindow::backClicked);
    connect(next, &QPushButton::clicked, this, &MainWindow::nextClicked);
    connect(stop, &QPushButton::clicked, this, &MainWindow::stopClicked);
    layout->addWidget(back);
    layout->addWidget(next);
    layout->addWidget(stop);
    return row;
}

}  // namespace gui
