#pragma once

#include <QByteArray>
#include <QObject>

// One link to a unit: a serial port or a TCP connection. Each transport buffers only its own
// input, so a transaction reads replies from the port it waits on and no other.
class Transport : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~Transport() override;

    virtual bool IsOpen() const = 0;
    // The port or connection broke (device gone, socket error, peer closed) or is not open.
    virtual bool Failed() const = 0;
    // Drops every received byte not yet read; false when the link cannot do it.
    virtual bool DiscardInput() = 0;
    // Queues the bytes for sending; false when the link refuses them.
    virtual bool Write(const QByteArray& bytes) = 0;
    virtual qint64 BytesAvailable() const = 0;
    virtual QByteArray ReadAll() = 0;
    virtual void Close() = 0;
    // Recovery after an error: a serial port is closed and reopened, a TCP connection is closed
    // (its owner connects it again).
    virtual void Reset() = 0;
    // Whether arriving bytes are taken up now; between transactions they may wait where they are,
    // since a transaction discards what came before it.
    virtual void SetReading(bool) {}

signals:
    void BytesArrived();
};
