#include "settings/SettingsStore.h"
#include "setup/dlgGPIB.h"
#include "support/TestEnvironment.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QtTest>

class TestGpibDialog : public QObject
{
    Q_OBJECT

    QString stored(const SettingKey &key)
    {
        return SettingsStore::read(QLatin1String(key.section), QLatin1String(key.key), QStringLiteral("<absent>"));
    }
    QString storedPair() { return stored(SettingKeys::GpibBoard) + QLatin1Char('/') + stored(SettingKeys::GpibAddress); }
    static QString shown(const dlgGPIB &dlg) { return QStringLiteral("%1/%2").arg(dlg.board()).arg(dlg.address()); }
    void click(dlgGPIB &dlg, const char *button, int board = -1, int address = -1)
    {
        QTimer::singleShot(0, &dlg, [&dlg, button, board, address] {
            if (board >= 0)
                dlg.findChild<QComboBox *>(QStringLiteral("cmbGPIBn"))->setCurrentIndex(board);
            if (address >= 0)
                dlg.findChild<QComboBox *>(QStringLiteral("cmbAddress"))->setCurrentIndex(address);
            dlg.findChild<QPushButton *>(QLatin1String(button))->click();
        });
    }

private slots:
    void initTestCase() { TestEnvironment::isolateUserFolders(); }
    void init() { QFile::remove(SettingsStore::filePath()); }

    void listsOkCancelAndDirect()
    {
        dlgGPIB dlg;
        auto *boards = dlg.findChild<QComboBox *>(QStringLiteral("cmbGPIBn"));
        auto *addresses = dlg.findChild<QComboBox *>(QStringLiteral("cmbAddress"));
        QCOMPARE(boards->count(), 11);
        QCOMPARE(boards->itemText(10), QStringLiteral("10"));
        QCOMPARE(addresses->count(), 31);
        QCOMPARE(addresses->itemText(30), QStringLiteral("30"));

        click(dlg, "OKButton");
        QVERIFY(dlg.Execute());
        QCOMPARE(storedPair(), QStringLiteral("0/0"));

        // OK stores and Cancel keeps; the direct form uses what was stored without showing.
        click(dlg, "OKButton", 10, 30);
        QVERIFY(dlg.Execute());
        QCOMPARE(shown(dlg), QStringLiteral("10/30"));

        click(dlg, "CancelButton", 3, 7);
        QVERIFY(!dlg.Execute());
        QCOMPARE(shown(dlg), QStringLiteral("10/30"));
        QCOMPARE(storedPair(), QStringLiteral("10/30"));

        dlgGPIB fresh;
        QVERIFY(fresh.Execute(true));
        QVERIFY(!fresh.isVisible());
        QCOMPARE(shown(fresh), QStringLiteral("10/30"));
        QCOMPARE(stored(SettingKeys::GpibAddress), QStringLiteral("30"));
    }

    // Hand-edited values outside the lists or not numbers: OK stores numbers from the lists.
    void handEditedSettings()
    {
        SettingsStore::write(SettingKeys::GpibBoard, QStringLiteral("45"));
        SettingsStore::write(SettingKeys::GpibAddress, QStringLiteral("abc"));
        dlgGPIB dlg;
        QVERIFY(dlg.Execute(true));
        QCOMPARE(shown(dlg), QStringLiteral("0/0"));
        QCOMPARE(stored(SettingKeys::GpibBoard), QStringLiteral("0"));
        SettingsStore::write(SettingKeys::GpibAddress, QStringLiteral("-3"));
        QVERIFY(dlg.Execute(true));
        QCOMPARE(stored(SettingKeys::GpibAddress), QStringLiteral("0"));
    }
};

QTEST_MAIN(TestGpibDialog)
#include "tst_gpibdialog.moc"
