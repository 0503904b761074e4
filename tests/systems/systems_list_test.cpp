#include "systems_fixture.h"

#include <db/database.h>
#include <systems/systems_list.h>

#include <QComboBox>
#include <QFontMetrics>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace {
using unitsim::DefaultImageContents;

class ListDialog : public SystemsFixture
{
};

TEST_P(ListDialog, AddsAThirdUnit)
{
    SimUnit& a =
        ServePty(QStringLiteral("U-1"), 1, QStringLiteral("TELVARON-1"), DefaultImageContents(true, 20, 1));
    SimUnit& b =
        ServeTcp(QStringLiteral("U-2"), QStringLiteral("TELVARON-2"), DefaultImageContents(false, 8, 2));
    ServePty(QStringLiteral("U-3"), 4, QStringLiteral("TELVARON-1E"), DefaultImageContents(true, 4, 3));
    ASSERT_TRUE(Add(a.address));
    ASSERT_TRUE(Add(b.address));

    SystemsList dialog(Db(), *link_, prompter_, {});
    EXPECT_EQ(dialog.SystemListGrid->rowCount(), 2);
    dialog.comPortList->setCurrentIndex(3);
    prompter_.texts.push_back(QStringLiteral("1234"));
    dialog.addSerialButton->click();
    ASSERT_EQ(dialog.SystemListGrid->rowCount(), 3) << LastMessage().toStdString();
    EXPECT_EQ(dialog.SystemListGrid->item(2, 0)->text(), QStringLiteral("U-3"));
    EXPECT_EQ(dialog.SystemListGrid->item(2, 4)->text(), QStringLiteral("COM4"));
    EXPECT_TRUE(dialog.ProgressLabel->text().isEmpty());
    EXPECT_TRUE(dialog.addSerialButton->isEnabled());
}

TEST_P(ListDialog, RemovesTheChosenUnitAfterConfirmationAndRefusesABadAddress)
{
    SimUnit& a =
        ServePty(QStringLiteral("R-1"), 2, QStringLiteral("TELVARON-1"), DefaultImageContents(true, 20, 1));
    ASSERT_TRUE(Add(a.address));
    SystemsList dialog(Db(), *link_, prompter_, {});
    ASSERT_EQ(dialog.SystemListGrid->rowCount(), 1);

    const size_t shown = prompter_.messages.size();
    dialog.removeButton->click();
    EXPECT_EQ(LastMessage(), QStringLiteral("Επιλέξτε πρώτα ένα σύστημα από τη λίστα !"));

    dialog.SystemListGrid->selectRow(0);
    prompter_.answers.push_back(Prompter::Answer::No);
    dialog.removeButton->click();
    EXPECT_EQ(dialog.SystemListGrid->rowCount(), 1);
    prompter_.answers.push_back(Prompter::Answer::Yes);
    dialog.removeButton->click();
    EXPECT_EQ(prompter_.messages.size(), shown + 3);
    EXPECT_EQ(dialog.SystemListGrid->rowCount(), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT SyI_Used FROM Systems_Info WHERE SyI_Serialnumber='R-1'")), 0);
    EXPECT_EQ(Count(QStringLiteral("SELECT COUNT(*) FROM Sensors_Info")), 20);

    const QStringList before = UnitTables();
    dialog.ipAddressText->setText(QStringLiteral("300.1.1.1"));
    dialog.tcpPortText->setText(QStringLiteral("4001"));
    dialog.addTcpButton->click();
    EXPECT_EQ(LastMessage(), QStringLiteral("Μη έγκυρη διεύθυνση IP !"));
    EXPECT_TRUE(prompter_.textPrompts.size() == 1);
    EXPECT_EQ(UnitTables(), before);
}

TEST_P(ListDialog, HeadingsLookTheSameWithARowSelectedAndFitTheirColumns)
{
    SimUnit& a =
        ServePty(QStringLiteral("H-1"), 3, QStringLiteral("TELVARON-1"), DefaultImageContents(true, 20, 1));
    ASSERT_TRUE(Add(a.address));
    SystemsList dialog(Db(), *link_, prompter_, {});
    dialog.show();
    QHeaderView* heads = dialog.SystemListGrid->horizontalHeader();
    const QImage plain = heads->grab().toImage();
    dialog.SystemListGrid->selectRow(0);
    EXPECT_EQ(heads->grab().toImage(), plain);

    const QFontMetrics metrics(heads->font());
    const int margins = 2 * heads->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, heads);
    for (int c = 0; c < dialog.SystemListGrid->columnCount(); ++c) {
        const QString heading = dialog.SystemListGrid->horizontalHeaderItem(c)->text();
        EXPECT_GE(heads->sectionSize(c), metrics.horizontalAdvance(heading) + margins)
            << heading.toStdString();
    }
}

INSTANTIATE_BOTH_DRIVERS(ListDialog);

} // namespace
