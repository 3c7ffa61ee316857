// The instrument-action dialogs: what Execute() keeps and returns.
#include "mainwin/dialogs/InstrumentDialogs.h"
#include "settings/SettingKeys.h"
#include "settings/SettingsStore.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

namespace {

// Once the dialog is up, fills in `values` (by the fields' object names) and presses
// OK or Cancel, as a user would.
void answerDialog(QList<std::pair<const char *, int>> values, bool ok)
{
    QTimer::singleShot(0, [values, ok] {
        QWidget *w = QApplication::activeModalWidget();
        QVERIFY(w);
        for (const auto &[name, v] : values) {
            auto *box = w->findChild<QSpinBox *>(QLatin1String(name));
            QVERIFY(box);
            box->selectAll();
            QTest::keyClicks(box, QString::number(v));
        }
        auto *button = w->findChild<QPushButton *>(ok ? "OKButton" : "CancelButton");
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    });
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    void cancelKeepsSettingsAndOkStoresThem()
    {
        SettingsStore::writeInt(SettingKeys::StartMemory, 1);
        dlgAutoMode dlg;
        answerDialog({{"numStartMemory", 4}, {"numEndMemory", 7}, {"numCycle", 3}}, false);
        QVERIFY(!dlg.Execute());
        QCOMPARE(SettingsStore::readInt(SettingKeys::StartMemory), 1);
        QCOMPARE(SettingsStore::read(SettingKeys::EndMemory), QStringLiteral("0"));

        answerDialog({{"numStartMemory", 4}, {"numEndMemory", 7}, {"numCycle", 3}}, true);
        QVERIFY(dlg.Execute());
        QCOMPARE(dlg.StartMemory(), 4);
        QCOMPARE(dlg.EndMemory(), 7);
        QCOMPARE(dlg.Cycle(), 3);
        QCOMPARE(SettingsStore::readInt(SettingKeys::StartMemory), 4);
        QCOMPARE(SettingsStore::readInt(SettingKeys::EndMemory), 7);
        QCOMPARE(SettingsStore::readInt(SettingKeys::Cycle), 3);

        // The next run starts from what was stored.
        dlgAutoMode again;
        QTimer::singleShot(0, [] {
            QWidget *w = QApplication::activeModalWidget();
            QCOMPARE(w->findChild<QSpinBox *>("numEndMemory")->value(), 7);
            w->findChild<QPushButton *>("CancelButton")->click();
        });
        QVERIFY(!again.Execute());

        dlgDelay delay;
        QCOMPARE(delay.windowTitle(), QStringLiteral("Delay"));
        answerDialog({{"numDelay", 25}}, true);
        QVERIFY(delay.Execute());
        QCOMPARE(SettingsStore::readInt(SettingKeys::Delay), 25);
    }

    void saveAndRecallShareTheMemoryNumber()
    {
        dlgSaveData save;
        QCOMPARE(save.windowTitle(), QStringLiteral("Save Data"));
        answerDialog({{"numMemory", 3}}, true);
        QVERIFY(save.Execute());
        QCOMPARE(save.Memory(), 3);

        dlgRecallData recall;
        QCOMPARE(recall.windowTitle(), QStringLiteral("Recall Data"));
        QTimer::singleShot(0, [] {
            QWidget *w = QApplication::activeModalWidget();
            QCOMPARE(w->findChild<QSpinBox *>("numMemory")->value(), 3);
            w->findChild<QPushButton *>("OKButton")->click();
        });
        QVERIFY(recall.Execute());
        QCOMPARE(recall.Memory(), 3);
    }

    void readTimesStopAt32Seconds()
    {
        dlgReadTimes dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Read Time"));
        // Fresh settings: 5 seconds.
        QTimer::singleShot(0, [] {
            QWidget *w = QApplication::activeModalWidget();
            QCOMPARE(w->findChild<QSpinBox *>("numReadTimes")->value(), 5);
            w->findChild<QPushButton *>("CancelButton")->click();
        });
        QVERIFY(!dlg.Execute());

        // 40 cannot be typed: the field keeps a value that fits.
        answerDialog({{"numReadTimes", 40}}, true);
        QVERIFY(dlg.Execute());
        QVERIFY(dlg.ReadTimes() <= dlgReadTimes::MaxSeconds);
        answerDialog({{"numReadTimes", 32}}, true);
        QVERIFY(dlg.Execute());
        QCOMPARE(dlg.ReadTimes(), 32);
        QCOMPARE(SettingsStore::readInt(SettingKeys::ReadTimes), 32);

        // A hand-edited 100 in the settings shows as 32, not as a value that cannot be used.
        SettingsStore::write(SettingKeys::ReadTimes, QStringLiteral("100"));
        dlg.GetSettings();
        QCOMPARE(dlg.ReadTimes(), 32);
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
