#include "datalog/dlgRecordLength.h"

#include "common/Prompter.h"
#include "datalog/GraphScales.h"
#include "datalog/RecordScale.h"
#include "settings/SettingsStore.h"

#include <QComboBox>
#include <QFocusEvent>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

constexpr int DaysInList = 8;           // 0..7
constexpr int SecondsStep = 5;
constexpr int SecondsEntries = 12;      // 0..55

const std::array<SettingKey, 4> ColorKeys{SettingKeys::Ch1Color, SettingKeys::Ch2Color,
                                          SettingKeys::Ch3Color, SettingKeys::Ch4Color};

QString lengthLine(int position)
{
    static const QStringList lines{
        QStringLiteral("The Max. Record Time Lenth must less than 8.9 Hours !"),
        QStringLiteral("The Max. Record Time Lenth must less than 17.8 Hours !"),
        QStringLiteral("The Max. Record Time Lenth must less than 1.8 day !"),
        QStringLiteral("The Max. Record Time Lenth must less than 3.8 day !")};
    return position >= 0 && position < lines.size() ? lines.at(position) : QString();
}

QComboBox *numberList(QWidget *parent, const QString &name, int count, int step = 1)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    for (int i = 0; i < count; ++i)
        box->addItem(QString::number(i * step));
    return box;
}

int toValue(const QColor &c)
{
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

bool isNumeric(const QString &text)
{
    bool ok = false;
    text.trimmed().toDouble(&ok);
    return ok;
}

int select(QComboBox *box, int position)
{
    const int clamped = std::clamp(position, 0, box->count() - 1);
    box->setCurrentIndex(clamped);
    return clamped;
}

} // namespace

const std::array<int, 4> &dlgRecordLength::defaultColors()
{
    return GraphScale::defaultChannelColors();
}

dlgRecordLength::dlgRecordLength(RecordSetupTimers *timers, QWidget *parent)
    : QDialog(parent), m_timers(timers), m_swatchColor(defaultColors())
{
    setObjectName(QStringLiteral("dlgRecordLength"));
    setWindowTitle(QStringLiteral("Dialog Record Time Length"));

    m_days = numberList(this, QStringLiteral("cmbDays"), DaysInList);
    m_hours = numberList(this, QStringLiteral("cmbHours"), 24);
    m_minutes = numberList(this, QStringLiteral("cmbMinuites"), 60);
    m_seconds = numberList(this, QStringLiteral("cmbSeconds"), SecondsEntries, SecondsStep);
    m_scale = new QComboBox(this);
    m_scale->setObjectName(QStringLiteral("cmdScale"));
    m_scale->addItems(RecordScale::captions());
    m_operation = new QComboBox(this);
    m_operation->setObjectName(QStringLiteral("cmdOperation"));
    m_operation->addItems(RecordScale::pointOperationCaptions());
    connect(m_scale, &QComboBox::currentIndexChanged, this, &dlgRecordLength::cmdScale_Click);

    auto *length = new QFormLayout;
    length->addRow(QStringLiteral("Days:"), m_days);
    length->addRow(QStringLiteral("Hours:"), m_hours);
    length->addRow(QStringLiteral("Miniutes:"), m_minutes);
    length->addRow(QStringLiteral("Seconds:"), m_seconds);
    length->addRow(QStringLiteral("Scale:"), m_scale);
    length->addRow(QStringLiteral("Point Operation:"), m_operation);

    auto *colors = new QFormLayout;
    for (int c = 0; c < 4; ++c) {
        auto *text = new QLineEdit(this);
        text->setObjectName(QStringLiteral("txtCh%1Color").arg(c + 1));
        // Colours are chosen with the picker; typing one would bypass the settings.
        text->setReadOnly(true);
        text->installEventFilter(this);
        auto *swatch = new QFrame(this);
        swatch->setObjectName(QStringLiteral("Picture%1").arg(c + 1));
        swatch->setFixedSize(24, 20);
        swatch->setFrameShape(QFrame::Box);
        swatch->setAutoFillBackground(true);
        auto *row = new QHBoxLayout;
        row->addWidget(text);
        row->addWidget(swatch);
        colors->addRow(QStringLiteral("Ch%1 Color:").arg(c + 1), row);
        m_colorText[size_t(c)] = text;
        m_swatch[size_t(c)] = swatch;
        showColor(c, m_swatchColor[size_t(c)]);
    }

    auto timerBox = [this](const QString &name, const QString &text, QString *value) {
        auto *box = new QLineEdit(text, this);
        box->setObjectName(name);
        connect(box, &QLineEdit::textEdited, this, [value](const QString &t) { *value = t; });
        return box;
    };
    m_waiting = timerBox(QStringLiteral("txtWaitingTime"), QStringLiteral("500"), &WaitingTime);
    m_round = timerBox(QStringLiteral("txtRoundTime"), QStringLiteral("3000"), &RoundTime);
    m_writer = timerBox(QStringLiteral("txtWriter"), QStringLiteral("100"), &WriterTime);
    auto *timersForm = new QFormLayout;
    timersForm->addRow(QStringLiteral("Waiting Timer: ms"), m_waiting);
    timersForm->addRow(QStringLiteral("Round Timer: ms"), m_round);
    timersForm->addRow(QStringLiteral("Writer Timer: ms"), m_writer);

    auto *ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("OKButton"));
    ok->setDefault(true);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("CancelButton"));
    connect(ok, &QPushButton::clicked, this, &dlgRecordLength::OKButton_Click);
    connect(cancel, &QPushButton::clicked, this, &dlgRecordLength::CancelButton_Click);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto *grid = new QGridLayout(this);
    grid->addLayout(length, 0, 0);
    grid->addLayout(colors, 0, 1);
    grid->addLayout(buttons, 0, 2, 2, 1);
    grid->addLayout(timersForm, 1, 0, 1, 2);
    cmdScale_Click();
}

