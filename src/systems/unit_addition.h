#pragma once

#include "unit_address.h"

#include <link/frame.h>
#include <link/link_result.h>

#include <functional>

class Database;
class Prompter;
class UnitLink;

// Adding one unit to the list: the address must be free, the unit must answer its identification,
// its serial number must not be listed, the operator must know its security code, and its model
// and settings image must read back sound. Only then are its rows written, all at once. Every
// refusal is told to the operator; nothing is written then. Uses element 0 of the link, which is
// closed again at the end.
class UnitAddition
{
public:
    using Progress = std::function<void(const QString& text)>;

    UnitAddition(Database& db, UnitLink& link, Prompter& prompter, Progress progress = {});

    // True when the unit is listed.
    bool Add(const UnitAddress& address);

private:
    bool Run(const UnitAddress& address);
    bool Refuse(const QString& text);
    bool Open(const UnitAddress& address);
    LinkResult Ask(quint8 command, ReplyBuffer& reply);
    void Show(const QString& text);

    Database& db_;
    UnitLink& link_;
    Prompter& prompter_;
    Progress progress_;
    quint8 linkSerial_ = 0;
};

// What the operator is told when a transaction with the unit being added fails.
QString LinkFailureText(LinkResult result);
