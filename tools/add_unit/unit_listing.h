#pragma once

#include <QString>

#include <optional>

class Database;
class Prompter;
class UnitLink;
struct UnitAddress;

enum class ListingResult { Added, AlreadyListed, Refused };

// Lists the unit at address exactly as the systems list adds it, so its rows hold the unit's own
// names, types, limits and versions. A unit whose serial number is already listed is left as it
// is, and told so: listing the same units again at every start changes nothing.
ListingResult ListUnit(Database& db, UnitLink& link, Prompter& prompter, const UnitAddress& address);

// "COM5" or "10.0.0.7:4001"; nothing, with problem set, for any other text.
std::optional<UnitAddress> UnitAddressFromText(const QString& text, QString* problem);
