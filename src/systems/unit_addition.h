#pragma once

#include <ui/dialog_line.h>

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
    UnitAddition(Database& db, UnitLink& link, Prompter& prompter, DialogLine::Progress progress = {});

    // True when the unit is listed.
    bool Add(const UnitAddress& address);

private:
    bool Run(const UnitAddress& address);
    bool Open(const UnitAddress& address);

    Database& db_;
    Prompter& prompter_;
    DialogLine line_;
};
