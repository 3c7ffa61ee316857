#include "datalog/frmDataTable.h"

#include "common/Prompter.h"
#include "datalog/GridPrinter.h"
#include "datalog/RecordCaption.h"
#include "datalog/RecordList.h"
#include "datalog/RecordListItem.h"
#include "datalog/RecordSaver.h"
#include "datalog/RecordingInterfaces.h"
#include "datalog/RecordingSession.h"
#include "datalog/SavedRecords.h"
#include "datalog/Twips.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QLineEdit *box(QWidget *parent, const QString &name, int width, bool readOnly = false)
{
    auto *e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMinimumWidth(width);
    e->setReadOnly(readOnly);
    return e;
}

QPushButton *button(QWidget *parent, const QString &name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(name);
    return b;
}

// Paints a grid cell as its background, then its text on one line, cut at the right with
// an ellipsis: what the grid shows, without the style machinery a general delegate runs for
// every cell, so a scroll of a recording's grid stays cheap.
class GridCellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const QVariant back = index.data(Qt::BackgroundRole);
        if (back.isValid())
            painter->fillRect(option.rect, back.value<QColor>());
        const QVariant fore = index.data(Qt::ForegroundRole);
        painter->setPen(fore.isValid() ? fore.value<QColor>() : option.palette.color(QPalette::Text));
        const QRect text = option.rect.adjusted(CellPadding, 0, -CellPadding, 0);
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                          option.fontMetrics.elidedText(index.data().toString(), Qt::ElideRight, text.width()));
    }

private:
    static constexpr int CellPadding = 3;
};

} // namespace

// The samples the grid shows: those whose channel-1 condition code is the chosen one, or all.
class frmDataTable::ConditionFilter : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

    void setCondition(const std::optional<QString> &code)
    {
        m_code = code;
        invalidateRowsFilter();
    }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &) const override
    {
        return !m_code || static_cast<const SampleBuffer *>(sourceModel())->reason(sourceRow, 0) == *m_code;
    }

private:
    std::optional<QString> m_code;
};

