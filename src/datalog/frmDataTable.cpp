#include "datalog/frmDataTable.h"

#include "common/Prompter.h"
#include "datalog/GridPrinter.h"
#include "datalog/RecordPlace.h"
#include "datalog/RecordList.h"
#include "datalog/RecordListItem.h"
#include "datalog/RecordSaver.h"
#include "datalog/RecordStore.h"
#include "datalog/StoreMessages.h"
#include "datalog/RecordingInterfaces.h"
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

frmDataTable::frmDataTable(RecordStore &store, RecordingHost &host, int contrlIdx, QWidget *parent)
    : QWidget(parent), m_store(store), m_host(host), m_engine(store, m_buffer, host, this)
{
    setObjectName(QStringLiteral("frmDataTable"));
    setWindowTitle(QStringLiteral("Data Table"));
    m_engine.setChannelIndex(contrlIdx);
    m_buffer.setChannelCount(m_engine.ContrlIdx() + 1);

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
    m_grid->setModel(&m_buffer);
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

    connect(m_filter, &QComboBox::activated, this, &frmDataTable::CmbSample_Click);
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
        if (index.column() == m_buffer.commentColumn())
            openComment(index.row());
    });
    connect(&m_buffer, &QAbstractItemModel::modelReset, this, &frmDataTable::applyColumnWidths);
    connect(&m_engine, &RecordingEngine::started, this, [this](const QString &start, const QString &end) {
        m_startTime->setText(start);
        m_endTime->setText(end);
    });
    connect(&m_engine, &RecordingEngine::sampleStored, this, &frmDataTable::followRecording);
    // A recording stopped early ends at its last sample, not at the planned end.
    connect(&m_engine, &RecordingEngine::stopped, this, [this] {
        if (m_buffer.size() > 0 && !m_buffer.reasonFilter())
            m_endTime->setText(m_buffer.recTime(m_buffer.size() - 1));
    });
    connect(&m_engine, &RecordingEngine::failed, this, [](const QString &message) {
        // Shown without waiting in the tick; the engine has already stopped.
        Prompter::current().notify(message, QString(), Prompter::Severity::Critical);
    });

    applyColumnWidths();
    // What `datatemp` holds stays: an unsaved recording survives a crash or a restart, and is
    // saved with the times of its first and last samples.
    rebuildFromStore();
    if (m_buffer.size() > 0) {
        m_startTime->setText(m_buffer.recTime(0));
        m_endTime->setText(m_buffer.recTime(m_buffer.size() - 1));
    }
    m_engine.bufferReplaced(m_startTime->text());
}