void dlgRecordLength::GetSettings()
{
    Days = SettingsStore::readInt(SettingKeys::Days);
    Hours = SettingsStore::readInt(SettingKeys::Hours);
    Miniutes = SettingsStore::readInt(SettingKeys::Miniutes);
    Seconds = SettingsStore::readInt(SettingKeys::Seconds);
    RecScale = SettingsStore::readInt(SettingKeys::RecScale);
    RecPointStyle = SettingsStore::readInt(SettingKeys::RecPointStyle);
    for (int c = 0; c < 4; ++c)
        ChColor[size_t(c)] = SettingsStore::read(ColorKeys[size_t(c)]);
    WaitingTime = SettingsStore::read(SettingKeys::WaitingTime);
    RoundTime = SettingsStore::read(SettingKeys::RoundTime);
    WriterTime = SettingsStore::read(SettingKeys::WriterTime);
}

void dlgRecordLength::SetSettings()
{
    SettingsStore::writeInt(SettingKeys::Days, Days);
    SettingsStore::writeInt(SettingKeys::Hours, Hours);
    SettingsStore::writeInt(SettingKeys::Miniutes, Miniutes);
    SettingsStore::writeInt(SettingKeys::Seconds, Seconds);
    SettingsStore::writeInt(SettingKeys::RecScale, RecScale);
    SettingsStore::writeInt(SettingKeys::RecPointStyle, RecPointStyle);
    SettingsStore::write(SettingKeys::Ch1Color, ChColor[0]);
    SettingsStore::write(SettingKeys::Ch2Color, ChColor[1]);
    SettingsStore::write(SettingKeys::Ch3Color, ChColor[2]);
    SettingsStore::write(SettingKeys::WaitingTime, WaitingTime);
    SettingsStore::write(SettingKeys::RoundTime, RoundTime);
    SettingsStore::write(SettingKeys::Ch4Color, ChColor[3]);
    SettingsStore::write(SettingKeys::WriterTime, WriterTime);
}