frmDataTable::frmDataTable(RecordingSession &session, QWidget *parent)
    : QWidget(parent), m_session(session), m_shown(new ConditionFilter(this))
{
    setObjectName(QStringLiteral("frmDataTable"));
    setWindowTitle(QStringLiteral("Data Table"));
    SampleBuffer &buffer = m_session.buffer();
    m_shown->setSourceModel(&buffer);

    m_recno = box(this, QStringLiteral("txtRecno"), 50, true);
    m_startTime = box(this, QStringLiteral("txtStartTime"), 130, true);
    m_endTime = box(this, QStringLiteral("txtEndTime"), 130, true);
    m_desc = box(this, QStringLiteral("txtDataDesc"), 200);
    m_filter = new QComboBox(this);
    m_filter->setObjectName(QStringLiteral("CmbSample"));
    m_filter->addItems(filterEntries());
    m_filter->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_filter->setMinimumContentsLength(10);
    m_load = button(this, QStringLiteral("cmdLoadRecord"), QStringLiteral("Load"));
    m_save = button(this, QStringLiteral("cmdSave"), QStringLiteral("Save"));
    m_clear = button(this, QStringLiteral("cmdClear"), QStringLiteral("Clear"));
    m_print = button(this, QStringLiteral("cmdPrint"), QStringLiteral("Print"));
    m_showStyle = new QCheckBox(QStringLiteral("Show style"), this);
    m_showStyle->setObjectName(QStringLiteral("chkShowStyle"));

    auto *fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("No:"), this), 0, 0);
    fields->addWidget(m_recno, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("Start:"), this), 0, 2);
    fields->addWidget(m_startTime, 0, 3);
    fields->addWidget(new QLabel(QStringLiteral("End:"), this), 0, 4);
    fields->addWidget(m_endTime, 0, 5);
    fields->addWidget(new QLabel(QStringLiteral("MEMO:"), this), 1, 0);
    fields->addWidget(m_desc, 1, 1, 1, 3);
    fields->addWidget(m_filter, 1, 4, 1, 2);
    fields->setColumnStretch(3, 1);
    auto *buttons = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{m_load, m_save, m_clear, m_print, m_showStyle})
        buttons->addWidget(w);
    buttons->addStretch();

    m_commentPanel = new QFrame(this);
    m_commentPanel->setObjectName(QStringLiteral("pnlDataComment"));
    m_commentPanel->setFrameShape(QFrame::StyledPanel);
    m_commentText = box(m_commentPanel, QStringLiteral("txtDataComment"), 200);
    auto *ok = button(m_commentPanel, QStringLiteral("cmdProcOK"), QStringLiteral("OK"));
    auto *cancel = button(m_commentPanel, QStringLiteral("cmdProcCancel"), QStringLiteral("Cancel"));
    auto *commentRow = new QHBoxLayout(m_commentPanel);
    m_commentSample = new QLabel(m_commentPanel);
    m_commentSample->setObjectName(QStringLiteral("lblCommentSample"));
    commentRow->addWidget(new QLabel(QStringLiteral("Data Comment"), m_commentPanel));
    commentRow->addWidget(m_commentSample);
    commentRow->addWidget(m_commentText, 1);
    commentRow->addWidget(ok);
    commentRow->addWidget(cancel);
    m_commentPanel->hide();

    m_grid = new QTableView(this);
    m_grid->setObjectName(QStringLiteral("grdHelQuest"));
    m_grid->setModel(m_shown);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    // One line per cell: wrapping would lay out every text it paints.
    m_grid->setWordWrap(false);
    m_grid->setItemDelegate(new GridCellDelegate(m_grid));
    m_grid->verticalHeader()->hide();
    // Fixed row height and column widths: a long buffer costs nothing to lay out.
    m_grid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 4);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("List1"));
    m_list->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_stack = new QStackedWidget(this);
    m_stack->addWidget(m_grid);
    m_stack->addWidget(m_list);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    layout->addWidget(m_commentPanel);
    layout->addWidget(m_stack, 1);

    connect(m_filter, &QComboBox::activated, this, &frmDataTable::applyFilter);
    connect(m_recno, &QLineEdit::textChanged, &m_session, &RecordingSession::setRecordNumber);
    connect(m_desc, &QLineEdit::textChanged, &m_session, &RecordingSession::setDescription);
    connect(m_load, &QPushButton::clicked, this, &frmDataTable::cmdLoadRecord_Click);
    connect(m_save, &QPushButton::clicked, this, &frmDataTable::cmdSave_Click);
    connect(m_clear, &QPushButton::clicked, this, &frmDataTable::cmdClear_Click);
    connect(m_print, &QPushButton::clicked, this, &frmDataTable::PrintData);
    connect(ok, &QPushButton::clicked, this, &frmDataTable::cmdProcOK_Click);
    connect(cancel, &QPushButton::clicked, this, &frmDataTable::cmdProcCancel_Click);
    connect(m_list, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { List1_Click(m_list->row(item)); });
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { List1_Click(m_list->row(item)); });
    connect(m_grid, &QTableView::clicked, this, [this](const QModelIndex &index) {
        if (index.column() == m_session.buffer().commentColumn())
            openComment(index.row());
    });
    connect(&buffer, &QAbstractItemModel::modelReset, this, &frmDataTable::applyColumnWidths);
    connect(&m_session.engine(), &RecordingEngine::sampleStored, this, &frmDataTable::followRecording);
    // A new recording is shown whole.
    connect(&m_session.engine(), &RecordingEngine::started, this, [this] {
        m_filter->setCurrentIndex(0);
        applyFilter();
    });
    connect(&m_session, &RecordingSession::recordChanged, this, &frmDataTable::showRecord);
    connect(&m_session, &RecordingSession::rowSelected, this, &frmDataTable::scrollToSample);

    applyColumnWidths();
    showRecord();
}

void frmDataTable::showRecord()
{
    const RecordInfo &record = m_session.record();
    m_recno->setText(record.recNo);
    m_startTime->setText(record.startTime);
    m_endTime->setText(record.endTime);
    m_desc->setText(record.comment);
}

const QStringList &frmDataTable::filterEntries()
{
    static const QStringList list{QStringLiteral("全部"), QStringLiteral("Time"),
                                  QStringLiteral("超過上限"), QStringLiteral("超過下限"),
                                  QStringLiteral("符合條件: 固定準位 (相對於讀值)"),
                                  QStringLiteral("符合條件: 百分比 (相對於讀值)")};
    return list;
}

std::optional<QString> frmDataTable::filterCode(int position)
{
    if (position >= 1 && position <= 4)
        return QString::number(position - 1);
    return std::nullopt;
}

QList<int> frmDataTable::columnWidthsTwips() const
{
    QList<int> widths{SeqNoWidthTwips, TimeWidthTwips};
    for (int c = 2; c < m_session.buffer().commentColumn(); ++c)
        widths << DefaultWidthTwips;
    widths << CommentWidthTwips;
    return widths;
}

void frmDataTable::applyColumnWidths()
{
    // The widths in twips, widened where this screen's font needs more for a caption or a
    // time stamp.
    const QList<int> widths = columnWidthsTwips();
    const QFontMetrics text(m_grid->font());
    const QFontMetrics caption(m_grid->horizontalHeader()->font());
    const int timeWidth = text.horizontalAdvance(QStringLiteral("2026/03/05 00:00:00"));
    for (int c = 0; c < widths.size(); ++c) {
        int px = std::max(twipsToPixels(widths.at(c)),
                          caption.horizontalAdvance(m_session.buffer().headerData(c, Qt::Horizontal).toString()));
        if (c == 1)
            px = std::max(px, timeWidth);
        m_grid->setColumnWidth(c, px + 2 * CellPaddingPixels);
    }
}