void frmDataTable::setGraph(RecordingGraph *graph)
{
    m_graph = graph;
    m_engine.setGraph(graph);
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

SavedRecords &frmDataTable::records()
{
    if (m_place)
        return m_place->current();
    return m_store;
}

QList<int> frmDataTable::columnWidthsTwips() const
{
    QList<int> widths{SeqNoWidthTwips, TimeWidthTwips};
    for (int c = 2; c < m_buffer.commentColumn(); ++c)
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
                          caption.horizontalAdvance(m_buffer.headerData(c, Qt::Horizontal).toString()));
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

// ---------------------------------------------------------------- recording

void frmDataTable::RecordPeriod(int d, int h, int m, int s, int iScale, int iOpmode)
{
    m_engine.RecordPeriod(d, h, m, s, iScale, iOpmode);
}

bool frmDataTable::BeginRecordData()
{
    // Refused before anything is asked or emptied: nothing may be written yet, or here.
    if (const std::optional<QString> why = m_store.writeRefusal()) {
        Prompter::current().message(*why, QString(), Prompter::Severity::Warning);
        return false;
    }
    if (!mayDiscardUnsaved())
        return false;
    resetView();
    return m_engine.BeginRecordData();
}

bool frmDataTable::mayDiscardUnsaved()
{
    const std::optional<qint64> unsaved = m_store.unsavedCount();
    if (!unsaved) {
        storeFailed();
        return false;
    }
    if (*unsaved == 0)
        return true;
    const QString text = QStringLiteral("%1 unsaved samples will be deleted. Save them first?").arg(*unsaved);
    switch (Prompter::current().saveDiscardCancel(text)) {
    case Prompter::Choice::Discard:
        return true;
    case Prompter::Choice::Cancel:
        return false;
    case Prompter::Choice::Save:
        break;
    }
    switch (saveRecord(RecordSaver::Texts::dataTable(), true)) {
    case RecordSaver::Outcome::Saved:
    case RecordSaver::Outcome::Replaced:
    case RecordSaver::Outcome::SavedHere:
        return true;
    default:
        return false;
    }
}

void frmDataTable::EndRecordData(int idx)
{
    m_engine.EndRecordData(idx);
}

void frmDataTable::ClearData()
{
    // The samples of a running recording would go on from a start that is no longer shown.
    m_engine.EndRecordData();
    if (!m_engine.ClearData())
        storeFailed();
    resetView();
}

void frmDataTable::resetView()
{
    for (QLineEdit *e : {m_recno, m_desc, m_startTime, m_endTime})
        e->clear();
    m_filter->setCurrentIndex(0);
    m_buffer.setReasonFilter(std::nullopt);
    if (m_graph)
        m_graph->ReDraw();
}

void frmDataTable::MoveData(int n)
{
    if (!m_store.moveBufferToWindow(n)) {
        storeFailed();
        return;
    }
    m_engine.ClearBuffer();
}

void frmDataTable::followRecording(int row)
{
    // The newest sample stays in view unless the user scrolled back to look at older ones.
    QScrollBar *bar = m_grid->verticalScrollBar();
    if (row <= m_visibleRows || bar->value() >= bar->maximum() - 1)
        m_grid->scrollToBottom();
}

void frmDataTable::RowSelected(qint64 idx)
{
    if (idx < 0 || idx >= m_buffer.size())
        return;
    m_buffer.setHighlightedRow(int(idx));
    m_grid->verticalScrollBar()->setValue(idx + 1 > 3 ? int(idx) - 2 : 0);
}

// ---------------------------------------------------------------- rebuild, list, load

void frmDataTable::rebuildFromStore()
{
    m_buffer.setReasonFilter(filterCode(m_filter->currentIndex()));
    m_buffer.beginRebuild();
    const bool ok = m_store.forEachBufferSampleView([this](const SampleView &row) {
        m_buffer.add(row);
        return true;
    }, m_buffer.reasonFilter());
    m_buffer.endRebuild();
    if (!ok)
        storeFailed();
}

void frmDataTable::CmbSample_Click()
{
    rebuildFromStore();
    if (m_graph)
        m_graph->ReDraw();
}

void frmDataTable::showList(bool on)
{
    m_stack->setCurrentWidget(on ? static_cast<QWidget *>(m_list) : m_grid);
}

void frmDataTable::cmdLoadRecord_Click()
{
    SavedRecords &place = this->records();
    const auto records = place.savedRecords();
    if (!records) {
        const StoreError e = place.lastError();
        Prompter::current().message(e.unreachable            ? e.description
                                        : !e.cause.isEmpty() ? e.cause
                                                             : e.number + QLatin1Char(':') + e.description,
                                    QString(), Prompter::Severity::Critical);
        return;
    }
    m_list->clear();
    for (const RecordInfo &r : *records)
        m_list->addItem(recordItem(RecordList::tableLine(r), r.recNo));
    showList(true);
}

void frmDataTable::List1_Click(int listRow)
{
    // A double click activates the entry its first click has already loaded.
    if (m_stack->currentWidget() != m_list || listRow < 0 || listRow >= m_list->count())
        return;
    const QString recNo = m_list->item(listRow)->data(Qt::UserRole).toString();
    showList(false);
    loadRecord(recNo);
}

std::optional<RecordInfo> frmDataTable::loadRecord(const QString &recNo, bool discardConfirmed)
{
    // Read-only, a load only reads; otherwise it empties the buffer first.
    if (!m_store.isReadOnly()) {
        if (const std::optional<QString> why = m_store.writeRefusal()) {
            Prompter::current().message(*why, QString(), Prompter::Severity::Warning);
            return std::nullopt;
        }
    }
    if (!discardConfirmed && !mayDiscardUnsaved())
        return std::nullopt;
    // A recording would go on into the loaded record's samples.
    m_engine.EndRecordData();
    RecordInfo record;
    SavedRecords &place = records();
    switch (place.loadRecord(recNo, &record)) {
    case SavedRecords::LoadResult::NotFound:
        return std::nullopt;
    case SavedRecords::LoadResult::Failed:
        storeFailed(place.lastError());
        return std::nullopt;
    case SavedRecords::LoadResult::Loaded:
        break;
    }
    m_recno->setText(record.recNo.trimmed());
    m_startTime->setText(record.startTime);
    m_endTime->setText(record.endTime);
    m_desc->setText(record.comment);
    rebuildFromStore();
    m_engine.bufferReplaced(record.startTime);
    if (m_graph)
        m_graph->ReDraw();
    return record;
}

// ---------------------------------------------------------------- save, clear, comments

void frmDataTable::cmdSave_Click()
{
    saveRecord(RecordSaver::Texts::dataTable());
}

RecordSaver::Outcome frmDataTable::saveRecord(const RecordSaver::Texts &texts, bool confirmed)
{
    RecordSaver saver(records(), m_store, texts);
    RecordSaver::Form form{m_recno->text(), m_startTime->text(), m_endTime->text(), m_desc->text(),
                           m_engine.scale(), m_graph ? m_graph->xLengthPosition() : 0,
                           m_host.MachineType()};
    const RecordSaver::Outcome outcome = saver.save(form, confirmed);
    if (outcome == RecordSaver::Outcome::Saved || outcome == RecordSaver::Outcome::SavedHere)
        m_recno->setText(form.recNo);
    return outcome;
}

void frmDataTable::cmdClear_Click()
{
    if (const std::optional<QString> why = m_store.writeRefusal()) {
        Prompter::current().message(*why, QString(), Prompter::Severity::Warning);
        return;
    }
    const std::optional<qint64> count = m_store.bufferCount();
    const std::optional<qint64> unsaved = m_store.unsavedCount();
    if (!count || !unsaved) {
        storeFailed();
        return;
    }
    // Samples saved nowhere get the question with Save; saved ones the plain one.
    if (*unsaved > 0) {
        if (!mayDiscardUnsaved())
            return;
    } else if (*count > 0 && !Prompter::current().question(QStringLiteral("Do you want to clear all of data records?"))) {
        return;
    }
    ClearData();
}

void frmDataTable::openComment(int row)
{
    if (row < 0 || row >= m_buffer.size())
        return;
    m_commentRow = row;
    // Which sample the comment goes to.
    m_commentSample->setText(QStringLiteral("%1  %2").arg(m_buffer.seqNo(row)).arg(m_buffer.recTime(row)));
    m_commentText->setText(m_buffer.comment(row));
    m_commentPanel->show();
    m_commentText->setFocus();
}

void frmDataTable::cmdProcOK_Click()
{
    m_commentPanel->hide();
    if (const std::optional<QString> why = m_store.writeRefusal()) {
        Prompter::current().message(*why, QString(), Prompter::Severity::Warning);
        return;
    }
    const int row = m_commentRow;
    if (row < 0 || row >= m_buffer.size())
        return;
    const QString text = m_commentText->text();
    // Keyed by sample number: two samples may share a time stamp when a tick was late.
    if (!m_store.updateComment(m_buffer.seqNo(row), text)) {
        storeFailed();
        return;
    }
    m_buffer.setComment(row, text);
}

void frmDataTable::cmdProcCancel_Click()
{
    m_commentPanel->hide();
}

void frmDataTable::storeFailed()
{
    storeFailed(m_store.lastError());
}

void frmDataTable::storeFailed(const StoreError &error)
{
    Prompter::current().message(storeFailureText(QStringLiteral("DataTable: "), error), QString(),
                                Prompter::Severity::Critical);
}

// ---------------------------------------------------------------- printing

bool frmDataTable::printTo(QPagedPaintDevice &device)
{
    GridPrinter printer(m_buffer, columnWidthsTwips(), m_grid->font());
    return printer.print(device, PrintLeftTwips,
                         m_showStyle->isChecked() ? PrintBelowGraphTwips : PrintTopTwips);
}

void frmDataTable::PrintData()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter *p) { printTo(*p); });
    preview.exec();
}
