#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace unitsim {

// The unit's end of a line: a pseudo-terminal, a tty device or a TCP connection.
class SimTransport : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool Start(QString* error) = 0;
    virtual void Write(const QByteArray& bytes) = 0;
    // Takes the line away for downMs (0: back at once), as a unit that is switched off would.
    virtual void DropLink(int downMs) = 0;
    // A short text for the log and the executable's ready line.
    virtual QString Describe() const = 0;

signals:
    void Received(const QByteArray& bytes);
    // The other side went away; whatever it was sending is void.
    void LinkLost();
};

} // namespace unitsim
