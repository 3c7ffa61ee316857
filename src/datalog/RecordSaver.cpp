#include "datalog/RecordSaver.h"

#include "common/Prompter.h"
#include "datalog/RecordStore.h"

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

RecordSaver::RecordSaver(RecordStore &store, Texts texts) : m_store(store), m_texts(std::move(texts)) {}

RecordSaver::Outcome RecordSaver::fail()
{
    const StoreError error = m_store.lastError();
    Prompter::current().message(m_texts.errorPrefix + QStringLiteral("System Error caused by ")
                                    + error.number + QLatin1Char(':') + error.description,
                                QString(), Prompter::Severity::Critical);
    return Outcome::Failed;
}

RecordSaver::Outcome RecordSaver::save(Form &form)
{
    const std::optional<qint64> count = m_store.bufferCount();
    if (!count)
        return fail();
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

    if (!form.recNo.trimmed().isEmpty()) {
        if (!Prompter::current().question(m_texts.replaceQuestion))
            return Outcome::Declined;
        record.recNo = form.recNo.trimmed();
        return m_store.replaceRecord(record) ? Outcome::Replaced : fail();
    }

    if (!Prompter::current().question(m_texts.saveQuestion))
        return Outcome::Declined;
    const std::optional<QString> number = m_store.nextRecordNumber();
    if (!number)
        return fail();
    record.recNo = *number;
    if (!m_store.saveRecord(record))
        return fail();
    form.recNo = *number;
    return Outcome::Saved;
}
