#pragma once

#include "datalog/RecordSaver.h"
#include "datalog/RecordingEngine.h"
#include "datalog/SampleBuffer.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPagedPaintDevice;
class QPushButton;
class QStackedWidget;
class QTableView;
class RecordPlace;
class RecordStore;
class SavedRecords;
class RecordingGraph;
class RecordingHost;

// The table window ("Data Table"): the sample buffer as a grid, the record operations on it
// (list and load saved records, save or replace, clear, filter by condition, comment a
// sample, print), and the recording engine whose samples it shows as they arrive.
class frmDataTable : public QWidget
{
    Q_OBJECT
public:
    // Column widths in twips: sample number, time, comment; the reading columns take
    // DefaultWidthTwips.
    static constexpr int SeqNoWidthTwips = 900;
    static constexpr int TimeWidthTwips = 1600;
    static constexpr int CommentWidthTwips = 2000;
    static constexpr int DefaultWidthTwips = 1300;
    static constexpr int PrintLeftTwips = 390;
    static constexpr int PrintTopTwips = 720;
    static constexpr int PrintBelowGraphTwips = 7000;
    static constexpr int CellPaddingPixels = 4;

    // `contrlIdx` is the number of channels minus one. The buffer shows what `datatemp` holds
    // (samples of a recording that was never saved are kept).
    frmDataTable(RecordStore &store, RecordingHost &host, int contrlIdx, QWidget *parent = nullptr);

    SampleBuffer &buffer() { return m_buffer; }
    RecordingEngine &engine() { return m_engine; }
    void setGraph(RecordingGraph *graph);
    // Where records are saved, listed and loaded; without one, the store of this computer.
    void setRecordPlace(RecordPlace *place) { m_place = place; }
    SavedRecords &records();

    // --- the recording (see RecordingEngine)
    void RecordPeriod(int d, int h, int m, int s, int iScale, int iOpmode);
    bool BeginRecordData();
    void EndRecordData(int idx = 0);
    qint64 CountRecordCount() const { return m_engine.CountRecordCount(); }
    qint64 iCurrentRow() const { return m_engine.iCurrentRow(); }
    void ClearData();
    void MoveData(int n);
    // Highlights sample idx of the grid and brings it into view.
    void RowSelected(qint64 idx);

    // --- the window's operations
    void CmbSample_Click();            // rebuild the grid from datatemp with the chosen filter
    void cmdLoadRecord_Click();        // list the saved records over the grid
    void List1_Click(int listRow);     // load the listed record
    void cmdSave_Click();              // save or replace the buffer as a record
    // Loads saved record `recNo` into the buffer and the form; nullopt when it is not there,
    // or when the user kept unsaved samples the load would delete (asked unless
    // `discardConfirmed`).
    std::optional<RecordInfo> loadRecord(const QString &recNo, bool discardConfirmed = false);
    // Saves or replaces the buffer as a record, with the questions of the asking window;
    // `confirmed` skips the save question.
    RecordSaver::Outcome saveRecord(const RecordSaver::Texts &texts, bool confirmed = false);
    // Before samples that are saved nowhere are deleted: "N unsaved samples will be deleted.
    // Save them first?" Save runs the ordinary save. True when the caller may go on (nothing
    // unsaved, Discard, or saved); false for Cancel or a save that did not happen. For user
    // actions only.
    bool mayDiscardUnsaved();
    void cmdClear_Click();             // clear the buffer, asking when it holds samples
    void openComment(int row);         // the comment editor for grid row `row`
    void cmdProcOK_Click();
    void cmdProcCancel_Click();
    void PrintData();                  // print preview, then a printer or a PDF file
    // Prints the grid on `device` below the top margin, or below a graph with "Show style".
    bool printTo(QPagedPaintDevice &device);

    // The six filter entries and the condition code each selects (none: all rows).
    static const QStringList &filterEntries();
    static std::optional<QString> filterCode(int position);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void rebuildFromStore();
    void resetView();
    void storeFailed();
    void storeFailed(const StoreError &error);
    void showList(bool on);
    void followRecording(int row);
    QList<int> columnWidthsTwips() const;
    void applyColumnWidths();

    RecordStore &m_store;
    RecordingHost &m_host;
    RecordPlace *m_place = nullptr;
    SampleBuffer m_buffer;
    RecordingEngine m_engine;
    RecordingGraph *m_graph = nullptr;

    QLineEdit *m_recno;
    QLineEdit *m_startTime;
    QLineEdit *m_endTime;
    QLineEdit *m_desc;
    QComboBox *m_filter;
    QPushButton *m_load;
    QPushButton *m_save;
    QPushButton *m_clear;
    QPushButton *m_print;
    QCheckBox *m_showStyle;
    QStackedWidget *m_stack;
    QTableView *m_grid;
    QListWidget *m_list;
    QFrame *m_commentPanel;
    QLineEdit *m_commentText;
    QLabel *m_commentSample;
    int m_commentRow = -1;
    int m_visibleRows = 0;
};
