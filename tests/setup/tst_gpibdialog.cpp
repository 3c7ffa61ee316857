#include "settings/SettingsStore.h"
#include "setup/dlgGPIB.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

class TestGpibDialog : public QObject
{
    Q_OBJECT

    static QString shownAndStored(const dlgGPIB &dlg)
    {
        return QStringLiteral("%1/%2 %3/%4").arg(dlg.board()).arg(dlg.address())
            .arg(SettingsStore::read(SettingKeys::GpibBoard), SettingsStore::read(SettingKeys::GpibAddress));
    }
    static bool choose(dlgGPIB &dlg, const char *button, int board, int address)
    {
        QTimer::singleShot(0, &dlg, [&dlg, button, board, address] {
            dlg.findChild<QComboBox *>(QStringLiteral("cmbGPIBn"))->setCurrentIndex(board);
            dlg.findChild<QComboBox *>(QStringLiteral("cmbAddress"))->setCurrentIndex(address);
            dlg.findChild<QPushButton *>(QLatin1String(button))->click();
        });
        return dlg.Execute();
    }

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }

    // Boards 0..10, addresses 0..30; OK stores, Cancel keeps; the direct form uses what was
    // stored without showing.
    void rangesOkCancelAndDirect()
    {
        dlgGPIB dlg;
        QCOMPARE(dlg.findChild<QComboBox *>(QStringLiteral("cmbGPIBn"))->itemText(10), QStringLiteral("10"));
        QCOMPARE(dlg.findChild<QComboBox *>(QStringLiteral("cmbAddress"))->count(), 31);
        QVERIFY(choose(dlg, "OKButton", 10, 30));
        QVERIFY(!choose(dlg, "CancelButton", 3, 7));
        QCOMPARE(shownAndStored(dlg), QStringLiteral("10/30 10/30"));
        dlgGPIB fresh;
        QVERIFY(fresh.Execute(true));
        QVERIFY(!fresh.isVisible());
        QCOMPARE(shownAndStored(fresh), QStringLiteral("10/30 10/30"));
    }

    // Hand-edited values outside the lists or not numbers: OK stores numbers from the lists.
    void handEditedSettings()
    {
        for (const char *address : {"abc", "-3"}) {
            SettingsStore::write(SettingKeys::GpibBoard, QStringLiteral("45"));
            SettingsStore::write(SettingKeys::GpibAddress, QLatin1String(address));
            dlgGPIB dlg;
            QVERIFY(dlg.Execute(true));
            QCOMPARE(shownAndStored(dlg), QStringLiteral("0/0 0/0"));
        }
    }
};

QTEST_MAIN(TestGpibDialog)
#include "tst_gpibdialog.moc"