void frmDataTable::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const int rowHeight = m_grid->verticalHeader()->defaultSectionSize();
    m_visibleRows = rowHeight > 0 ? m_grid->viewport()->height() / rowHeight : 0;
}

// ---------------------------------------------------------------- following, filter

void frmDataTable::followRecording(int row)
{
    // The newest sample stays in view unless the user scrolled back to look at older ones.
    QScrollBar *bar = m_grid->verticalScrollBar();
    if (row <= m_visibleRows || bar->value() >= bar->maximum() - 1)
        m_grid->scrollToBottom();
}

void frmDataTable::RowSelected(qint64 idx)
{
    if (idx >= 0 && idx < m_session.buffer().size())
        m_session.selectRow(int(idx));
}

void frmDataTable::scrollToSample(int row)
{
    const int shown = m_shown->mapFromSource(m_session.buffer().index(row, 0)).row();
    if (shown >= 0)
        m_grid->verticalScrollBar()->setValue(shown + 1 > 3 ? shown - 2 : 0);
}

int frmDataTable::sampleOfGridRow(int gridRow) const
{
    return m_shown->mapToSource(m_shown->index(gridRow, 0)).row();
}

void frmDataTable::applyFilter()
{
    m_shown->setCondition(filterCode(m_filter->currentIndex()));
}

void frmDataTable::CmbSample_Click()
{
    m_session.reload();
    applyFilter();
}

void frmDataTable::showList(bool on)
{
    m_stack->setCurrentWidget(on ? static_cast<QWidget *>(m_list) : m_grid);
}

void frmDataTable::cmdLoadRecord_Click()
{
    if (!m_session.listRecords()) {
        const StoreError e = m_session.records().lastError();
        Prompter::current().message(e.unreachable            ? e.description
                                        : !e.cause.isEmpty() ? e.cause
                                                             : e.number + QLatin1Char(':') + e.description,
                                    QString(), Prompter::Severity::Critical);
        return;
    }
    m_list->clear();
    const SavedRecordModel &records = m_session.savedRecords();
    for (int i = 0; i < records.rowCount(); ++i)
        m_list->addItem(recordItem(RecordList::tableLine(records.record(i)), records.record(i).recNo));
    showList(true);
}

void frmDataTable::List1_Click(int listRow)
{
    // A double click activates the entry its first click has already loaded.
    if (m_stack->currentWidget() != m_list || listRow < 0 || listRow >= m_list->count())
        return;
    const QString recNo = m_list->item(listRow)->data(Qt::UserRole).toString();
    showList(false);
    m_session.loadRecord(recNo);
}

// ---------------------------------------------------------------- save, clear, comments

void frmDataTable::cmdSave_Click()
{
    m_session.saveRecord(RecordSaver::Texts::dataTable());
}

void frmDataTable::cmdClear_Click()
{
    if (!m_session.clearAsked())
        return;
    m_filter->setCurrentIndex(0);
    applyFilter();
}

void frmDataTable::openComment(int gridRow)
{
    const int row = sampleOfGridRow(gridRow);
    const SampleBuffer &buffer = m_session.buffer();
    if (row < 0 || row >= buffer.size())
        return;
    m_commentRow = row;
    // Which sample the comment goes to.
    m_commentSample->setText(QStringLiteral("%1  %2").arg(buffer.seqNo(row)).arg(buffer.recTime(row)));
    m_commentText->setText(buffer.comment(row));
    m_commentPanel->show();
    m_commentText->setFocus();
}

void frmDataTable::cmdProcOK_Click()
{
    m_commentPanel->hide();
    m_session.setComment(m_commentRow, m_commentText->text());
}

void frmDataTable::cmdProcCancel_Click()
{
    m_commentPanel->hide();
}

// ---------------------------------------------------------------- printing

bool frmDataTable::printTo(QPagedPaintDevice &device)
{
    GridPrinter printer(*m_shown, columnWidthsTwips(), m_grid->font());
    printer.groupColumns = 3;  // a channel's voltage, current and condition stay together
    const RecordInfo &record = m_session.record();
    const QString shown = RecordCaption::shown(record, m_session.isRecording(), m_session.buffer().size() > 0);
    printer.heading << RecordCaption::title(m_session.source().machineType(), shown);
    if (const QString times = RecordCaption::times(record); !times.isEmpty())
        printer.heading << times;
    return printer.print(device, PrintLeftTwips,
                         m_showStyle->isChecked() ? PrintBelowGraphTwips : PrintTopTwips);
}

void frmDataTable::PrintData()
{
    QPrinter printer(QPrinter::HighResolution);
    // Every column of a four-channel table fits two landscape pages wide.
    printer.setPageOrientation(QPageLayout::Landscape);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter *p) { printTo(*p); });
    preview.exec();
}
