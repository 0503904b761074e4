#pragma once

#include <QByteArray>

#include <functional>

namespace unitsim {

// A command handler's answer: payload bytes (without the check byte, which the simulator adds;
// zero-filled or cut to the command's reply length) or a status-only answer such as 0xFA.
struct CommandAnswer
{
    bool isData = true;
    quint8 status = 0;
    QByteArray payload;

    static CommandAnswer Data(QByteArray payload) { return {true, 0, std::move(payload)}; }
    static CommandAnswer StatusOnly(quint8 status) { return {false, status, {}}; }
};

// Gets the whole 15-byte request (its check byte already verified).
using CommandHandler = std::function<CommandAnswer(const QByteArray& request)>;

} // namespace unitsim