bool dlgRecordLength::Execute()
{
    GetSettings();
    // A hand-edited value outside a list is taken as the nearest entry of the list.
    Days = select(m_days, Days);
    Hours = select(m_hours, Hours);
    Miniutes = select(m_minutes, Miniutes);
    Seconds = select(m_seconds, int(std::lround(Seconds / double(SecondsStep)))) * SecondsStep;
    RecScale = select(m_scale, RecScale);
    RecPointStyle = select(m_operation, RecPointStyle);
    cmdScale_Click();

    for (int c = 0; c < 4; ++c) {
        QString &stored = ChColor[size_t(c)];
        // An empty or unreadable colour takes the swatch's.
        const std::optional<int> value = GraphScale::colorValue(stored);
        if (!value)
            stored = QString::number(m_swatchColor[size_t(c)]);
        showColor(c, value.value_or(m_swatchColor[size_t(c)]));
    }
    const struct {
        QLineEdit *box;
        QString *value;
        const char *fallback;
    } timers[] = {{m_waiting, &WaitingTime, "500"}, {m_round, &RoundTime, "3000"}, {m_writer, &WriterTime, "100"}};
    for (const auto &t : timers) {
        if (!isNumeric(*t.value))
            *t.value = QLatin1String(t.fallback);
        t.box->setText(*t.value);
    }

    Result = false;
    exec();
    if (Result) {
        Days = m_days->currentIndex();
        Hours = m_hours->currentIndex();
        Miniutes = m_minutes->currentIndex();
        Seconds = m_seconds->currentIndex() * SecondsStep;
        RecScale = m_scale->currentIndex();
        RecPointStyle = m_operation->currentIndex();
        SetSettings();
    }
    return Result;
}

QString dlgRecordLength::colorText(int channel) const
{
    return channel >= 0 && channel < 4 ? m_colorText[size_t(channel)]->text() : QString();
}

void dlgRecordLength::showColor(int channel, int value)
{
    m_swatchColor[size_t(channel)] = value;
    m_colorText[size_t(channel)]->setText(QString::number(value));
    QPalette p = m_swatch[size_t(channel)]->palette();
    p.setColor(QPalette::Window, GraphScale::colorFromValue(value));
    m_swatch[size_t(channel)]->setPalette(p);
}

void dlgRecordLength::chooseColor(int channel)
{
    if (channel < 0 || channel >= 4 || m_choosing)
        return;
    m_choosing = true;
    const QColor preset = GraphScale::colorFromValue(m_swatchColor[size_t(channel)]);
    const QColor chosen = Prompter::current().chooseColor(preset).value_or(preset);
    m_choosing = false;
    showColor(channel, toValue(chosen));
    ChColor[size_t(channel)] = QString::number(toValue(chosen));
}

bool dlgRecordLength::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        // Only focus the user gives (a click or the tab key), not the focus coming back when
        // the picker closes.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) {
            for (int c = 0; c < 4; ++c) {
                if (watched == m_colorText[size_t(c)])
                    chooseColor(c);
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void dlgRecordLength::cmdScale_Click()
{
    // One point a second needs no reduction.
    m_operation->setEnabled(m_scale->currentIndex() != 0);
}

bool dlgRecordLength::recordLengthAccepted()
{
    const int position = m_scale->currentIndex();
    const int allowed = RecordScale::daysAllowed(position);
    if (m_days->currentIndex() <= allowed)
        return true;
    const QString text = lengthLine(position) + QStringLiteral("\nChoose <Cancle> to change other setting!");
    if (!Prompter::current().question(text))
        return false;
    m_days->setCurrentIndex(allowed);
    return true;
}

void dlgRecordLength::checkTimerText(QLineEdit *box, const QString &message, const QString &reset)
{
    if (isNumeric(box->text()))
        return;
    Prompter::current().message(message);
    box->setText(reset);
}

void dlgRecordLength::OKButton_Click()
{
    const bool close = recordLengthAccepted();
    checkTimerText(m_round, QStringLiteral("Round Timer Value should be numberic type and it is reset to 3000ms"),
                   QStringLiteral("3000"));
    checkTimerText(m_waiting,
                   QStringLiteral("Waiting Device's Response Timer Value should be numberic type and it is reset to 500ms"),
                   QStringLiteral("500"));
    checkTimerText(m_writer, QStringLiteral("Writer Timer Value should be numberic type and it is reset to 100ms"),
                   QStringLiteral("100"));
    RoundTime = m_round->text();
    WaitingTime = m_waiting->text();
    WriterTime = m_writer->text();
    if (m_timers) {
        m_timers->setQueryTimerOn(RoundTime.trimmed().toDouble() != 0);
        m_timers->setWaitingTimerOn(WaitingTime.trimmed().toDouble() != 0);
        m_timers->setWriterTimerOn(WriterTime.trimmed().toDouble() != 0);
    }
    Result = true;
    if (close)
        hide();
}

void dlgRecordLength::CancelButton_Click()
{
    Result = false;
    hide();
}
