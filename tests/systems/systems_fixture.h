#pragma once

#include "short_link_timings.h"

#include "fake_prompter.h"
#include "test_databases.h"

#include <link/unit_command.h>
#include <link/unit_link.h>
#include <settings_image.h>
#include <settings_memory.h>
#include <unit/unit_address.h>
#include <unit_commands.h>
#include <unit_simulator.h>

#include <QStringList>
#include <QTemporaryDir>

#include <map>
#include <memory>

// A simulated unit with identity, status and settings memory, served in the test's own thread.
struct SimUnit
{
    unitsim::UnitModel model;
    unitsim::SettingsMemory memory;
    unitsim::UnitSimulator sim;
    UnitAddress address;

    void SetMode(unitsim::UnitMode mode) { unitsim::SetUnitMode(sim, model, mode); }
};

// Units on pseudo-terminals (COM n is the link "com<n>" in a temporary folder) and on TCP ports of
// 127.0.0.1, the link that reaches them, and an operator who answers from queues.
class SystemsFixture : public BothDriversTest
{
protected:
    void SetUp() override;
    void TearDown() override;

    SimUnit& ServePty(const QString& serial, int com, const QString& model,
                      const unitsim::ImageContents& contents);
    SimUnit& ServeTcp(const QString& serial, const QString& model, const unitsim::ImageContents& contents);
    // Adds the unit at address with the operator typing code (nothing: the prompt is cancelled).
    bool Add(const UnitAddress& address, std::optional<QString> code = QStringLiteral("1234"));

    // The first value of every row of a query, blank-separated.
    QString Column(const QString& sql);
    // Every row of the three unit tables, as text, to tell that nothing changed.
    QStringList UnitTables();
    // Every row of every table, as text, each headed by its table's name.
    QStringList AllTables();
    QString LastMessage() const
    {
        return prompter_.messages.empty() ? QString() : prompter_.messages.back().text;
    }

    QTemporaryDir dir_;
    FakePrompter prompter_;
    std::unique_ptr<UnitLink> link_;
    std::vector<std::unique_ptr<SimUnit>> units_;
};

// A twenty-sensor image whose system name and first sensor name are the given 25 bytes or fewer.
QByteArray ImageWithNames(const QByteArray& name);

// The longest name a field holds: the longest word (16 characters) in every pair of its 25 bytes,
// then a character; a word stands one space apart from its neighbours.
extern const QByteArray kLongestNameBytes;
QString LongestName();

// The byte after 255 is a word number even when it is 0: no word, yet the space after one.
extern const QByteArray kWordZeroNameBytes;
extern const QString kWordZeroName;
