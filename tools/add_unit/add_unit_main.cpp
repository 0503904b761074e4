// telvaron-add-unit: lists a unit in the server's database the way the systems list adds it.

#include "command_line_prompter.h"
#include "unit_listing.h"

#include <db/database.h>
#include <link/unit_link.h>
#include <ui/app_title.h>
#include <unit/unit_address.h>

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Adds the unit at ADDRESS (COMn, resolved through the server's [SerialPorts] "
                       "settings, or IP:port) to the server's database, as the systems list does. "
                       "A unit already listed is left as it is."));
    parser.addHelpOption();
    const QCommandLineOption code(QStringLiteral("code"), QStringLiteral("The unit's security code."),
                                  QStringLiteral("code"));
    const QCommandLineOption sqlite(QStringLiteral("sqlite"), QStringLiteral("The SQLite database file."),
                                    QStringLiteral("file"));
    const QCommandLineOption postgres(QStringLiteral("postgres"),
                                      QStringLiteral("The PostgreSQL database (the data source)."),
                                      QStringLiteral("name"));
    const QCommandLineOption host(QStringLiteral("host"),
                                  QStringLiteral("The PostgreSQL server's address (empty: this PC)."),
                                  QStringLiteral("ip"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("The PostgreSQL server's port."),
                                  QStringLiteral("port"));
    parser.addOptions({code, sqlite, postgres, host, port});
    parser.addPositionalArgument(QStringLiteral("ADDRESS"), QStringLiteral("COMn or IP:port"));
    parser.process(app);

    if (!parser.isSet(code) || parser.isSet(sqlite) == parser.isSet(postgres) ||
        parser.positionalArguments().size() != 1) {
        err << "usage: telvaron-add-unit --code CODE (--sqlite FILE | --postgres NAME [--host IP] "
               "[--port PORT]) ADDRESS"
            << Qt::endl;
        return 2;
    }
    QString problem;
    const auto address = UnitAddressFromText(parser.positionalArguments().front(), &problem);
    if (!address) {
        err << problem << Qt::endl;
        return 2;
    }

    Database db;
    bool opened = false;
    if (parser.isSet(sqlite)) {
        opened = db.OpenSqlite(parser.value(sqlite));
    } else {
        PgServer server;
        server.dataSource = parser.value(postgres);
        server.serverIp = parser.value(host);
        server.serverPort = parser.value(port);
        opened = db.OpenPostgres(server);
    }
    if (!opened) {
        err << db.LastError().description << Qt::endl;
        return 1;
    }

    UnitLink link(SettingsSerialPorts(kAppTitle));
    CommandLinePrompter prompter(parser.value(code), err);
    const ListingResult result = ListUnit(db, link, prompter, *address);
    db.Close();
    return result == ListingResult::Refused ? 1 : 0;
}
