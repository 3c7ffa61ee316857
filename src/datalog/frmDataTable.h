#pragma once

#include <QWidget>

#include <optional>

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
class RecordingSession;

// The table window ("Data Table"): a view of the recording session's samples as a grid,
// filtered by condition, with the record operations on them (list and load saved records,
// save or replace, clear, comment a sample, print). Closing it leaves the recording running.
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

    explicit frmDataTable(RecordingSession &session, QWidget *parent = nullptr);

    // Highlights sample idx of the recording and brings it into view.
    void RowSelected(qint64 idx);

    // --- the window's operations
    void CmbSample_Click();            // re-read datatemp into the session, then filter
    void cmdLoadRecord_Click();        // list the saved records over the grid
    void List1_Click(int listRow);     // load the listed record
    void cmdSave_Click();              // save or replace the buffer as a record
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
    class ConditionFilter;

    void applyFilter();
    void showRecord();
    void showList(bool on);
    void followRecording(int row);
    void scrollToSample(int row);
    int sampleOfGridRow(int gridRow) const;
    QList<int> columnWidthsTwips() const;
    void applyColumnWidths();

    RecordingSession &m_session;
    ConditionFilter *m_shown;

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
