// A simulated unit with a state file, as the demo runs it, stopped right after the server sent it
// settings.
#include "short_link_timings.h"
#include "unitsim_process.h"

#include <link/unit_link.h>
#include <settings/settings_upload.h>
#include <settings/settings_writer.h>
#include <unit/settings_image_read.h>

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The unit, started on its state file, and the server's link to it.
class KeptUnit
{
public:
    explicit KeptUnit(const QString& statePath) : link_({}, ShortLinkTimings())
    {
        const QString ready =
            StartUnitsim(process_, QStringLiteral("--tcp 0 --unit --live --state ") + statePath);
        connected_ = link_.TcpLink(0, UnitLink::kTcpConnect, QStringLiteral("127.0.0.1"), TcpPortOf(ready),
                                   3) == UnitLink::kTcpConnected;
    }

    bool Connected() const { return connected_; }
    UnitLink& Link() { return link_; }
    QProcess& Process() { return process_; }

private:
    QProcess process_;
    UnitLink link_;
    bool connected_ = false;
};

TEST(KeptSettings, SettingsTakenJustBeforeAnOrderlyStopAreKept)
{
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("unit.state"));
    // Twice, the second time from the first one's file: a save of the unit's own that happens to
    // fall between the commit and the stop hides a stop that saves nothing only once.
    for (const quint8 systemNumber : {11, 12}) {
        SettingsImage sent{};
        {
            KeptUnit unit(state);
            ASSERT_TRUE(unit.Connected());
            ASSERT_EQ(ReadSettingsImage(unit.Link(), 0, 0, sent), LinkOk);
            sent[TwentySensorLayout.systemNumber] = systemNumber;
            SealSettingsImage(sent, TwentySensorLayout);
            // SIGTERM as soon as the unit has committed the image and its reading back begins.
            UploadProgress progress;
            progress.verifying = [&](int blocksRead) {
                if (blocksRead == 1)
                    unit.Process().terminate();
            };
            const UploadOutcome outcome =
                SettingsUpload(unit.Link(), 0, 0, 2000)
                    .Send(
                        sent, [] { return QDateTime::currentDateTime(); }, progress);
            EXPECT_TRUE(outcome.step == UploadOutcome::Step::ReadBack ||
                        outcome.step == UploadOutcome::Step::Done)
                << int(outcome.step);
            ASSERT_TRUE(unit.Process().waitForFinished(3000));
            EXPECT_EQ(unit.Process().exitCode(), 0);
        }
        KeptUnit again(state);
        ASSERT_TRUE(again.Connected());
        SettingsImage held{};
        ASSERT_EQ(ReadSettingsImage(again.Link(), 0, 0, held), LinkOk);
        EXPECT_EQ(int(held[TwentySensorLayout.systemNumber]), int(systemNumber));
        EXPECT_TRUE(held == sent);
        Terminate(again.Process());
    }
}

} // namespace
