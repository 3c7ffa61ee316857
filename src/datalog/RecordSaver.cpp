#include "datalog/RecordSaver.h"

#include "common/Prompter.h"
#include "datalog/RecordStore.h"
#include "datalog/StoreMessages.h"

#include <utility>

RecordSaver::Texts RecordSaver::Texts::dataTable()
{
    return {QStringLiteral("You need do record first and then try this again!"),
            QStringLiteral("Do you replace existing data with current record?"),
            QStringLiteral("Do you want to save this record data?"),
            QStringLiteral("DataTable: ")};
}

RecordSaver::Texts RecordSaver::Texts::graphicRecord()
{
    return {QStringLiteral("You must do record data first and then try this function again."),
            QStringLiteral("Do you want to replace existing data with current record?"),
            QStringLiteral("Do you want to save current record?"),
            QStringLiteral("GraphicRecord: ")};
}

RecordSaver::RecordSaver(RecordStore &store, Texts texts) : RecordSaver(store, store, std::move(texts)) {}

RecordSaver::RecordSaver(SavedRecords &place, RecordStore &local, Texts texts)
    : m_place(place), m_local(local), m_texts(std::move(texts))
{
}

QString RecordSaver::saveHereQuestion(const QString &why)
{
    return why + QStringLiteral("\n\nThe recording is kept as it is. Save it as a new record on "
                                "this computer instead?");
}

RecordSaver::Outcome RecordSaver::fail(const SavedRecords &where)
{
    Prompter::current().message(storeFailureText(m_texts.errorPrefix, where.lastError()), QString(),
                                Prompter::Severity::Critical);
    return Outcome::Failed;
}

// The record gets a number of this computer's store. The window shows no number afterwards:
// a later save must not replace a record of that number on the server.
RecordSaver::Outcome RecordSaver::offerThisComputer(RecordInfo record, Form &form)
{
    if (!Prompter::current().question(saveHereQuestion(m_place.lastError().description)))
        return Outcome::Declined;
    if (BusyScope busy; !m_local.saveNewRecord(record))
        return fail(m_local);
    form.recNo.clear();
    Prompter::current().message(QStringLiteral("The record was saved on this computer as record %1.").arg(record.recNo));
    return Outcome::SavedHere;
}

RecordSaver::Outcome RecordSaver::save(Form &form, bool confirmed)
{
    if (const std::optional<QString> why = m_local.writeRefusal()) {
        Prompter::current().message(*why);
        return Outcome::Failed;
    }
    const std::optional<qint64> count = m_local.bufferCount();
    if (!count)
        return fail(m_local);
    if (*count == 0) {
        Prompter::current().message(m_texts.emptyBuffer);
        return Outcome::EmptyBuffer;
    }

    RecordInfo record;
    record.startTime = form.startTime;
    record.endTime = form.endTime;
    record.comment = form.description;
    record.recStyle = QString::number(form.recScale);
    record.showStyle = QString::number(form.xLengthPosition);
    record.machineType = form.machineType;
    const bool elsewhere = &m_place != static_cast<SavedRecords *>(&m_local);

    if (!form.recNo.trimmed().isEmpty()) {
        if (!Prompter::current().question(m_texts.replaceQuestion))
            return Outcome::Declined;
        record.recNo = form.recNo.trimmed();
        if (BusyScope busy; m_place.replaceRecord(record)) {
            if (elsewhere)
                m_local.markBufferSaved(record.recNo);
            return Outcome::Replaced;
        }
        return elsewhere && m_place.lastError().unreachable ? offerThisComputer(record, form) : fail(m_place);
    }

    if (!confirmed && !Prompter::current().question(m_texts.saveQuestion))
        return Outcome::Declined;
    if (BusyScope busy; m_place.saveNewRecord(record)) {
        if (elsewhere)
            m_local.markBufferSaved(record.recNo);
        form.recNo = record.recNo;
        return Outcome::Saved;
    }
    return elsewhere && m_place.lastError().unreachable ? offerThisComputer(record, form) : fail(m_place);
}
