#pragma once

#include "datalog/RecordTypes.h"

#include <QString>

class RecordStore;
class SavedRecords;

// The rule by which the table window and the graph window save the sample buffer: refuse an
// empty buffer; replace the shown record after asking; otherwise ask, take the next record
// number and save a new record. Messages and questions go through the prompter.
//
// Records go to `place` (this computer's store or the lab server); the buffer is `local`'s.
// When the lab server cannot be reached the buffer stays as it is and the user is offered to
// save the record on this computer instead.
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
        QString machineType;  // of the supply the samples came from, kept by the lab server
    };

    // SavedHere: the server was away and the record was saved on this computer instead.
    enum class Outcome { Saved, Replaced, SavedHere, EmptyBuffer, Declined, Failed };

    RecordSaver(RecordStore &store, Texts texts);
    RecordSaver(SavedRecords &place, RecordStore &local, Texts texts);

    static QString saveHereQuestion(const QString &why);

    // Runs the rule. After a new save, form.recNo holds the new number. With `confirmed` the
    // user has asked for the save already, and the save question is not asked again. A store
    // that takes no writes now (read-only, still being checked) refuses with its reason.
    Outcome save(Form &form, bool confirmed = false);

private:
    Outcome fail(const SavedRecords &where);
    Outcome offerThisComputer(RecordInfo record, Form &form);

    SavedRecords &m_place;
    RecordStore &m_local;
    Texts m_texts;
};
