#pragma once

#include <QString>

class RecordStore;

// The rule by which the table window and the graph window save the sample buffer: refuse an
// empty buffer; replace the shown record after asking; otherwise ask, take the next record
// number and save a new record. Messages and questions go through the prompter.
class RecordSaver
{
public:
    // The texts of one window.
    struct Texts {
        QString emptyBuffer;      // information when there is nothing to save
        QString replaceQuestion;  // Yes/No when a record number is shown
        QString saveQuestion;     // Yes/No otherwise
        QString errorPrefix;      // before "System Error caused by " + number + ":" + description

        static Texts dataTable();
        static Texts graphicRecord();
    };

    // What the window shows: its record-number, start-time, end-time and description boxes,
    // plus the record setup's scale position and the graph's x-length position.
    struct Form {
        QString recNo;
        QString startTime;
        QString endTime;
        QString description;
        int recScale = 0;
        int xLengthPosition = 0;
    };

    enum class Outcome { Saved, Replaced, EmptyBuffer, Declined, Failed };

    RecordSaver(RecordStore &store, Texts texts);

    // Runs the rule. After a new save, form.recNo holds the new number.
    Outcome save(Form &form);

private:
    Outcome fail();

    RecordStore &m_store;
    Texts m_texts;
};
